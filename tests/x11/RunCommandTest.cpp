// `tesseractl run` as a process on a private X server, and the Linux pieces it is made of: the
// log on standard error, the overlay that logs instead of drawing, and the relaunch.

#include "XServerFixture.h"

#include "core/drag/OverlayModels.h"
#include "core/hotkeys/KeyCombos.h"
#include "core/model/Uuid.h"
#include "core/placement/CommandShortcuts.h"
#include "platform/linux/LinuxAppServices.h"
#include "platform/linux/LogOverlaySurface.h"
#include "platform/linux/PlistDefaults.h"
#include "platform/linux/StderrLog.h"
#include "platform/linux/XdgFolders.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimLocalizer.h"
#include "platform/sim/SimLog.h"

#include "../unit/TempDir.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessera::x11test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// A folder of its own for one test, removed at the end.
using Folder = test::TempDir;

// The environment of a tesseractl whose user lives in the folder.
std::vector<std::string> userEnvironment(const fs::path& home) {
    return {"HOME=" + home.string(), "XDG_CONFIG_HOME=" + (home / ".config").string(),
            "XDG_DATA_HOME=" + (home / ".local/share").string(), "LANG=C"};
}

// The Xvfb this test process started for the server: its child named Xvfb. Tests run one at a
// time within a process, so there is exactly one.
pid_t xvfbChild() {
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const auto name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        // "pid (comm) state ppid ..."
        const auto stat = readFile(entry.path() / "stat");
        const auto close = stat.rfind(')');
        const auto open = stat.find('(');
        if (close == std::string::npos || open == std::string::npos) {
            continue;
        }
        std::istringstream rest(stat.substr(close + 2));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == ::getpid() && stat.substr(open + 1, close - open - 1) == "Xvfb") {
            return static_cast<pid_t>(std::stoi(name));
        }
    }
    return -1;
}

// --- The process ---

TEST(RunCommand, PrintsReadyAndEndsCleanlyOnInterruptAndTermination) {
    XServer server;
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal == SIGINT ? "SIGINT" : "SIGTERM");
        TesseraRun run(server);
        EXPECT_EQ(linesOf(run.process().output()).front(), "ready");
        EXPECT_EQ(run.process().stop(signal), 0);
        EXPECT_EQ(run.process().errorOutput(), "");
    }
}

TEST(RunCommand, RefusesToStartWithoutADisplayOrWithBadArguments) {
    Folder home;
    {
        // ChildProcess never passes the tests' own DISPLAY on; nor a Wayland session here.
        auto environment = userEnvironment(home.path());
        environment.emplace_back("WAYLAND_DISPLAY");
        ChildProcess run({tesseractlPath(), "run"}, environment);
        EXPECT_EQ(run.waitForExit(), 1);
        EXPECT_EQ(run.errorOutput(),
                  "tesseractl: no supported desktop found — run it in an X11 session (DISPLAY) or "
                  "in KDE Plasma on Wayland (KWin on the session bus), or choose one with "
                  "--platform x11|kwin\n");
        EXPECT_EQ(run.output(), "");
        ChildProcess x11({tesseractlPath(), "run", "--platform", "x11"}, environment);
        EXPECT_EQ(x11.waitForExit(), 1);
        EXPECT_EQ(x11.errorOutput(), "tesseractl: no X display — set DISPLAY or pass --display\n");
    }
    {
        // A display nobody serves: the reason names it.
        ChildProcess run({tesseractlPath(), "run", "--display", ":65000"},
                         userEnvironment(home.path()));
        EXPECT_EQ(run.waitForExit(), 1);
        EXPECT_NE(run.errorOutput().find("\":65000\""), std::string::npos) << run.errorOutput();
    }
    for (const auto& arguments :
         std::vector<std::vector<std::string>>{{"run", "--display"},
                                               {"run", "--displays", ":0"},
                                               {"run", "extra"},
                                               {"run", "--platform", "wayland"}}) {
        auto argv = arguments;
        argv.insert(argv.begin(), tesseractlPath());
        ChildProcess run(argv, userEnvironment(home.path()));
        EXPECT_EQ(run.waitForExit(), 2) << arguments.back();
        EXPECT_NE(run.errorOutput().find("Usage: tesseractl run"), std::string::npos);
    }
    // Nothing was written for a run that never started.
    EXPECT_FALSE(fs::exists(home.path() / ".local/share/Tessera"));
}

