#include "TempDir.h"

#include "core/model/Files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <set>
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

TEST_F(FilesTest, AtomicWriteReplacesTheTargetAndRemovesOnlyUnusedLeftoversOfItsOwn) {
    const auto file = dir / "layouts.json";
    // Two leftovers of cut-short writes, one still being written, and near misses of the pattern.
    const std::set<std::string> kept{".layouts.json.busy00", ".layouts.json.ab12C",
                                     ".layouts.json.ab-2CD", "layouts.json.ab12CD",
                                     ".layouts.jsonXab12CD", ".other.json.ab12CD"};
    for (const auto& name : kept) {
        std::ofstream(dir / name) << name;
    }
    std::ofstream(dir / ".layouts.json.ab12CD") << "torn";
    std::ofstream(dir / ".layouts.json.Zz0009") << "torn";
    fs::create_directory(dir / ".layouts.json.folder");
    fs::create_symlink(file, dir / ".layouts.json.link00");
    const int holder = ::open((dir / ".layouts.json.busy00").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);

    EXPECT_EQ(writeFileAtomically(file, "first"), "");
    EXPECT_EQ(writeFileAtomically(file, std::string("second\0with zero", 16)), "");
    EXPECT_EQ(contents(file), std::string("second\0with zero", 16));
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
    EXPECT_EQ(targetOfTemporaryFile(".preferences.plist.x1Y2z3"), "preferences.plist");
    EXPECT_FALSE(targetOfTemporaryFile("..abcdef"));
}
