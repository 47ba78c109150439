// Other applications' windows through the window manager, on a private X server with openbox,
// xterm (sets _NET_WM_PID and size increments) and xlogo (neither).

#include "XServerFixture.h"

#include "../unit/PlacementTestSupport.h"

#include "core/placement/WindowAccess.h"
#include "platform/x11/X11Accessibility.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <ostream>
#include <variant>

using namespace tessera;
using tessera::x11test::XServer;

namespace {

struct Launched {
    XWindow window = 0;
    pid_t pid = -1;
};

class X11AccessibilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        connection = X11Connection::open(server.display(), error);
        ASSERT_TRUE(connection) << error;
        windows = std::make_unique<X11Windows>(*connection);
        accessibility = std::make_unique<X11Accessibility>(*windows);
    }

    // Starts a client and waits until openbox shows its window; the process id is the one the
    // program really has, to check what the port finds against.
    Launched launch(const std::vector<std::string>& argv) {
        const auto before = server.clientList();
        Launched launched;
        launched.pid = server.spawn(argv);
        const bool shown = server.waitUntil([&] {
            for (const auto window : server.clientList()) {
                if (std::find(before.begin(), before.end(), window) == before.end() &&
                    server.frameExtents(window).size() == 4 && windows->isViewable(window)) {
                    launched.window = window;
                    return true;
                }
            }
            return false;
        });
        EXPECT_TRUE(shown) << argv.front() << " showed no window";
        return launched;
    }

    void addState(XWindow window, std::string_view first, std::string_view second = {}) {
        server.requestState(window, true, first, second);
        ASSERT_TRUE(server.waitUntil([&] {
            return server.hasState(window, first) &&
                   (second.empty() || server.hasState(window, second));
        }));
    }

    // Whole increments of xterm's character cell, from its own size hints.
    Size sizeIncrement(XWindow window) {
        const auto hints = connection->cardinals(window, "WM_NORMAL_HINTS", "WM_SIZE_HINTS");
        if (!hints || hints->size() < 11 || ((*hints)[0] & 64) == 0) {
            return {1, 1};
        }
        return {double((*hints)[9]), double((*hints)[10])};
    }

    template <typename T>
    std::optional<T> read(const AccessibilityElement& element, std::string_view attribute) {
        const auto result = accessibility->copyAttribute(element, attribute);
        if (!result.ok()) {
            return std::nullopt;
        }
        if (const auto* value = std::get_if<T>(&*result.value)) {
            return *value;
        }
        return std::nullopt;
    }

    XServer server;
    std::unique_ptr<X11Connection> connection;
    std::unique_ptr<X11Windows> windows;
    std::unique_ptr<X11Accessibility> accessibility;
};

using Elements = std::vector<AccessibilityElement>;

TEST_F(X11AccessibilityTest, OneElementPerWindowHoweverItIsReached) {
    const auto terminal = launch({"xterm"});
    const auto logo = launch({"xlogo"});
    ASSERT_TRUE(setWindowFrame(*accessibility, accessibility->windowElement(terminal.window),
                               {50, 50, 500, 400}));
    ASSERT_TRUE(setWindowFrame(*accessibility, accessibility->windowElement(logo.window),
                               {700, 100, 300, 300}));
    server.activate(logo.window);
    ASSERT_TRUE(server.waitUntil([&] { return server.activeWindow() == logo.window; }));

    // A press on the title bar (drawn by the window manager, outside the client) finds it.
    const auto hit = accessibility->elementAtPosition({710, 105});
    ASSERT_EQ(hit.status, AccessibilityStatus::success);
    ASSERT_TRUE(hit.element);
    const auto element = *hit.element;
    EXPECT_EQ(windowUnderPoint(*accessibility, {850, 250}), element);

    // xlogo sets no _NET_WM_PID; the server still knows which process owns its window.
    ASSERT_EQ(accessibility->processId(element), logo.pid);
    const auto application = accessibility->applicationElement(logo.pid);
    EXPECT_EQ(accessibility->applicationElement(logo.pid), application);
    EXPECT_EQ(read<AccessibilityElement>(element, ax::parent), application);
    EXPECT_EQ(accessibility->processId(application), logo.pid);
    EXPECT_EQ(read<std::string>(element, ax::role), std::string(ax::windowRole));
    EXPECT_EQ(read<std::string>(application, ax::role), "AXApplication");
    EXPECT_EQ(read<AccessibilityElement>(application, ax::focusedWindow), element);
    EXPECT_EQ(read<AccessibilityElement>(application, ax::mainWindow), element);
    EXPECT_EQ(read<Elements>(application, ax::windows), Elements{element});
    EXPECT_EQ(activeWindowOfApplication(*accessibility, logo.pid), element);

    // xterm is not active: no focused window, but its only window is still its main one.
    const auto terminalElement = accessibility->windowElement(terminal.window);
    EXPECT_NE(terminalElement, element);
    EXPECT_EQ(accessibility->processId(terminalElement), terminal.pid);
    const auto terminalApplication = accessibility->applicationElement(terminal.pid);
    EXPECT_NE(terminalApplication, application);
    const auto focused = accessibility->copyAttribute(terminalApplication, ax::focusedWindow);
    EXPECT_EQ(focused.status, AccessibilityStatus::noValue);
    EXPECT_EQ(read<AccessibilityElement>(terminalApplication, ax::mainWindow), terminalElement);
    EXPECT_EQ(windowUnderPoint(*accessibility, {60, 300}), terminalElement);

    // What the workspace names applications by.
    using Names = std::pair<std::string, std::string>;
    EXPECT_EQ(windows->windowClass(logo.window), Names("xlogo", "XLogo"));
    EXPECT_EQ(windows->windowClass(terminal.window), Names("xterm", "XTerm"));
    EXPECT_EQ(read<std::string>(element, "AXTitle"), "xlogo");
    EXPECT_EQ(windows->title(logo.window), "xlogo");
    const auto clients = windows->clientsBottomToTop();
    EXPECT_EQ(clients, (std::vector<XWindow>{terminal.window, logo.window}));
    EXPECT_EQ(windows->clientsOf(logo.pid), std::vector<XWindow>{logo.window});
}