TEST(RunCommand, AnswersEverySyncInTheOrderAsked) {
    XServer server;
    TesseraRun run(server);
    for (int i = 0; i < 5; ++i) {
        run.sync();
    }
    EXPECT_EQ(
        linesOf(run.process().output()),
        (std::vector<std::string>{"ready", "sync 1", "sync 2", "sync 3", "sync 4", "sync 5"}));
    // A property of another name, or on another window, is not a sync.
    const std::uint32_t value = 77;
    xcb_change_property(server.connection(), XCB_PROP_MODE_REPLACE, server.root(),
                        server.atom("_TESSERA_SYNCED"), XCB_ATOM_CARDINAL, 32, 1, &value);
    run.sync();
    EXPECT_EQ(linesOf(run.process().output()).back(), "sync 6");
    EXPECT_EQ(linesOf(run.process().output()).size(), 7u);
}

TEST(RunCommand, EndsWithFailureWhenTheServerGoes) {
    XServer server;
    TesseraRun run(server);
    run.sync();
    const pid_t xvfb = xvfbChild();
    ASSERT_GT(xvfb, 0);
    // Not reaped here: the server object reaps it when it ends.
    ASSERT_EQ(::kill(xvfb, SIGKILL), 0);
    EXPECT_EQ(run.process().waitForExit(20), 1);
    const auto errors = run.process().errorOutput();
    EXPECT_NE(errors.find("tesseractl: lost the connection to the X display " + server.display()),
              std::string::npos)
        << errors;
}

TEST(RunCommand, LeavesTheLayoutsAsTheyWereOnExit) {
    XServer server;
    TesseraRun run(server);
    const auto file = fs::path(run.home()) / ".local/share/Tessera/layouts.json";
    ASSERT_TRUE(fs::exists(file));
    const auto before = readFile(file);
    struct stat beforeStatus {};
    ASSERT_EQ(::stat(file.c_str(), &beforeStatus), 0);

    EXPECT_EQ(run.process().stop(SIGTERM), 0);
    struct stat afterStatus {};
    ASSERT_EQ(::stat(file.c_str(), &afterStatus), 0);
    // Same bytes and the same file: an atomic rewrite would have replaced the inode.
    EXPECT_EQ(readFile(file), before);
    EXPECT_EQ(afterStatus.st_ino, beforeStatus.st_ino);
    EXPECT_EQ(afterStatus.st_mtim.tv_sec, beforeStatus.st_mtim.tv_sec);
    EXPECT_EQ(afterStatus.st_mtim.tv_nsec, beforeStatus.st_mtim.tv_nsec);
}

TEST(RunCommand, KeepsACopyOfUnreadableFilesAndStillRuns) {
    XServer server;
    Folder home;
    const auto layouts = home.path() / ".local/share/Tessera/layouts.json";
    const auto preferences = home.path() / ".config/Tessera/preferences.plist";
    fs::create_directories(layouts.parent_path());
    fs::create_directories(preferences.parent_path());
    std::ofstream(layouts) << "{ not json";
    std::ofstream(preferences) << "<plist><dict><key>broken";

    auto environment = userEnvironment(home.path());
    environment.push_back("DISPLAY=" + server.display());
    ChildProcess run({tesseractlPath(), "run"}, environment);
    ASSERT_TRUE(run.waitForLine("ready", 30)) << run.errorOutput();
    EXPECT_EQ(run.stop(SIGTERM), 0);

    const auto errors = run.errorOutput();
    EXPECT_NE(errors.find(layouts.string() + " could not be read"), std::string::npos) << errors;
    EXPECT_NE(errors.find(preferences.string()), std::string::npos) << errors;
    // The bytes of both are kept beside them.
    bool keptLayouts = false;
    bool keptPreferences = false;
    for (const auto& folder : {layouts.parent_path(), preferences.parent_path()}) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            const auto name = entry.path().filename().string();
            if (name.starts_with("layouts.json.unreadable")) {
                keptLayouts = readFile(entry.path()) == "{ not json";
            }
            if (name.starts_with("preferences.plist.unreadable")) {
                keptPreferences = readFile(entry.path()) == "<plist><dict><key>broken";
            }
        }
    }
    EXPECT_TRUE(keptLayouts);
    EXPECT_TRUE(keptPreferences);
}

