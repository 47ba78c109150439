// The window model kept from events, on a private X server with openbox and xlogo: what it
// serves must match the server's own answer, and a window the window manager moves must be
// read back from the events alone.

#include "PortTest.h"

#include "platform/x11/X11Windows.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <array>
#include <memory>
#include <string>

namespace tessera::x11test {
namespace {

using X11WindowsTest = PortTest;

TEST_F(X11WindowsTest, FollowsTheWindowManagerWithoutAskingAndTakesTheShadowOut) {
    const XWindow window = server.launchClient({"xlogo", "-geometry", "300x200+100+100"});
    X11Windows windows(*connection);
    ASSERT_EQ(windows.outerFrame(window), server.outerFrame(window));
    const auto topLevel = windows.topLevelOf(window);
    ASSERT_TRUE(topLevel);
    ASSERT_NE(*topLevel, window) << "openbox frames its clients";

    // Moved and resized by the window manager: once our connection has read the frame's and
    // the client's notifications, the read costs no round trip.
    const Rect asked(400, 300, 250, 150);
    server.moveTo(window, asked);
    connection->sync();
    const auto before = connection->roundTrips();
    const auto moved = windows.outerFrame(window);
    EXPECT_EQ(connection->roundTrips(), before);
    EXPECT_EQ(moved, server.outerFrame(window));
    EXPECT_EQ(moved->origin, asked.origin);
    EXPECT_EQ(windows.clientFrame(window), server.clientFrame(window));
    EXPECT_TRUE(windows.isViewable(window));
    EXPECT_EQ(connection->roundTrips(), before);

    // The client declares a shadow margin, as GTK does under a compositing window manager; a
    // margin wider than the client, or negative, is nonsense and ignored.
    const auto setShadow = [&](const std::array<std::uint32_t, 4>& extents) {
        xcb_change_property(server.connection(), XCB_PROP_MODE_REPLACE, window,
                            server.atom("_GTK_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 32, 4,
                            extents.data());
        server.sync();
        connection->sync();
    };
    setShadow({10, 20, 30, 40});
    EXPECT_EQ(windows.gtkFrameExtents(window), (FrameExtents{10, 20, 30, 40}));
    const auto full = *server.outerFrame(window);
    EXPECT_EQ(windows.outerFrame(window),
              Rect(full.minX() + 10, full.minY() + 30, full.width() - 30, full.height() - 70));
    for (const auto& absurd : {std::array<std::uint32_t, 4>{200, 100, 0, 0},
                               std::array<std::uint32_t, 4>{0xfffffff0u, 0, 0, 0}}) {
        setShadow(absurd);
        EXPECT_EQ(windows.gtkFrameExtents(window), FrameExtents{});
        EXPECT_EQ(windows.outerFrame(window), server.outerFrame(window));
    }

    // A window outside the model is asked of the server, and that counts.
    const auto counted = connection->roundTrips();
    EXPECT_TRUE(windows.clientFrame(*topLevel));
    EXPECT_GT(connection->roundTrips(), counted);
}

} // namespace
} // namespace tessera::x11test
