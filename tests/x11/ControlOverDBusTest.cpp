// tesseractl place, command, assign and displays against a tesseractl run on a private session
// bus and a real X server: what Tessera reports is where the window lands.

#include "XServerFixture.h"

#include "../unit/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace tessera::x11test {
namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Rect frameOf(const nlohmann::json& frame) {
    return {frame.at("x").get<double>(), frame.at("y").get<double>(),
            frame.at("width").get<double>(), frame.at("height").get<double>()};
}

class ControlOverDBus : public ::testing::Test {
protected:
    void SetUp() override {
        const auto socket = (folder.path() / "bus").string();
        server.spawn({"dbus-daemon", "--session", "--nofork", "--nopidfile",
                      "--address=unix:path=" + socket});
        ASSERT_TRUE(server.waitUntil([&] { return std::filesystem::exists(socket); }));
        bus = "DBUS_SESSION_BUS_ADDRESS=unix:path=" + socket;
    }
    Outcome tesseractl(const std::vector<std::string>& arguments) {
        std::vector<std::string> argv{tesseractlPath()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        ChildProcess process(argv, {bus, "LANG=C"});
        const auto status = process.waitForExit();
        return {status.value_or(-1), process.output(), process.errorOutput()};
    }
    // The first display as tesseractl displays reports it.
    nlohmann::json firstDisplay() {
        const auto listed = tesseractl({"displays", "--json"});
        EXPECT_EQ(listed.status, 0) << listed.err;
        return nlohmann::json::parse(listed.out).at("displays").at(0);
    }
    bool arrives(XWindow window, const Rect& frame) {
        const auto pixels = Rect(std::round(frame.minX()), std::round(frame.minY()),
                                 std::round(frame.width()), std::round(frame.height()));
        return server.waitUntil([&] { return server.visibleFrame(window) == pixels; });
    }

    test::TempDir folder{"tessera-dbus"};
    XServer server;
    std::string bus;
};

TEST_F(ControlOverDBus, RequestsActOnTheRunningTesseraAndFailuresExitWithTheirMessage) {
    const auto none = tesseractl({"place", "Halves:1"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "tesseractl: Tessera is not running (start tessera, or tesseractl run)\n");

    TesseraRun run(server, {}, {bus});
    const auto first = server.launchClient({"xlogo"});
    const auto second = server.launchClient({"xlogo"});
    server.activate(second);

    EXPECT_EQ(tesseractl({"assign", "1", "Three Columns"}).status, 0);
    const auto display = firstDisplay();
    EXPECT_EQ(display.at("layout").at("name"), "Three Columns");
    const auto& zones = display.at("zones");
    ASSERT_EQ(zones.size(), 3u);
    // The active window by layout and position, another by its X id and a zone id.
    EXPECT_EQ(tesseractl({"place", "Three Columns:2"}).status, 0);
    EXPECT_TRUE(arrives(second, frameOf(zones.at(1).at("frame"))));
    EXPECT_EQ(tesseractl({"place", zones.at(2).at("id").get<std::string>(), "--window",
                          std::to_string(first)})
                  .status,
              0);
    EXPECT_TRUE(arrives(first, frameOf(zones.at(2).at("frame"))));
    EXPECT_TRUE(arrives(second, frameOf(zones.at(1).at("frame"))));
    // A command moves the active window as its shortcut would (placing raised the other one).
    server.activate(second);
    const auto moved = tesseractl({"command", "zoneLeft"});
    EXPECT_EQ(moved.status, 0) << moved.err;
    EXPECT_TRUE(arrives(second, frameOf(zones.at(0).at("frame"))));

    for (const auto& [arguments, message] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"place", "Nope:1"}, "unknown layout \"Nope\""},
             {{"place", "Three Columns:1", "--window", "12345"}, "unknown window \"12345\""},
             {{"assign", "7", "Three Columns"}, "unknown display \"7\""}}) {
        const auto failed = tesseractl(arguments);
        EXPECT_EQ(failed.status, 1);
        EXPECT_EQ(failed.err, "tesseractl: " + message + "\n");
    }
    run.sync();
    EXPECT_EQ(run.process().errorOutput(), "");
}

} // namespace
} // namespace tessera::x11test