// --- Shortcuts another application holds ---

// Another client that takes key combinations on the root window, as a desktop's own shortcut
// daemon does, and keeps them until it ends.
class KeyGrabber {
public:
    explicit KeyGrabber(const XServer& server)
        : connection_(xcb_connect(server.display().c_str(), nullptr), xcb_disconnect) {
        if (xcb_connection_has_error(connection_.get())) {
            throw std::runtime_error("cannot open a second connection");
        }
    }

    void grab(xcb_keysym_t keysym, std::uint16_t modifiers) {
        auto* xcb = connection_.get();
        const auto root = xcb_setup_roots_iterator(xcb_get_setup(xcb)).data->root;
        std::unique_ptr<xcb_key_symbols_t, void (*)(xcb_key_symbols_t*)> symbols(
            xcb_key_symbols_alloc(xcb), xcb_key_symbols_free);
        std::unique_ptr<xcb_keycode_t, void (*)(void*)> codes(
            xcb_key_symbols_get_keycode(symbols.get(), keysym), std::free);
        if (!codes || *codes == XCB_NO_SYMBOL) {
            throw std::runtime_error("no keycode for the key to grab");
        }
        std::unique_ptr<xcb_generic_error_t, void (*)(void*)> error(
            xcb_request_check(xcb, xcb_grab_key_checked(xcb, 1, root, modifiers, *codes,
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)),
            std::free);
        if (error) {
            throw std::runtime_error("the test could not grab the key itself");
        }
    }

private:
    std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> connection_;
};