TEST_F(X11AccessibilityTest, StatusesMirrorWhatCallersExpect) {
    const auto logo = launch({"xlogo"});
    const auto window = accessibility->windowElement(logo.window);
    const auto application = accessibility->applicationElement(logo.pid);

    EXPECT_EQ(accessibility->copyAttribute(window, "AXSubrole").status,
              AccessibilityStatus::attributeUnsupported);
    EXPECT_EQ(accessibility->copyAttribute(application, ax::position).status,
              AccessibilityStatus::attributeUnsupported);
    EXPECT_EQ(accessibility->copyAttribute(application, ax::parent).status,
              AccessibilityStatus::noValue);
    EXPECT_EQ(accessibility->setAttribute(window, ax::position, Size{10, 10}),
              AccessibilityStatus::illegalArgument);
    EXPECT_EQ(accessibility->setAttribute(window, ax::size, Size{std::nan(""), 10}),
              AccessibilityStatus::illegalArgument);
    EXPECT_EQ(accessibility->setAttribute(window, ax::fullScreen, std::string("yes")),
              AccessibilityStatus::illegalArgument);
    EXPECT_EQ(accessibility->setAttribute(application, ax::position, Point{0, 0}),
              AccessibilityStatus::attributeUnsupported);
    EXPECT_EQ(accessibility->performAction(window, "AXPress"),
              AccessibilityStatus::actionUnsupported);
    EXPECT_EQ(accessibility->performAction(application, ax::raiseAction),
              AccessibilityStatus::actionUnsupported);

    // A process that can't exist still gets its element, which answers nothing.
    const auto nobody = accessibility->applicationElement(INT_MAX);
    EXPECT_NE(nobody, application);
    EXPECT_EQ(accessibility->copyAttribute(nobody, ax::windows).status,
              AccessibilityStatus::invalidElement);
    EXPECT_EQ(accessibility->processId(nobody), std::nullopt);
    EXPECT_EQ(activeWindowOfApplication(*accessibility, INT_MAX), std::nullopt);
    EXPECT_EQ(accessibility->copyAttribute(AccessibilityElement{987654}, ax::role).status,
              AccessibilityStatus::invalidElement);
    EXPECT_TRUE(accessibility->isProcessTrusted());
}

TEST_F(X11AccessibilityTest, OuterFrameLandsExactlyWhereAsked) {
    const auto logo = launch({"xlogo"});
    const auto window = accessibility->windowElement(logo.window);
    const double width = server.width();
    const double height = server.height();

    // The frame is read back at once, as the mover does: the port waits for the answer.
    for (const Rect target :
         {Rect(300, 200, 500, 400), Rect(0, 0, 640, 480), Rect(width - 320, height - 240, 320, 240),
          Rect(0, 0, width, height), Rect(width / 2, 0, width / 2, height / 2)}) {
        ASSERT_TRUE(setWindowFrame(*accessibility, window, target))
            << testing::PrintToString(target);
        EXPECT_EQ(windowFrame(*accessibility, window), target);
        EXPECT_EQ(server.outerFrame(logo.window), target);
    }

    // Position and size alone each leave the other as it is.
    ASSERT_EQ(accessibility->setAttribute(window, ax::position, Point{100, 150}),
              AccessibilityStatus::success);
    EXPECT_EQ(windowFrame(*accessibility, window), Rect(100, 150, width / 2, height / 2));
    ASSERT_EQ(accessibility->setAttribute(window, ax::size, Size{410, 330}),
              AccessibilityStatus::success);
    EXPECT_EQ(windowFrame(*accessibility, window), Rect(100, 150, 410, 330));

    // A request that changes nothing is answered by nothing; the window keeps its frame.
    EXPECT_EQ(accessibility->moveAndResize(window, {100, 150, 410, 330}),
              AccessibilityStatus::success);
    EXPECT_EQ(windowFrame(*accessibility, window), Rect(100, 150, 410, 330));
}

