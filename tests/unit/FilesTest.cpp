#include "TempDir.h"

#include "core/app/Preferences.h"
#include "core/backup/Backup.h"
#include "core/backup/BackupService.h"
#include "core/model/Files.h"
#include "core/store/LayoutStore.h"
#include "platform/linux/PlistDefaults.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

using namespace tessera;
namespace fs = std::filesystem;

namespace {

class FilesTest : public ::testing::Test {
protected:
    test::TempDir temp{"tessera-files"};
    fs::path dir = temp.path();
};

std::string contents(const fs::path& file) {
    std::string error;
    return readWholeFile(file, &error).value_or("<unreadable: " + error + ">");
}

// Changes the preferences as `tesseractl prefs set` does (kind 0), the layouts as an edit does
// (1), or imports a backup as `tesseractl backup import --yes` does (2: an automatic copy, then
// every preference, then the layouts), over and over, telling `progress` after each change.
[[noreturn]] void writeForever(int kind, const fs::path& layouts, const fs::path& preferences,
                               int progress) noexcept {
    PlistDefaults defaults(preferences, nullptr);
    LayoutStore store(layouts);
    const BackupContext context{store, defaults, std::nullopt, {}, {}, {}, {}};
    for (std::int64_t round = 0; round < 1000; ++round) {
        auto backup = makeBackup(context);
        backup.layouts.layouts.front().name = "Round " + std::to_string(round);
        backup.preferences[std::string(prefs::windowGap)] = round % 40;
        if (kind == 0) {
            defaults.set(prefs::windowGap, DefaultsValue(round % 40));
        } else if (kind == 1) {
            store.apply(backup.layouts);
        } else {
            restore(backup, context);
        }
        if (::write(progress, "x", 1) != 1) {
            break;
        }
    }
    ::_exit(0);
}

bool holdsTemporaryFiles(const fs::path& folder) {
    std::error_code ec;
    return std::ranges::any_of(fs::directory_iterator(folder, ec), [](const auto& entry) {
        return targetOfTemporaryFile(entry.path().filename().string()).has_value();
    });
}

} // namespace

TEST_F(FilesTest, AtomicWriteGivesANewFileTheUmasksModeAndKeepsAReplacedFilesMode) {
    const auto file = dir / "layouts.json";
    const mode_t previous = ::umask(022);
    EXPECT_EQ(writeFileAtomically(file, "first"), "");
    EXPECT_EQ(fs::status(file).permissions(), static_cast<fs::perms>(0644)) << "as the umask says";
    fs::permissions(file, static_cast<fs::perms>(0640));
    EXPECT_EQ(writeFileAtomically(file, "second"), "");
    ::umask(previous);
    EXPECT_EQ(fs::status(file).permissions(), static_cast<fs::perms>(0640));
}