TEST(RunCommandShortcuts, NamesEveryShortcutAnotherApplicationHoldsOnce) {
    XServer server;
    const auto english = makeSimLocalizer("en");
    KeyGrabber other(server);
    // Zone to the Left and Previous Display by default.
    other.grab(XK_Left, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
    other.grab(XK_Left, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4);
    // Zone to the Right on Zone Above's keys: Zone Above can't have them, but Tessera holds
    // them itself, which is no other application's doing.
    SimDefaults preferences;
    const auto zoneAboveKeys = defaultShortcut(WindowCommand::zoneUp, english);
    ASSERT_TRUE(setShortcut(WindowCommand::zoneRight, zoneAboveKeys, preferences));

    TesseraRun run(server, encodePreferences(preferences.persistentDomain()));
    run.sync();
    const auto errors = run.process().errorOutput();
    std::vector<std::string> reported;
    for (const auto& line : linesOf(errors)) {
        if (line.starts_with("tesseractl: ")) {
            reported.push_back(line);
        }
    }
    const auto conflict = [&](WindowCommand command) {
        return "tesseractl: " + linuxShortcutText(defaultShortcut(command, english), english) +
               " is taken by another application; that shortcut does nothing until it is free";
    };
    // Starting registers every shortcut twice (the second time once the permissions have been
    // handed on); each held one is still named once.
    EXPECT_EQ(reported, (std::vector<std::string>{conflict(WindowCommand::zoneLeft),
                                                  conflict(WindowCommand::previousDisplay)}))
        << errors;
    EXPECT_EQ(errors.find(linuxShortcutText(zoneAboveKeys, english)), std::string::npos) << errors;
}

// --- The log ---

TEST(RunCommandLog, WritesOneLabelledLinePerMessageAndDebugOnlyWhenVerbose) {
    std::ostringstream quiet;
    StderrLog quietLog(quiet, false);
    quietLog.write("drag", LogLevel::debug, "mouse down");
    quietLog.write("drag", LogLevel::error, "event tap not created");
    quietLog.write("overlay", LogLevel::info, "two\nlines");
    EXPECT_EQ(quiet.str(), "tessera[drag] error: event tap not created\n"
                           "tessera[overlay] info: two lines\n");

    std::ostringstream verbose;
    StderrLog verboseLog(verbose, true);
    verboseLog.write("drag", LogLevel::debug, "mouse down");
    EXPECT_EQ(verbose.str(), "tessera[drag] debug: mouse down\n");
}

// --- The overlay that logs ---

struct OverlayFixture {
    Uuid left = Uuid::random();
    Uuid right = Uuid::random();
    SimLog log;
    SimDefaults defaults;
    LogOverlaySurfaceFactory factory{log, defaults};
    std::shared_ptr<OverlayState> state;

    OverlayFixture() {
        OverlayScreenModel screen;
        screen.id = "1920x1080 Test";
        screen.screenFrame = Rect(0, 0, 1920, 1080);
        // A 30-point panel along the top: the free area starts 30 points down in the view.
        screen.visibleFrame = Rect(0, 0, 1920, 1050);
        screen.zones = {{left, "Left \"main\"", Rect(0, 0, 0.5, 1)},
                        {right, "Right", Rect(0.5, 0, 0.5, 1)}};
        state = std::make_shared<OverlayState>(std::move(screen));
    }
};

TEST(RunCommandOverlay, LogsWhatItWouldShowOnlyWhileOnScreen) {
    OverlayFixture f;
    auto surface = f.factory.makeSurface(Rect(0, 0, 1920, 1080), f.state);
    f.state->setHoveredID(f.right);
    EXPECT_TRUE(f.log.lines().empty());

    surface->orderFront();
    surface->orderFront();
    f.state->setVisible(true);
    f.state->setHoveredID(f.left);
    surface->orderOut();
    f.state->setHoveredID(std::nullopt);
    surface->orderOut();

    // Each zone is half of the 1920 × 1050 free area below the panel; its card is the core's
    // card size for 960 × 1050 (260 × 110), centred.
    const std::string leftCard = "\"Left \\\"main\\\"\" zone (0, 30, 960, 1050) card (350, 500, "
                                 "260, 110)";
    const std::string rightCard = "\"Right\" zone (960, 30, 960, 1050) card (1310, 500, 260, 110)";
    const std::string display = "display \"1920x1080 Test\" (0, 0, 1920, 1080)";
    const std::vector<LogLine> expected = {
        {"overlay", LogLevel::info,
         "on screen: " + display + " hidden: " + leftCard + "; " + rightCard + " [highlighted]"},
        {"overlay", LogLevel::info,
         "changed: " + display + " visible: " + leftCard + "; " + rightCard + " [highlighted]"},
        {"overlay", LogLevel::info,
         "changed: " + display + " visible: " + leftCard + " [highlighted]; " + rightCard},
        {"overlay", LogLevel::info,
         "off screen: " + display + " visible: " + leftCard + " [highlighted]; " + rightCard},
    };
    EXPECT_EQ(f.log.lines(), expected);
}

TEST(RunCommandOverlay, FollowsItsFrameAndTheCardScale) {
    OverlayFixture f;
    f.defaults.set("cardScale", std::int64_t{60});
    auto surface = f.factory.makeSurface(Rect(0, 0, 1920, 1080), f.state);
    surface->setFrame(Rect(1920, 0, 1920, 1080));
    EXPECT_EQ(surface->frame(), Rect(1920, 0, 1920, 1080));
    surface->orderFront();
    ASSERT_EQ(f.log.lines().size(), 1u);
    // 60 percent of 260 × 110.
    EXPECT_NE(f.log.lines()[0].message.find("(1920, 0, 1920, 1080)"), std::string::npos);
    EXPECT_NE(f.log.lines()[0].message.find("card (402, 522, 156, 66)"), std::string::npos)
        << f.log.lines()[0].message;
}

// --- Relaunch ---

LinuxAppServices appServices(std::vector<std::string> commandLine, int& quits) {
    return LinuxAppServices("1.2", xdgUserFolders(), std::move(commandLine),
                            {[&quits] { ++quits; }, {}});
}

TEST(RunCommandRelaunch, DescribesTheProcess) {
    int quits = 0;
    int shown = 0;
    LinuxAppServices services("1.2", xdgUserFolders(), {"tesseractl"},
                              {[&quits] { ++quits; }, [&shown] { ++shown; }});
    EXPECT_EQ(services.bundleIdentifier(), "app.tessera.Tessera");
    EXPECT_EQ(services.shortVersionString(), "1.2");
    EXPECT_EQ(services.processIdentifier(), ::getpid());
    EXPECT_EQ(services.userFolders().preferences, xdgUserFolders().preferences);
    services.showMainWindow();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(quits, 0);
}

TEST(RunCommandRelaunch, StaysWhenTheProgramCannotBeFound) {
    int quits = 0;
    auto services = appServices({"tessera-no-such-program"}, quits);
    services.relaunch();
    EXPECT_EQ(quits, 0);
    EXPECT_NE(services.lastError().find("tessera-no-such-program"), std::string::npos);
}

// The process state letter and the executable of a process, from /proc.
std::pair<char, fs::path> processState(pid_t pid) {
    const auto stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    std::error_code ec;
    const auto exe = fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec);
    return {close == std::string::npos || close + 2 >= stat.size() ? '?' : stat[close + 2], exe};
}

