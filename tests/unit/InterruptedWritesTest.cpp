#include "TempDir.h"

#include "core/app/Preferences.h"
#include "core/backup/Backup.h"
#include "core/backup/BackupService.h"
#include "core/model/Files.h"
#include "core/store/LayoutStore.h"
#include "platform/linux/PlistDefaults.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <iostream>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace tessera;
namespace fs = std::filesystem;

namespace {

struct Files {
    fs::path layouts;
    fs::path preferences;
    fs::path copies() const { return automaticCopiesFolder(layouts); }
};

enum class Writer { preferences, layouts, import };

// Writes as `tesseractl prefs set`, a layout edit or `tesseractl backup import --yes` do (an
// automatic copy, then every preference, then the layouts, each its own atomic write), over
// and over, telling `progress` after each change.
[[noreturn]] void writeForever(Writer kind, const Files& files, int progress) {
    PlistDefaults defaults(files.preferences, nullptr);
    LayoutStore store(files.layouts);
    const BackupContext context{store, defaults, std::nullopt, {}, {}, {}, {}};
    for (std::int64_t round = 0; round < 1000; ++round) {
        auto backup = makeBackup(context);
        backup.layouts.layouts.front().name = "Round " + std::to_string(round);
        switch (kind) {
        case Writer::preferences:
            defaults.set(prefs::windowGap, DefaultsValue(round % 40));
            break;
        case Writer::layouts:
            store.apply(backup.layouts);
            break;
        case Writer::import:
            backup.preferences[std::string(prefs::windowGap)] = round % 40;
            restore(backup, context);
            break;
        }
        if (::write(progress, "x", 1) != 1) {
            break;
        }
    }
    ::_exit(0);
}

std::vector<std::string> temporaryFiles(const fs::path& folder) {
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        if (targetOfTemporaryFile(it->path().filename().string())) {
            found.push_back(it->path().filename().string());
        }
    }
    return found;
}

} // namespace

// Kills a writer at arbitrary moments of its work, as a crash or a power cut would: every file
// must stay readable and the next start must leave no temporary file behind. The moment of each
// kill is wherever the writer got to while this process noticed its progress; the seed (print
// on failure, set with TESSERA_SEED) only chooses how much progress to wait for.
TEST(InterruptedWritesTest, EveryFileStaysReadableAndTheNextStartLeavesNoTemporaryFile) {
    const char* given = std::getenv("TESSERA_SEED");
    const auto seed =
        given ? static_cast<unsigned>(std::strtoul(given, nullptr, 10)) : std::random_device{}();
    SCOPED_TRACE("TESSERA_SEED=" + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> progressBeforeKill(0, 2);

    test::TempDir temp("tessera-kill");
    const Files files{temp / "data" / "layouts.json", temp / "config" / "preferences.plist"};
    fs::create_directories(files.preferences.parent_path());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int rounds = 0;
    std::array<int, 3> interrupted{}; // rounds that left a temporary file, per folder
    for (; rounds < 300 && std::chrono::steady_clock::now() < deadline; ++rounds) {
        int progress[2];
        ASSERT_EQ(::pipe2(progress, O_CLOEXEC), 0);
        const pid_t writer = ::fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            ::close(progress[0]);
            writeForever(static_cast<Writer>(rounds % 3), files, progress[1]);
        }
        ::close(progress[1]);
        char report = 0;
        for (int seen = progressBeforeKill(random);
             seen > 0 && ::read(progress[0], &report, 1) == 1; --seen) {
        }
        ::kill(writer, SIGKILL);
        int status = 0;
        ::waitpid(writer, &status, 0);
        ::close(progress[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended on its own in round " << rounds;

        const std::array<fs::path, 3> folders{files.layouts.parent_path(),
                                              files.preferences.parent_path(), files.copies()};
        for (std::size_t i = 0; i < folders.size(); ++i) {
            interrupted[i] += temporaryFiles(folders[i]).empty() ? 0 : 1;
        }

        // The next start: each file is read as the application reads it.
        std::ostringstream diagnostics;
        const PlistDefaults defaults(files.preferences, &diagnostics);
        ASSERT_EQ(defaults.loadError(), "") << "round " << rounds;
        const LayoutStore store(files.layouts);
        ASSERT_FALSE(store.recovery()) << "round " << rounds << ": " << store.recovery()->reason;
        removeLeftoverAutomaticCopyFiles(files.layouts);
        std::error_code ec;
        for (fs::directory_iterator it(files.copies(), ec); !ec && it != fs::directory_iterator();
             it.increment(ec)) {
            ASSERT_TRUE(readBackup(it->path())) << it->path() << " in round " << rounds;
        }
        for (const auto& folder : folders) {
            ASSERT_EQ(temporaryFiles(folder), std::vector<std::string>{})
                << folder << " in round " << rounds;
        }
    }
    std::cout << "[ killed ] " << rounds << " writers; cut short: " << interrupted[0]
              << " layouts, " << interrupted[1] << " preferences, " << interrupted[2]
              << " automatic copies\n";
    // Unless writes of each kind were cut short, the test would have proved nothing.
    for (const int count : interrupted) {
        EXPECT_GT(count, 0);
    }
}
