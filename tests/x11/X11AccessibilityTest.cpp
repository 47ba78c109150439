// Other applications' windows and processes through the window manager, on a private X server
// with openbox, xterm (sets _NET_WM_PID and size increments), xlogo (neither) and windows the test
// makes itself to play other kinds of clients (docks, desktops, a process with two windows); the
// window model kept from events, which must match the server's own answer without asking it; and
// the desktop's services.

#include "PortTest.h"

#include "../unit/PlacementTestSupport.h"
#include "../unit/TempDir.h"

#include "core/placement/WindowAccess.h"
#include "platform/sim/SimLog.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Workspace.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>
#include <set>
#include <sstream>
#include <variant>

using namespace tessera;
using tessera::x11test::XServer;
namespace fs = std::filesystem;

namespace {

class X11AccessibilityTest : public x11test::PortTest {
protected:
    void addState(XWindow window, std::string_view first, std::string_view second = {}) {
        server.requestState(window, true, first, second);
        ASSERT_TRUE(server.waitUntil([&] {
            return server.hasState(window, first) &&
                   (second.empty() || server.hasState(window, second));
        }));
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

    std::unique_ptr<X11Windows> windows = std::make_unique<X11Windows>(*connection);
    std::unique_ptr<X11Accessibility> accessibility = std::make_unique<X11Accessibility>(*windows);
};

using Elements = std::vector<AccessibilityElement>;

TEST_F(X11AccessibilityTest,
       OneElementPerWindowHoweverReachedRaisingPutsItOnTopAndAClosedOnesIsRetired) {
    const auto terminal = server.launch({"xterm"});
    const auto logo = server.launch({"xlogo"});
    const auto element = accessibility->windowElement(logo.window);
    const auto terminalElement = accessibility->windowElement(terminal.window);
    ASSERT_TRUE(setWindowFrame(*accessibility, terminalElement, {100, 100, 500, 400}));
    ASSERT_TRUE(setWindowFrame(*accessibility, element, {300, 200, 400, 400}));
    server.activate(logo.window);

    // xlogo sets no _NET_WM_PID; the server still knows which process owns its window.
    ASSERT_EQ(accessibility->processId(element), logo.pid);
    const auto application = accessibility->applicationElement(logo.pid);
    EXPECT_EQ(read<AccessibilityElement>(element, ax::parent), application);
    EXPECT_EQ(read<std::string>(element, ax::role), std::string(ax::windowRole));
    EXPECT_EQ(read<AccessibilityElement>(application, ax::focusedWindow), element);
    EXPECT_EQ(read<Elements>(application, ax::windows), Elements{element});

    // xterm is not active: no focused window, but its only window is still its main one.
    EXPECT_EQ(accessibility->processId(terminalElement), terminal.pid);
    const auto terminalApplication = accessibility->applicationElement(terminal.pid);
    EXPECT_NE(terminalApplication, application);
    const auto focused = accessibility->copyAttribute(terminalApplication, ax::focusedWindow);
    EXPECT_EQ(focused.status, AccessibilityStatus::noValue);
    EXPECT_EQ(read<AccessibilityElement>(terminalApplication, ax::mainWindow), terminalElement);
    EXPECT_EQ(windowUnderPoint(*accessibility, {150, 450}), terminalElement);

    // Raising waits for the window manager: the window is active when the call returns, and
    // the window on top is the one under the pointer.
    const Point overlap{400, 300};
    for (const auto& [raised, xwindow] :
         {std::pair(terminalElement, terminal.window), std::pair(element, logo.window),
          std::pair(terminalElement, terminal.window)}) {
        ASSERT_EQ(accessibility->performAction(raised, ax::raiseAction),
                  AccessibilityStatus::success);
        EXPECT_EQ(server.activeWindow(), xwindow);
        EXPECT_EQ(accessibility->elementAtPosition(overlap).element, raised);
    }

    // A minimized window is neither under the pointer nor its application's main window, but
    // still one of its windows; raising brings it back.
    server.sendToRoot(terminal.window, "WM_CHANGE_STATE", {3, 0, 0, 0, 0});
    ASSERT_TRUE(server.waitUntil([&] {
        return !windows->isViewable(terminal.window) && server.activeWindow() != terminal.window;
    }));
    EXPECT_EQ(accessibility->elementAtPosition({150, 150}).status, AccessibilityStatus::noValue);
    EXPECT_EQ(accessibility->elementAtPosition(overlap).element, element);
    EXPECT_EQ(accessibility->copyAttribute(terminalApplication, ax::mainWindow).status,
              AccessibilityStatus::noValue);
    EXPECT_EQ(read<Elements>(terminalApplication, ax::windows), Elements{terminalElement});
    ASSERT_EQ(accessibility->performAction(terminalElement, ax::raiseAction),
              AccessibilityStatus::success);
    EXPECT_EQ(accessibility->elementAtPosition({150, 150}).element, terminalElement);

    // The desktop is no window, up to its last pixel.
    const auto nothing =
        accessibility->elementAtPosition({server.width() - 1.0, server.height() - 1.0});
    EXPECT_EQ(nothing.status, AccessibilityStatus::noValue);
    EXPECT_FALSE(nothing.element);

    // Closed, it answers nothing, and its id stays retired.
    ::kill(logo.pid, SIGTERM);
    ASSERT_TRUE(server.waitUntilGone(logo.window));
    EXPECT_EQ(accessibility->copyAttribute(element, ax::position).status,
              AccessibilityStatus::invalidElement);
    EXPECT_EQ(accessibility->setAttribute(element, ax::position, Point{10, 10}),
              AccessibilityStatus::invalidElement);
    EXPECT_EQ(accessibility->performAction(element, ax::raiseAction),
              AccessibilityStatus::invalidElement);
    EXPECT_EQ(accessibility->processId(element), std::nullopt);
    EXPECT_NE(accessibility->windowElement(server.launch({"xlogo"}).window), element);

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
    ASSERT_TRUE(server.waitUntilGone(reused));
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

TEST_F(X11AccessibilityTest, FramesLandExactlyAlsoOutOfMaximizedAndTheModelFollowsWithoutAsking) {
    const auto logo = server.launch({"xlogo"});
    const auto element = accessibility->windowElement(logo.window);
    // The frame is read back at once, as the mover does: the port waits for the answer. A frame
    // at the origin is no unset position.
    ASSERT_TRUE(setWindowFrame(*accessibility, element, Rect(0, 0, 1920, 1080)));
    EXPECT_EQ(windowFrame(*accessibility, element), Rect(0, 0, 1920, 1080));
    EXPECT_EQ(server.outerFrame(logo.window), Rect(0, 0, 1920, 1080));
    // Position and size alone each leave the other as it is; a size that is no number is
    // refused before it reaches the window manager.
    ASSERT_EQ(accessibility->setAttribute(element, ax::position, Point{100, 150}),
              AccessibilityStatus::success);
    ASSERT_EQ(accessibility->setAttribute(element, ax::size, Size{410, 330}),
              AccessibilityStatus::success);
    EXPECT_EQ(windowFrame(*accessibility, element), Rect(100, 150, 410, 330));
    EXPECT_EQ(accessibility->setAttribute(element, ax::size, Size{std::nan(""), 10}),
              AccessibilityStatus::illegalArgument);
    // A request that changes nothing is answered by nothing; the window keeps its frame.
    EXPECT_EQ(accessibility->moveAndResize(element, {100, 150, 410, 330}),
              AccessibilityStatus::success);
    EXPECT_EQ(windowFrame(*accessibility, element), Rect(100, 150, 410, 330));

    // Maximized, either way or one way only, it is restored first.
    addState(logo.window, "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ");
    const Rect target{200, 150, 400, 300};
    ASSERT_TRUE(setWindowFrame(*accessibility, element, target));
    EXPECT_FALSE(server.hasState(logo.window, "_NET_WM_STATE_MAXIMIZED_VERT"));
    EXPECT_FALSE(server.hasState(logo.window, "_NET_WM_STATE_MAXIMIZED_HORZ"));
    EXPECT_EQ(server.outerFrame(logo.window), target);
    addState(logo.window, "_NET_WM_STATE_MAXIMIZED_VERT");
    ASSERT_EQ(accessibility->setAttribute(element, ax::size, Size{320, 200}),
              AccessibilityStatus::success);
    EXPECT_FALSE(server.hasState(logo.window, "_NET_WM_STATE_MAXIMIZED_VERT"));
    EXPECT_EQ(server.outerFrame(logo.window), Rect(200, 150, 320, 200));

    // The model kept from events follows the window manager without asking.
    const XWindow window = logo.window;
    X11Windows model(*connection);
    ASSERT_EQ(model.outerFrame(window), server.outerFrame(window));
    const auto topLevel = model.topLevelOf(window);
    ASSERT_TRUE(topLevel);
    ASSERT_NE(*topLevel, window) << "openbox frames its clients";

    // Moved and resized by the window manager: once our connection has read the frame's and
    // the client's notifications, the read costs no round trip.
    const Rect asked(400, 300, 250, 150);
    server.moveTo(window, asked);
    connection->sync();
    const auto before = connection->roundTrips();
    const auto moved = model.outerFrame(window);
    EXPECT_EQ(connection->roundTrips(), before);
    EXPECT_EQ(moved, server.outerFrame(window));
    EXPECT_EQ(moved->origin, asked.origin);
    EXPECT_EQ(model.clientFrame(window), server.clientFrame(window));
    EXPECT_TRUE(model.isViewable(window));
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
    EXPECT_EQ(model.gtkFrameExtents(window), (FrameExtents{10, 20, 30, 40}));
    const auto full = *server.outerFrame(window);
    EXPECT_EQ(model.outerFrame(window),
              Rect(full.minX() + 10, full.minY() + 30, full.width() - 30, full.height() - 70));
    for (const auto& absurd : {std::array<std::uint32_t, 4>{200, 100, 0, 0},
                               std::array<std::uint32_t, 4>{0xfffffff0u, 0, 0, 0}}) {
        setShadow(absurd);
        EXPECT_EQ(model.gtkFrameExtents(window), FrameExtents{});
        EXPECT_EQ(model.outerFrame(window), server.outerFrame(window));
    }
}

// --- Running applications and the desktop's services ---

class X11WorkspaceTest : public X11AccessibilityTest {
protected:
    std::unique_ptr<X11Workspace> makeWorkspace() {
        return std::make_unique<X11Workspace>(*windows, log, std::vector<fs::path>{applications});
    }

    void writeEntry(const std::string& fileName, const std::string& body) {
        test::writeTestFile(applications / fileName, "[Desktop Entry]\nType=Application\n" + body);
    }

    XWindow makeWindow(pid_t owner, const Rect& frame, std::string_view type = {}) {
        return server.makeWindow(frame, type,
                                 {{"_NET_WM_PID", {static_cast<std::uint32_t>(owner)}}});
    }

    test::TempDir temp{"tessera-workspace"};
    fs::path applications = temp / "applications";
};

TEST_F(X11WorkspaceTest, ApplicationsAreNamedActivatedListedFrontToBackAndAccessoriesOrGone) {
    writeEntry("tessera-test-terminal.desktop", "Name=Test Terminal\nStartupWMClass=XTerm\n");
    const auto terminal = server.launch({"xterm"});
    const auto logo = server.launch({"xlogo"});
    server.activate(logo.window);
    const auto workspace = makeWorkspace();

    // Named by their desktop entry, else by their class.
    const auto xterm = workspace->runningApplication(terminal.pid);
    ASSERT_TRUE(xterm);
    EXPECT_EQ(xterm->bundleIdentifier, "tessera-test-terminal");
    EXPECT_EQ(xterm->localizedName, "Test Terminal");
    EXPECT_EQ(xterm->activationPolicy, ActivationPolicy::regular);
    const auto xlogo = workspace->runningApplication(logo.pid);
    ASSERT_TRUE(xlogo);
    EXPECT_EQ(xlogo->bundleIdentifier, "XLogo");
    EXPECT_EQ(xlogo->localizedName, "XLogo");
    EXPECT_EQ(xlogo->activationPolicy, ActivationPolicy::regular);

    std::vector<ProcessId> reported;
    const auto subscription =
        workspace->onDidActivateApplication([&](ProcessId pid) { reported.push_back(pid); });
    // The port reads the active window when it hears of a change, so each change is handed
    // over before the next one is made.
    const auto activateAndHandOver = [&](XWindow window) {
        server.activate(window);
        connection->sync();
        connection->dispatchPending();
    };
    const auto ordinary = [&] {
        std::vector<WindowListEntry> entries;
        for (const auto& entry : workspace->onScreenWindows()) {
            if (entry.layer == X11Workspace::normalLayer) {
                entries.push_back(entry);
            }
        }
        return entries;
    };
    const auto terminalFrame = *server.outerFrame(terminal.window);
    const auto logoFrame = *server.outerFrame(logo.window);

    activateAndHandOver(terminal.window);
    EXPECT_EQ(reported, std::vector<ProcessId>{terminal.pid});
    EXPECT_EQ(workspace->frontmostApplication(), terminal.pid);
    EXPECT_EQ(ordinary(), (std::vector<WindowListEntry>{
                              {terminal.pid, X11Workspace::normalLayer, terminalFrame},
                              {logo.pid, X11Workspace::normalLayer, logoFrame}}));
    activateAndHandOver(logo.window);
    EXPECT_EQ(reported.back(), logo.pid) << "xlogo's process comes from the X-Resource extension";
    EXPECT_EQ(workspace->frontmostApplication(), logo.pid);
    EXPECT_EQ(ordinary(), (std::vector<WindowListEntry>{
                              {logo.pid, X11Workspace::normalLayer, logoFrame},
                              {terminal.pid, X11Workspace::normalLayer, terminalFrame}}));

    // Two windows of one process: moving between them is no new activation.
    const auto first = makeWindow(::getpid(), {100, 100, 300, 200});
    const auto second = makeWindow(::getpid(), {500, 100, 300, 200});
    for (const auto window : {first, second, first, terminal.window}) {
        activateAndHandOver(window);
    }
    EXPECT_EQ(reported, (std::vector<ProcessId>{terminal.pid, logo.pid, ::getpid(), terminal.pid}));

    // A dock, a window kept above the others and a desktop are no ordinary windows.
    makeWindow(::getpid(), {0, 1040, 1920, 40}, "_NET_WM_WINDOW_TYPE_DOCK");
    makeWindow(::getpid(), {0, 0, 1920, 1080}, "_NET_WM_WINDOW_TYPE_DESKTOP");
    server.requestState(second, true, "_NET_WM_STATE_ABOVE");
    ASSERT_TRUE(server.waitUntil([&] { return server.hasState(second, "_NET_WM_STATE_ABOVE"); }));
    std::vector<Rect> ours;
    for (const auto& entry : ordinary()) {
        if (entry.ownerPID == ::getpid()) {
            ours.push_back(entry.bounds);
        }
    }
    EXPECT_EQ(ours, std::vector<Rect>{*server.outerFrame(first)});

    // A process without ordinary windows is an accessory; an ended one is gone.
    const auto helper = server.spawn({"sleep", "600"});
    // Until it has started the program, the child still carries this test's name.
    ASSERT_TRUE(server.waitUntil([&] {
        return test::readTestFile("/proc/" + std::to_string(helper) + "/comm") == "sleep\n";
    }));
    const auto windowless = workspace->runningApplication(helper);
    ASSERT_TRUE(windowless);
    EXPECT_EQ(windowless->activationPolicy, ActivationPolicy::accessory);
    EXPECT_EQ(windowless->bundleIdentifier, std::nullopt);
    EXPECT_EQ(windowless->localizedName, "sleep");

    makeWindow(helper, {0, 0, 1920, 30}, "_NET_WM_WINDOW_TYPE_DOCK");
    const auto panel = workspace->runningApplication(helper);
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->activationPolicy, ActivationPolicy::accessory);
    EXPECT_EQ(panel->bundleIdentifier, "TesseraProbe");

    ASSERT_EQ(::kill(logo.pid, SIGKILL), 0);
    // Ended but not yet collected: still in the process table, yet no application.
    ASSERT_TRUE(server.waitUntil([&] { return !workspace->runningApplication(logo.pid); }));
    ASSERT_EQ(::waitpid(logo.pid, nullptr, 0), logo.pid);
    EXPECT_FALSE(workspace->runningApplication(logo.pid));
}

TEST_F(X11WorkspaceTest, OpenerStartsDetachedAndItsAbsenceIsReported) {
    const auto workspace = makeWorkspace();
    const auto record = temp / "opened.txt";
    test::writeTestFile(temp / "bin/xdg-open",
                        "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + record.string() + "'\n");
    fs::permissions(temp / "bin/xdg-open", fs::perms::owner_all);
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", (temp / "nothing").c_str(), 1);
    EXPECT_FALSE(workspace->openURL("https://example.org/")) << "no xdg-open on the PATH";
    ::setenv("PATH", ((temp / "bin").string() + ":" + path).c_str(), 1);
    const auto lines = [&] {
        std::multiset<std::string> found;
        std::istringstream in(test::readTestFile(record));
        for (std::string line; std::getline(in, line);) {
            found.insert(line);
        }
        return found;
    };

    EXPECT_FALSE(workspace->openURL("--help")) << "xdg-open would take it for an option";
    ASSERT_TRUE(workspace->openURL("https://example.org/a b?c=1&d"));
    // A child of this process that has ended uncollected would be a zombie.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), 0) << "the opener runs detached";
    ASSERT_TRUE(server.waitUntil([&] { return !lines().empty(); }));
    EXPECT_EQ(lines(), std::multiset<std::string>{"https://example.org/a b?c=1&d"});

    fs::remove(record);
    const auto documents = temp / "documents";
    EXPECT_TRUE(workspace->revealInFileBrowser(
        {documents / "a.txt", documents / "b.txt", documents / "sub" / "", temp / "other.txt"}));
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), 0);
    ASSERT_TRUE(server.waitUntil([&] { return lines().size() >= 2; }));
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(lines(), (std::multiset<std::string>{documents.string(), temp.path().string()}))
        << "each containing folder opens once";
}

} // namespace