TEST_F(X11AccessibilityTest, TerminalLandsWithinItsCharacterCell) {
    const auto terminal = launch({"xterm"});
    const auto window = accessibility->windowElement(terminal.window);
    const auto step = sizeIncrement(terminal.window);
    ASSERT_GT(step.width, 1);
    ASSERT_GT(step.height, 1);

    for (const Rect target : {Rect(100, 80, 600, 400), Rect(0, 0, 333, 211)}) {
        // What the window manager grants (whole character cells) is taken as it comes.
        EXPECT_EQ(accessibility->moveAndResize(window, target), AccessibilityStatus::success);
        const auto frame = windowFrame(*accessibility, window);
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->origin, target.origin);
        EXPECT_LE(frame->width(), target.width());
        EXPECT_GT(frame->width(), target.width() - step.width);
        EXPECT_LE(frame->height(), target.height());
        EXPECT_GT(frame->height(), target.height() - step.height);
        EXPECT_EQ(server.outerFrame(terminal.window), frame);
    }
}

TEST_F(X11AccessibilityTest, MaximizedWindowIsRestoredThenPlaced) {
    const auto logo = launch({"xlogo"});
    const auto window = accessibility->windowElement(logo.window);
    addState(logo.window, "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ");

    const Rect target{200, 150, 400, 300};
    ASSERT_TRUE(setWindowFrame(*accessibility, window, target));
    EXPECT_FALSE(server.hasState(logo.window, "_NET_WM_STATE_MAXIMIZED_VERT"));
    EXPECT_FALSE(server.hasState(logo.window, "_NET_WM_STATE_MAXIMIZED_HORZ"));
    EXPECT_EQ(windowFrame(*accessibility, window), target);
    EXPECT_EQ(server.outerFrame(logo.window), target);

    // Maximized one way only counts too.
    addState(logo.window, "_NET_WM_STATE_MAXIMIZED_VERT");
    ASSERT_EQ(accessibility->setAttribute(window, ax::size, Size{320, 200}),
              AccessibilityStatus::success);
    EXPECT_FALSE(server.hasState(logo.window, "_NET_WM_STATE_MAXIMIZED_VERT"));
    EXPECT_EQ(server.outerFrame(logo.window), Rect(200, 150, 320, 200));
}

TEST_F(X11AccessibilityTest, FullScreenIsReadAndLeft) {
    const auto logo = launch({"xlogo"});
    const auto window = accessibility->windowElement(logo.window);
    EXPECT_EQ(read<bool>(window, ax::fullScreen), false);

    addState(logo.window, "_NET_WM_STATE_FULLSCREEN");
    EXPECT_TRUE(isFullScreen(*accessibility, window));
    ASSERT_EQ(accessibility->setAttribute(window, ax::fullScreen, false),
              AccessibilityStatus::success);
    EXPECT_FALSE(server.hasState(logo.window, "_NET_WM_STATE_FULLSCREEN"));
    EXPECT_FALSE(isFullScreen(*accessibility, window));

    ASSERT_EQ(accessibility->setAttribute(window, ax::fullScreen, true),
              AccessibilityStatus::success);
    EXPECT_TRUE(server.hasState(logo.window, "_NET_WM_STATE_FULLSCREEN"));
    EXPECT_EQ(accessibility->setAttribute(window, ax::fullScreen, true),
              AccessibilityStatus::success);
}