TEST_F(FilesTest, UnreadableCopiesKeepTheBytesAndNeverOverwriteEachOther) {
    const auto file = dir / "layouts.json";
    std::ofstream(file) << "{ broken";
    const auto now = std::chrono::system_clock::from_time_t(1764914529); // 2025-12-05 06:02:09
    std::string error;
    const auto first = keepUnreadableCopy(file, now, &error);
    ASSERT_TRUE(first) << error;
    EXPECT_EQ(first->filename(), "layouts.json.unreadable-2025-12-05T06-02-09Z");
    const auto second = keepUnreadableCopy(file, now, &error);
    ASSERT_TRUE(second) << error;
    EXPECT_NE(*first, *second);
    EXPECT_EQ(contents(*first), "{ broken");
    EXPECT_EQ(contents(*second), "{ broken");
    EXPECT_FALSE(keepUnreadableCopy(dir / "absent", now, &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(FilesTest, AtomicWriteReplacesTheTargetAndTheCleanUpRemovesOnlyUnusedLeftovers) {
    const auto file = dir / "layouts.json";
    // A leftover of a cut-short write, one still being written, and near misses of the pattern.
    const std::set<std::string> kept{".layouts.json.busy00", ".layouts.json.ab12C",
                                     ".layouts.json.ab-2CD", "layouts.json.ab12CD",
                                     ".layouts.jsonXab12CD", ".other.json.ab12CD"};
    for (const auto& name : kept) {
        std::ofstream(dir / name) << name;
    }
    std::ofstream(dir / ".layouts.json.Zz0009") << "torn";
    fs::create_directory(dir / ".layouts.json.folder");
    fs::create_symlink(file, dir / ".layouts.json.link00");
    const int holder = ::open((dir / ".layouts.json.busy00").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);

    EXPECT_EQ(writeFileAtomically(file, "first"), "");
    EXPECT_EQ(writeFileAtomically(file, std::string("second\0with zero", 16)), "");
    EXPECT_EQ(contents(file), std::string("second\0with zero", 16));
    EXPECT_EQ(removeLeftoverTemporaryFiles(file),
              std::vector<fs::path>{dir / ".layouts.json.Zz0009"});
    auto expected = kept;
    expected.insert({"layouts.json", ".layouts.json.folder", ".layouts.json.link00"});
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names, expected);

    // Once the writer is gone (its lock ends with it), the next start removes what it left.
    ::close(holder);
    EXPECT_EQ(removeLeftoverTemporaryFiles(file),
              std::vector<fs::path>{dir / ".layouts.json.busy00"});
    const auto error = writeFileAtomically(dir / "missing" / "layouts.json", "x");
    EXPECT_NE(error.find((dir / "missing").string()), std::string::npos) << error;
}

// A writer killed as a crash or a power cut would, wherever it got to while this process noticed
// its progress; the seed (printed on failure, set with TESSERA_SEED) chooses how much progress
// to wait for.
TEST(InterruptedWritesTest, EveryFileStaysReadableAndTheNextStartLeavesNoTemporaryFile) {
    const char* given = std::getenv("TESSERA_SEED");
    const auto seed = given ? std::stoul(given) : std::random_device{}();
    SCOPED_TRACE("TESSERA_SEED=" + std::to_string(seed));
    std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
    std::uniform_int_distribution<int> reports(0, 2); // to wait for before the kill

    test::TempDir temp("tessera-kill");
    const auto layouts = temp / "data" / "layouts.json";
    const auto preferences = temp / "config" / "preferences.plist";
    const std::array<fs::path, 3> folders{layouts.parent_path(), preferences.parent_path(),
                                          automaticCopiesFolder(layouts)};
    std::array<int, 3> interrupted{}; // rounds that left a temporary file, per folder
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int round = 0;
    for (; round < 300 && std::chrono::steady_clock::now() < deadline; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        int progress[2];
        ASSERT_EQ(::pipe2(progress, O_CLOEXEC), 0);
        const pid_t writer = ::fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            writeForever(round % 3, layouts, preferences, progress[1]);
        }
        ::close(progress[1]);
        char report = 0;
        for (int n = reports(random); n > 0 && ::read(progress[0], &report, 1) == 1; --n) {
        }
        ::kill(writer, SIGKILL);
        int status = 0;
        ::waitpid(writer, &status, 0);
        ::close(progress[0]);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the writer ended";
        for (std::size_t i = 0; i < folders.size(); ++i) {
            interrupted[i] += holdsTemporaryFiles(folders[i]) ? 1 : 0;
        }

        // The next start reads each file as the application does.
        ASSERT_EQ(PlistDefaults(preferences, nullptr).loadError(), "");
        ASSERT_FALSE(LayoutStore(layouts).recovery());
        removeLeftoverAutomaticCopyFiles(layouts);
        std::error_code ec;
        for (const auto& copy : fs::directory_iterator(folders[2], ec)) {
            ASSERT_TRUE(readBackup(copy.path())) << copy.path();
        }
        for (const auto& folder : folders) {
            ASSERT_FALSE(holdsTemporaryFiles(folder)) << folder;
        }
    }
    // Unless writes of each kind were cut short, the test would have proved nothing.
    EXPECT_GT(*std::min_element(interrupted.begin(), interrupted.end()), 0)
        << "of " << round
        << " writers killed, these left a layouts, preferences and copy file: " << interrupted[0]
        << ", " << interrupted[1] << ", " << interrupted[2];
}

// ---- Failed writes ----------------------------------------------------------------------------

namespace {

enum class Writer { layouts, preferences, backupExport, automaticCopy };
enum class Cause { diskFullWhileWriting, diskFullOnFlush, readOnlyFolder, fileBecameFolder };

// Each writer of the program against each way a write fails for real. Where the test can bring
// the cause about (a folder where the file was; a read-only folder unless the test runs as the
// superuser), it does; otherwise the file layer's fault fails the step as the system would.
class FailedWriteTest : public ::testing::TestWithParam<std::tuple<Writer, Cause>> {
protected:
    // Makes change `n` and writes it; the error text.
    std::string write(int n) {
        const Layout layout{Uuid::random(), "Change " + std::to_string(n), {}};
        if (writer == Writer::preferences) {
            armed = true;
            return defaults.set(layout.name, true) ? "" : defaults.lastError();
        }
        if (writer == Writer::automaticCopy) {
            auto backup = makeBackup(context);
            backup.layouts.layouts.push_back(layout);
            armed = true;
            return restore(backup, context).error;
        }
        armed = writer == Writer::layouts;
        store.upsert(layout);
        armed = true;
        return writer == Writer::layouts ? store.lastSaveError()
                                         : exportBackup(context, exportFile);
    }
    // The file the writer replaces; an automatic copy gets a new name each time.
    fs::path file() const {
        return std::array{layouts, preferences, exportFile, fs::path()}.at(
            static_cast<std::size_t>(writer));
    }
    fs::path folder() const {
        return file().empty() ? automaticCopiesFolder(layouts) : file().parent_path();
    }
    bool holds(int n) const {
        return contents(file().empty() ? layouts : file()).find("Change " + std::to_string(n)) !=
               std::string::npos;
    }
    // Every file and folder under the writer's folder, with the files' bytes.
    std::map<fs::path, std::string> snapshot() const {
        std::map<fs::path, std::string> items;
        for (const auto& entry : fs::recursive_directory_iterator(folder())) {
            items[entry.path()] = entry.is_directory() ? "<folder>" : contents(entry.path());
        }
        return items;
    }

    const Writer writer = std::get<0>(GetParam());
    const Cause cause = std::get<1>(GetParam());
    test::TempDir temp{"tessera-fail"};
    const fs::path layouts = temp / "data" / "layouts.json";
    const fs::path preferences = temp / "config" / "preferences.plist";
    const fs::path exportFile = temp / "exports" / "backup.json";
    // The step to fail and how, from the moment write() is about to write.
    std::optional<std::pair<WriteStep, int>> failure;
    bool armed = false;
    const WriteFault fault = [this](WriteStep step) {
        return armed && failure && failure->first == step ? failure->second : 0;
    };
    LayoutStore store{layouts, fault};
    PlistDefaults defaults{preferences, nullptr, fault};
    BackupContext context{store, defaults, std::nullopt, {}, {}, {}, {}, fault};
};

std::string failedWriteName(const ::testing::TestParamInfo<std::tuple<Writer, Cause>>& info) {
    constexpr std::array writers{"Layouts", "Preferences", "Export", "AutomaticCopy"};
    constexpr std::array causes{"DiskFullWhileWriting", "DiskFullOnFlush", "ReadOnlyFolder",
                                "FileBecameFolder"};
    return std::string(writers.at(static_cast<std::size_t>(std::get<0>(info.param)))) +
           causes.at(static_cast<std::size_t>(std::get<1>(info.param)));
}

} // namespace

TEST_P(FailedWriteTest, NamesTheCauseKeepsThePreviousFileAndTheNextWriteCarriesTheChange) {
    fs::create_directories(exportFile.parent_path());
    ASSERT_EQ(write(1), "");
    if (cause == Cause::diskFullWhileWriting || cause == Cause::diskFullOnFlush) {
        failure = {cause == Cause::diskFullOnFlush ? WriteStep::flush : WriteStep::writeBytes,
                   ENOSPC};
    } else if (cause == Cause::readOnlyFolder && ::geteuid() == 0) {
        failure = {WriteStep::createTemporary, EROFS}; // permissions do not stop the superuser
    } else if (cause == Cause::readOnlyFolder) {
        fs::permissions(folder(), fs::perms::owner_read | fs::perms::owner_exec);
    } else {
        fs::remove(file());
        test::writeTestFile(file() / "kept", "kept");
    }
    const std::array<std::string, 4> because{"the disk is full", "the disk is full",
                                             "the folder " + folder().string() + " is read-only",
                                             "it is a folder"};
    const auto before = snapshot();

    const auto error = write(2);
    EXPECT_EQ(error.find("Can't save " + (file().empty() ? folder() : file()).string()), 0U)
        << error;
    EXPECT_TRUE(error.ends_with(": " + because.at(static_cast<std::size_t>(cause)))) << error;
    EXPECT_EQ(snapshot(), before) << "the previous files as they were, no temporary file left";

    failure.reset();
    fs::permissions(folder(), fs::perms::owner_all);
    if (cause == Cause::fileBecameFolder) {
        fs::remove_all(file());
    }
    ASSERT_EQ(write(3), "");
    EXPECT_TRUE(holds(3));
    // An import that could not keep its copy changed nothing; any other change stays in effect.
    EXPECT_EQ(holds(2), writer != Writer::automaticCopy);
}

// Every writer with every cause, except an automatic copy in the way of a folder: each copy gets
// a name that nothing has.
std::vector<std::tuple<Writer, Cause>> failedWriteCases() {
    std::vector<std::tuple<Writer, Cause>> cases;
    for (const auto writer :
         {Writer::layouts, Writer::preferences, Writer::backupExport, Writer::automaticCopy}) {
        for (const auto cause : {Cause::diskFullWhileWriting, Cause::diskFullOnFlush,
                                 Cause::readOnlyFolder, Cause::fileBecameFolder}) {
            if (writer != Writer::automaticCopy || cause != Cause::fileBecameFolder) {
                cases.emplace_back(writer, cause);
            }
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(, FailedWriteTest, ::testing::ValuesIn(failedWriteCases()),
                         failedWriteName);
