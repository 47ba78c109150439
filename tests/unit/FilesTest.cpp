#include "TempDir.h"

#include "core/model/Files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
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

TEST_F(FilesTest, AtomicWriteReplacesTheTargetAndLeavesNothingBehind) {
    const auto file = dir / "layouts.json";
    EXPECT_EQ(writeFileAtomically(file, "first"), "");
    EXPECT_EQ(writeFileAtomically(file, std::string("second\0with zero", 16)), "");
    EXPECT_EQ(contents(file), std::string("second\0with zero", 16));
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) {
        ++entries;
    }
    EXPECT_EQ(entries, 1) << "no temporary file may be left beside the target";
}

TEST_F(FilesTest, AtomicWriteReportsAMissingFolder) {
    const auto error = writeFileAtomically(dir / "missing" / "layouts.json", "x");
    EXPECT_NE(error.find((dir / "missing").string()), std::string::npos) << error;
}

TEST_F(FilesTest, CreateFoldersToleratesExistingAndRefusesAFileInTheWay) {
    EXPECT_EQ(createFolders(dir / "a" / "b"), "");
    EXPECT_EQ(createFolders(dir / "a" / "b"), "");
    std::ofstream(dir / "blocker") << "x";
    EXPECT_NE(createFolders(dir / "blocker"), "");
    EXPECT_NE(createFolders(dir / "blocker" / "inside"), "");
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

TEST_F(FilesTest, LeftoversOfCutShortWritesGoButNothingInUseOrNotOursDoes) {
    const auto file = dir / "layouts.json";
    const std::vector<std::string> leftovers{".layouts.json.ab12CD", ".layouts.json.Zz0009"};
    // Near misses of the pattern, another target's leftover, and things that aren't plain files.
    const std::vector<std::string> kept{".layouts.json.ab12C", ".layouts.json.ab-2CD",
                                        "layouts.json.ab12CD", ".layouts.jsonXab12CD",
                                        ".other.json.ab12CD",  ".layouts.json.ab12CD.json"};
    for (const auto& name : leftovers) {
        std::ofstream(dir / name) << "torn";
    }
    for (const auto& name : kept) {
        std::ofstream(dir / name) << "mine";
    }
    fs::create_directory(dir / ".layouts.json.folder");
    std::ofstream(dir / "elsewhere") << "target of a link";
    fs::create_symlink(dir / "elsewhere", dir / ".layouts.json.link00");
    // A write in progress in another process holds its temporary file's lock.
    std::ofstream(dir / ".layouts.json.busy00") << "being written";
    const int holder = ::open((dir / ".layouts.json.busy00").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);

    ASSERT_EQ(writeFileAtomically(file, "new"), "");
    for (const auto& name : leftovers) {
        EXPECT_FALSE(fs::exists(dir / name)) << name;
    }
    for (const auto& name : kept) {
        EXPECT_EQ(contents(dir / name), "mine") << name;
    }
    EXPECT_TRUE(fs::is_directory(dir / ".layouts.json.folder"));
    EXPECT_TRUE(fs::is_symlink(dir / ".layouts.json.link00"));
    EXPECT_EQ(contents(dir / "elsewhere"), "target of a link");
    EXPECT_EQ(contents(dir / ".layouts.json.busy00"), "being written");

    // Once the writer is gone (its lock ends with it), the next start removes what it left.
    ::close(holder);
    EXPECT_EQ(removeLeftoverTemporaryFiles(file),
              std::vector<fs::path>{dir / ".layouts.json.busy00"});
    EXPECT_EQ(contents(file), "new");

    EXPECT_EQ(targetOfTemporaryFile(".preferences.plist.x1Y2z3"), "preferences.plist");
    EXPECT_EQ(targetOfTemporaryFile(".Before import 2026.json.AAAAAA"), "Before import 2026.json");
    EXPECT_FALSE(targetOfTemporaryFile("..abcdef"));
    EXPECT_FALSE(targetOfTemporaryFile(".a.abcdef~"));
}