TEST(RunCommandRelaunch, StartsTheSameCommandLineOnceThisProcessHasEnded) {
    // The relaunched command reports on this pipe, which it inherits.
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    int toHelper[2];
    int fromHelper[2];
    ASSERT_EQ(::pipe2(toHelper, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(fromHelper, O_CLOEXEC), 0);
    const std::string script = "echo \"relaunched $1\" >&" + std::to_string(report[1]);

    const pid_t helper = ::fork();
    ASSERT_GE(helper, 0);
    if (helper == 0) {
        // The process that relaunches: it asks for a relaunch twice, says how often it was told
        // to quit, then lives on until the test lets it end.
        ::close(report[0]);
        ::close(toHelper[1]);
        ::close(fromHelper[0]);
        int quits = 0;
        auto services = appServices({"sh", "-c", script, "sh", "with one argument"}, quits);
        services.relaunch();
        services.relaunch();
        const char told = static_cast<char>('0' + quits);
        (void)!::write(fromHelper[1], &told, 1);
        char ignored = 0;
        (void)!::read(toHelper[0], &ignored, 1);
        ::_exit(0);
    }
    ::close(report[1]);
    ::close(toHelper[0]);
    ::close(fromHelper[1]);

    char told = 0;
    ASSERT_EQ(::read(fromHelper[0], &told, 1), 1);
    EXPECT_EQ(told, '1');

    // The relaunched process exists and sits waiting, still this program and not the shell,
    // and has said nothing while the helper lives.
    const auto self = fs::read_symlink("/proc/self/exe");
    std::vector<pid_t> children;
    bool waiting = false;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!waiting && Clock::now() < deadline) {
        std::istringstream list(readFile("/proc/" + std::to_string(helper) + "/task/" +
                                         std::to_string(helper) + "/children"));
        children.clear();
        for (pid_t pid = 0; list >> pid;) {
            children.push_back(pid);
        }
        if (children.size() == 1) {
            const auto [state, exe] = processState(children.front());
            waiting = state == 'S' && exe == self;
        }
        pollfd early{report[0], POLLIN, 0};
        ASSERT_EQ(::poll(&early, 1, 20), 0) << "the relaunched command ran before the end";
    }
    EXPECT_TRUE(waiting);
    EXPECT_EQ(children.size(), 1u);

    // The helper ends; the command runs with its arguments as they were.
    ::close(toHelper[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(helper, &status, 0), helper);
    ::close(fromHelper[0]);
    std::string said;
    while (said.find('\n') == std::string::npos) {
        pollfd line{report[0], POLLIN, 0};
        ASSERT_EQ(::poll(&line, 1, 10000), 1) << "the relaunched command never ran";
        char buffer[256];
        const auto count = ::read(report[0], buffer, sizeof buffer);
        ASSERT_GT(count, 0);
        said.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(report[0]);
    EXPECT_EQ(said, "relaunched with one argument\n");
}

} // namespace
} // namespace tessera::x11test
