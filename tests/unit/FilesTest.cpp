#include "TempDir.h"

#include "core/app/Preferences.h"
#include "core/backup/Backup.h"
#include "core/backup/BackupService.h"
#include "core/model/Files.h"
#include "core/store/LayoutStore.h"
#include "platform/linux/PlistDefaults.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
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

// Two unreadable files in one second (a restart loop) must leave two copies, not one.
TEST_F(FilesTest, UnreadableCopiesKeepTheBytesAndNeverOverwriteEachOther) {
    const auto file = dir / "layouts.json";
    std::ofstream(file) << "{ broken";
    const auto now = std::chrono::system_clock::from_time_t(1764914529); // 2025-12-05 06:02:09
    std::string error;
    const auto first = keepUnreadableCopy(file, now, &error);
    const auto second = keepUnreadableCopy(file, now, &error);
    ASSERT_TRUE(first && second) << error;
    EXPECT_EQ(first->filename(), "layouts.json.unreadable-2025-12-05T06-02-09Z");
    EXPECT_NE(*first, *second);
    EXPECT_EQ(contents(*first), "{ broken");
    EXPECT_EQ(contents(*second), "{ broken");
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
