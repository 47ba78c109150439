// Running applications and the desktop's services on a private X server with openbox, xterm
// (sets _NET_WM_PID), xlogo (doesn't) and windows the test makes itself to play other kinds of
// clients (docks, desktops, a process with two windows).

#include "PortTest.h"

#include "../unit/TempDir.h"

#include "platform/sim/SimLog.h"
#include "platform/x11/X11Workspace.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>
#include <sstream>

using namespace tessera;
using tessera::x11test::XServer;
namespace fs = std::filesystem;

namespace {

class X11WorkspaceTest : public tessera::x11test::PortTest {
protected:
    std::unique_ptr<X11Workspace> makeWorkspace() {
        return std::make_unique<X11Workspace>(*windows, log, std::vector<fs::path>{applications});
    }

    void writeEntry(const std::string& fileName, const std::string& body) {
        test::writeTestFile(applications / fileName, "[Desktop Entry]\nType=Application\n" + body);
    }

    // A window that claims to belong to the process.
    XWindow makeWindow(pid_t owner, const Rect& frame, std::string_view type = {}) {
        return server.makeWindow(frame, type,
                                 {{"_NET_WM_PID", {static_cast<std::uint32_t>(owner)}}});
    }

    test::TempDir temp{"tessera-workspace"};
    fs::path applications = temp / "applications";
    std::unique_ptr<X11Windows> windows = std::make_unique<X11Windows>(*connection);
};

TEST_F(X11WorkspaceTest, ApplicationsAreNamedActivatedAndListedFrontToBack) {
    writeEntry("tessera-test-terminal.desktop", "Name=Test Terminal\nStartupWMClass=XTerm\n");
    const auto terminal = server.launch({"xterm"});
    const auto logo = server.launch({"xlogo"});
    server.activate(logo.window);
    const auto workspace = makeWorkspace();

    // Named by their desktop entry, else by their class.
    const auto xterm = workspace->runningApplication(terminal.pid);
    ASSERT_TRUE(xterm);
    EXPECT_EQ(xterm->processIdentifier, terminal.pid);
    EXPECT_EQ(xterm->bundleIdentifier, "tessera-test-terminal");
    EXPECT_EQ(xterm->localizedName, "Test Terminal");
    EXPECT_EQ(xterm->activationPolicy, ActivationPolicy::regular);
    const auto xlogo = workspace->runningApplication(logo.pid);
    ASSERT_TRUE(xlogo);
    EXPECT_EQ(xlogo->bundleIdentifier, "XLogo");
    EXPECT_EQ(xlogo->localizedName, "XLogo");
    EXPECT_EQ(xlogo->activationPolicy, ActivationPolicy::regular);
    // An entry whose file name is the class, without StartupWMClass, names it as well.
    writeEntry("xlogo.desktop", "Name=Logo\n");
    const auto named = makeWorkspace()->runningApplication(logo.pid);
    ASSERT_TRUE(named);
    EXPECT_EQ(named->bundleIdentifier, "xlogo");
    EXPECT_EQ(named->localizedName, "Logo");

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

    // A dock, a window kept above the others, and a desktop, which is no window on screen.
    const auto dock = makeWindow(::getpid(), {0, 1040, 1920, 40}, "_NET_WM_WINDOW_TYPE_DOCK");
    makeWindow(::getpid(), {0, 0, 1920, 1080}, "_NET_WM_WINDOW_TYPE_DESKTOP");
    server.requestState(second, true, "_NET_WM_STATE_ABOVE");
    ASSERT_TRUE(server.waitUntil([&] { return server.hasState(second, "_NET_WM_STATE_ABOVE"); }));
    std::vector<WindowListEntry> ours;
    for (const auto& entry : workspace->onScreenWindows()) {
        if (entry.ownerPID == ::getpid()) {
            ours.push_back(entry);
        }
    }
    std::sort(ours.begin(), ours.end(),
              [](const auto& a, const auto& b) { return a.layer < b.layer; });
    EXPECT_EQ(ours, (std::vector<WindowListEntry>{
                        {::getpid(), X11Workspace::normalLayer, *server.outerFrame(first)},
                        {::getpid(), X11Workspace::floatingLayer, *server.outerFrame(second)},
                        {::getpid(), X11Workspace::dockLayer, *server.outerFrame(dock)}}));
}

TEST_F(X11WorkspaceTest, ProcessesWithoutOrdinaryWindowsAreAccessoriesAndEndedOnesAreGone) {
    const auto workspace = makeWorkspace();
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

    const auto logo = server.launch({"xlogo"});
    ASSERT_TRUE(workspace->runningApplication(logo.pid));
    ASSERT_EQ(::kill(logo.pid, SIGKILL), 0);
    // Ended but not yet collected: still in the process table, yet no application.
    ASSERT_TRUE(server.waitUntil([&] { return !workspace->runningApplication(logo.pid); }));
    ASSERT_EQ(::waitpid(logo.pid, nullptr, 0), logo.pid);
    EXPECT_FALSE(workspace->runningApplication(logo.pid));
    EXPECT_FALSE(workspace->runningApplication(0));
    EXPECT_FALSE(workspace->runningApplication(-5));
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
