#include "RunProcess.h"
#include "TempDir.h"

#include "core/model/Json.h"
#include "core/store/BuiltInLayouts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

using namespace tessera;
namespace fs = std::filesystem;
using nlohmann::json;
using tessera::test::ProcessResult;

namespace {

void write(const fs::path& path, const std::string& bytes) {
    test::writeTestFile(path, bytes);
}
std::string read(const fs::path& path) {
    return test::readTestFile(path);
}

std::set<std::string> keys(const json& object) {
    std::set<std::string> result;
    for (const auto& [key, value] : object.items()) {
        result.insert(key);
    }
    return result;
}

class CliLayoutsTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(home); }

    // Runs tesseractl with HOME and LANG of its own and no XDG folders unless given, so nothing
    // of the environment running the tests leaks in.
    ProcessResult run(const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment = {}) {
        test::EnvironmentChanges changes{{"HOME", home.string()},
                                         {"LANG", "C"},
                                         {"XDG_DATA_HOME", std::nullopt},
                                         {"XDG_CONFIG_HOME", std::nullopt}};
        for (const auto& variable : environment) {
            const auto equals = variable.find('=');
            changes[variable.substr(0, equals)] = variable.substr(equals + 1);
        }
        return test::runProcess(TESSERACTL_PATH, arguments, changes);
    }

    static json parsed(const ProcessResult& outcome) {
        try {
            return json::parse(outcome.out);
        } catch (const json::exception& error) {
            ADD_FAILURE() << "not JSON: " << error.what() << "\n" << outcome.out;
            return json::object();
        }
    }

    test::TempDir temp{"tessera-cli"};
    fs::path root = temp.path();
    fs::path home = root / "home";
    fs::path defaultFile = home / ".local" / "share" / "Tessera" / "layouts.json";
};

TEST_F(CliLayoutsTest, FreshHomeGetsTheBuiltInFileAndListsItInBothForms) {
    const auto outcome = run({"layouts", "--json"});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");

    const auto stored = decodePayload(read(defaultFile));
    ASSERT_TRUE(stored) << stored.error;
    EXPECT_EQ(stored.value->layouts.size(), 5U);
    EXPECT_EQ(stored.value->assignments.size(), 4U);
    EXPECT_EQ(stored.value->seeded, builtInLayoutIDs());

    const auto listing = parsed(outcome);
    EXPECT_EQ(keys(listing), (std::set<std::string>{"layouts", "assignments", "seeded"}));
    ASSERT_EQ(listing["layouts"].size(), 5U);
    for (std::size_t i = 0; i < 5; ++i) {
        const auto& layout = listing["layouts"][i];
        EXPECT_EQ(keys(layout), (std::set<std::string>{"id", "name", "displayName", "zones"}));
        EXPECT_EQ(layout["id"], stored.value->layouts[i].id.string());
        EXPECT_EQ(layout["displayName"], stored.value->layouts[i].name);
        for (const auto& zone : layout["zones"]) {
            EXPECT_EQ(keys(zone), (std::set<std::string>{"id", "name", "displayName", "x", "y",
                                                         "width", "height", "shortcut"}));
            EXPECT_TRUE(zone["shortcut"].is_null());
            EXPECT_TRUE(zone["x"].is_number());
        }
    }
    EXPECT_EQ(listing["assignments"]["2560x1440"], builtin::stackHalfID);
    EXPECT_EQ(listing["assignments"].size(), 4U);
    ASSERT_EQ(listing["seeded"].size(), 5U);
    EXPECT_EQ(listing["seeded"][4], builtin::verticalRowsID);

    // The same store for people: every layout, every assignment key, nothing rewritten.
    const auto before = read(defaultFile);
    const auto text = run({"layouts"});
    ASSERT_EQ(text.exitStatus, 0) << text.err;
    for (const auto& layout : stored.value->layouts) {
        EXPECT_NE(text.out.find(layout.id.string()), std::string::npos) << layout.name;
    }
    EXPECT_NE(text.out.find("3440x1440px"), std::string::npos);
    EXPECT_EQ(read(defaultFile), before);
}

TEST_F(CliLayoutsTest, FileOfAnEarlierVersionShowsCurrentNamesAndGainsVerticalRows) {
    auto layouts = builtInLayouts();
    layouts.pop_back();
    layouts[0].name = "27″ Browser & Telegram";
    layouts[0].zones[1].name = "Telegram";
    write(defaultFile,
          encodeJson(toJson(LayoutStorePayload{layouts, defaultAssignments(), std::nullopt})));

    const auto outcome = run({"layouts", "--json"});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
    const auto listing = parsed(outcome);
    ASSERT_EQ(listing["layouts"].size(), 5U);
    EXPECT_EQ(listing["layouts"][0]["name"], "27″ Browser & Telegram");
    EXPECT_EQ(listing["layouts"][0]["displayName"], "Stack + Half");
    EXPECT_EQ(listing["layouts"][0]["zones"][1]["displayName"], "Bottom Left");
    EXPECT_EQ(listing["layouts"][4]["id"], builtin::verticalRowsID);

    const auto stored = decodePayload(read(defaultFile));
    ASSERT_TRUE(stored) << stored.error;
    EXPECT_EQ(stored.value->seeded, builtInLayoutIDs());
    EXPECT_EQ(stored.value->layouts[0].name, "27″ Browser & Telegram");
}

TEST_F(CliLayoutsTest, UnreadableFileIsReportedWithTheKeptCopy) {
    const std::string garbage = "{\"layouts\": [ this is not JSON";
    write(defaultFile, garbage);

    const auto outcome = run({"layouts", "--json"});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
    std::vector<fs::path> copies;
    for (const auto& entry : fs::directory_iterator(defaultFile.parent_path())) {
        if (entry.path().filename().string().rfind("layouts.json.unreadable-", 0) == 0) {
            copies.push_back(entry.path());
        }
    }
    ASSERT_EQ(copies.size(), 1U);
    EXPECT_NE(outcome.err.find(copies[0].string()), std::string::npos) << outcome.err;
    EXPECT_EQ(read(copies[0]), garbage);
    EXPECT_EQ(parsed(outcome)["layouts"].size(), 5U);
    EXPECT_TRUE(decodePayload(read(defaultFile)));
}

TEST_F(CliLayoutsTest, DataFolderComesFromXdgDataHome) {
    const auto outcome = run({"layouts"}, {"XDG_DATA_HOME=" + (root / "data").string()});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
    EXPECT_TRUE(fs::exists(root / "data" / "Tessera" / "layouts.json"));
    EXPECT_FALSE(fs::exists(defaultFile));
    EXPECT_NE(outcome.out.find((root / "data" / "Tessera" / "layouts.json").string()),
              std::string::npos);
}

TEST_F(CliLayoutsTest, FolderThatCannotBeCreatedFailsWithItsName) {
    write(root / "blocker", "a regular file");
    const auto outcome =
        run({"layouts"}, {"XDG_DATA_HOME=" + (root / "blocker" / "data").string()});
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_NE(outcome.err.find((root / "blocker").string()), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.out, "");
}

TEST_F(CliLayoutsTest, UnknownOptionIsAUsageErrorAndTouchesNothing) {
    const auto outcome = run({"layouts", "--bogus"});
    EXPECT_EQ(outcome.exitStatus, 2);
    EXPECT_NE(outcome.err.find("--bogus"), std::string::npos);
    EXPECT_FALSE(fs::exists(home / ".local"));
}

} // namespace