TEST_F(X11AccessibilityTest, RaiseActivatesAndHitTestsFindTheTopWindow) {
    const auto terminal = launch({"xterm"});
    const auto logo = launch({"xlogo"});
    const auto terminalElement = accessibility->windowElement(terminal.window);
    const auto logoElement = accessibility->windowElement(logo.window);
    ASSERT_TRUE(setWindowFrame(*accessibility, terminalElement, {100, 100, 500, 400}));
    ASSERT_TRUE(setWindowFrame(*accessibility, logoElement, {300, 200, 400, 400}));
    const Point overlap{400, 300};

    // Raising waits for the window manager: the window is active when the call returns.
    for (const auto& [element, xwindow] :
         {std::pair(terminalElement, terminal.window), std::pair(logoElement, logo.window),
          std::pair(terminalElement, terminal.window)}) {
        ASSERT_EQ(accessibility->performAction(element, ax::raiseAction),
                  AccessibilityStatus::success);
        EXPECT_EQ(server.activeWindow(), xwindow);
        const auto hit = accessibility->elementAtPosition(overlap);
        EXPECT_EQ(hit.status, AccessibilityStatus::success);
        EXPECT_EQ(hit.element, element);
    }
    EXPECT_EQ(accessibility->elementAtPosition({650, 550}).element, logoElement);

    // A minimized window is neither under the pointer nor its application's main window, but
    // still one of its windows; raising brings it back.
    server.sendToRoot(terminal.window, "WM_CHANGE_STATE", {3, 0, 0, 0, 0});
    ASSERT_TRUE(server.waitUntil([&] {
        return !windows->isViewable(terminal.window) && server.activeWindow() != terminal.window;
    }));
    EXPECT_EQ(accessibility->elementAtPosition({150, 150}).status, AccessibilityStatus::noValue);
    EXPECT_EQ(accessibility->elementAtPosition(overlap).element, logoElement);
    const auto terminalApplication = accessibility->applicationElement(terminal.pid);
    EXPECT_EQ(accessibility->copyAttribute(terminalApplication, ax::mainWindow).status,
              AccessibilityStatus::noValue);
    EXPECT_EQ(read<Elements>(terminalApplication, ax::windows), Elements{terminalElement});
    ASSERT_EQ(accessibility->performAction(terminalElement, ax::raiseAction),
              AccessibilityStatus::success);
    EXPECT_EQ(server.activeWindow(), terminal.window);
    EXPECT_EQ(accessibility->elementAtPosition({150, 150}).element, terminalElement);

    // The desktop is no window.
    for (const Point desktop :
         {Point{50, 50}, Point{server.width() - 1.0, server.height() - 1.0}, Point{600, 150}}) {
        const auto hit = accessibility->elementAtPosition(desktop);
        EXPECT_EQ(hit.status, AccessibilityStatus::noValue);
        EXPECT_FALSE(hit.element);
    }
}

TEST_F(X11AccessibilityTest, ClosedWindowAnswersNothingAndItsIdStaysRetired) {
    const auto logo = launch({"xlogo"});
    const auto element = accessibility->windowElement(logo.window);
    ASSERT_TRUE(windowFrame(*accessibility, element));
    ::kill(logo.pid, SIGTERM);
    ASSERT_TRUE(server.waitUntil([&] {
        const auto clients = server.clientList();
        return std::find(clients.begin(), clients.end(), logo.window) == clients.end();
    }));
    EXPECT_EQ(accessibility->copyAttribute(element, ax::position).status,
              AccessibilityStatus::invalidElement);
    EXPECT_EQ(accessibility->setAttribute(element, ax::position, Point{10, 10}),
              AccessibilityStatus::invalidElement);
    EXPECT_EQ(accessibility->performAction(element, ax::raiseAction),
              AccessibilityStatus::invalidElement);
    EXPECT_EQ(accessibility->processId(element), std::nullopt);
    EXPECT_NE(accessibility->windowElement(launch({"xlogo"}).window), element);

    // The server gives a freed XID out again; a window made under the old one's XID is a new
    // window with a new element, and the old element stays dead.
    xcb_connection_t* xcb = server.connection();
    const XWindow reused = xcb_generate_id(xcb);
    const auto create = [&] {
        const std::uint32_t white = 0xffffff;
        xcb_create_window(xcb, XCB_COPY_FROM_PARENT, reused, server.root(), 0, 0, 200, 150, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL,
                          &white);
        xcb_map_window(xcb, reused);
        xcb_flush(xcb);
        ASSERT_TRUE(server.waitUntil([&] { return server.frameExtents(reused).size() == 4; }));
    };
    create();
    const auto first = accessibility->windowElement(reused);
    EXPECT_EQ(accessibility->processId(first), ::getpid());
    xcb_destroy_window(xcb, reused);
    xcb_flush(xcb);
    ASSERT_TRUE(server.waitUntil([&] {
        const auto clients = server.clientList();
        return std::find(clients.begin(), clients.end(), reused) == clients.end();
    }));
    create();
    // No events were dispatched meanwhile: the port notices the destruction by itself.
    const auto second = accessibility->windowElement(reused);
    EXPECT_NE(second, first);
    EXPECT_NE(second, element);
    EXPECT_EQ(accessibility->copyAttribute(first, ax::size).status,
              AccessibilityStatus::invalidElement);
    EXPECT_TRUE(windowFrame(*accessibility, second));
    connection->dispatchPending();
    EXPECT_EQ(accessibility->windowElement(reused), second);
    EXPECT_TRUE(windowFrame(*accessibility, second));
    EXPECT_EQ(accessibility->copyAttribute(first, ax::size).status,
              AccessibilityStatus::invalidElement);
}

} // namespace
