// The tessera program itself on a private X server with openbox: one instance per display, a
// clean end on SIGTERM.

#include "XServerFixture.h"

#include "../../unit/TempDir.h"

#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace tessera::x11test {
namespace {

std::string windowTitle(XServer& server, XWindow window) {
    const auto cookie =
        xcb_get_property(server.connection(), 0, window, server.atom("_NET_WM_NAME"),
                         server.atom("UTF8_STRING"), 0, 256);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(server.connection(), cookie, nullptr), &std::free);
    if (!reply) {
        return {};
    }
    const auto* text = static_cast<const char*>(xcb_get_property_value(reply.get()));
    return std::string(text, static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
}

class TesseraProgram : public ::testing::Test {
protected:
    // The main window if it is shown, else 0.
    XWindow mainWindow() {
        const auto windows = server.clientList();
        const auto found = std::ranges::find_if(
            windows, [&](XWindow window) { return windowTitle(server, window) == "Tessera"; });
        return found == windows.end() ? 0 : *found;
    }
    bool mainWindowShown() { return mainWindow() != 0; }

    XServer server;
    const test::TempDir folder{"tessera-app"};
    const std::string home = folder.path().string();
    const std::vector<std::string> env{"DISPLAY=" + server.display(), "HOME=" + home,
                                       "XDG_CONFIG_HOME=" + home + "/.config",
                                       "XDG_DATA_HOME=" + home + "/.local/share", "LANG=C"};
};

// A closed window leaves Tessera running: a later launch still finds it and hands over.
TEST_F(TesseraProgram, ASecondLaunchBringsTheFirstForwardAndEndsAlsoAfterTheWindowWasClosed) {
    ChildProcess first({TESSERA_APPLICATION, "--hidden"}, env);
    ASSERT_TRUE(first.waitForLine("ready", 60)) << first.errorOutput();
    EXPECT_FALSE(mainWindowShown()) << "--hidden showed the main window";

    // The second time, as a session's autostart would: --hidden still brings the window back.
    for (const bool hidden : {false, true}) {
        SCOPED_TRACE(hidden ? "after a close" : "after --hidden");
        ChildProcess second(hidden ? std::vector<std::string>{TESSERA_APPLICATION, "--hidden"}
                                   : std::vector<std::string>{TESSERA_APPLICATION},
                            env);
        const auto status = second.waitForExit(60);
        ASSERT_TRUE(status.has_value()) << "the second launch kept running";
        EXPECT_EQ(*status, 0) << second.errorOutput();
        EXPECT_NE(second.output().find("already running"), std::string::npos) << second.output();
        // After a close the window's QML is gone; the hand-over loads it afresh.
        ASSERT_TRUE(server.waitUntil([&] { return mainWindowShown(); }, 30))
            << "the first instance's window never came forward";
        // What a close button sends.
        server.sendToRoot(mainWindow(), "_NET_CLOSE_WINDOW", {0, 2, 0, 0, 0});
        ASSERT_TRUE(server.waitUntil([&] { return !mainWindowShown(); }, 30));
    }
    EXPECT_EQ(first.stop(SIGTERM, 30), 0) << first.errorOutput();
}

} // namespace
} // namespace tessera::x11test
