#include "TempDir.h"

#include "core/model/Files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sys/stat.h>

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

TEST_F(FilesTest, AtomicWriteReplacesTheTargetKeepingItsModeAndLeavesNothingBehind) {
    const auto file = dir / "layouts.json";
    const mode_t previous = ::umask(022);
    EXPECT_EQ(writeFileAtomically(file, "first"), "");
    EXPECT_EQ(fs::status(file).permissions(), static_cast<fs::perms>(0644)) << "as the umask says";
    fs::permissions(file, static_cast<fs::perms>(0640));
    EXPECT_EQ(writeFileAtomically(file, std::string("second\0with zero", 16)), "");
    ::umask(previous);
    EXPECT_EQ(fs::status(file).permissions(), static_cast<fs::perms>(0640));
    EXPECT_EQ(contents(file), std::string("second\0with zero", 16));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "no temporary file may be left beside the target";
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
