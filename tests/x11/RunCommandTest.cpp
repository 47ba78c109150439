// `tesseractl run` as a process on a private X server, and the Linux pieces it is made of: the
// log on standard error and the relaunch; and tesseractl place, command, assign and displays
// against it on a private session bus. (The overlay that logs is read by the drag stories.)

#include "XServerFixture.h"

#include "../unit/TempDir.h"

#include "platform/linux/LinuxAppServices.h"
#include "platform/linux/StderrLog.h"
#include "platform/linux/XdgFolders.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace tessera::x11test {
namespace {

namespace fs = std::filesystem;
using test::readTestFile;

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The environment of a tesseractl whose user lives in the folder.
std::vector<std::string> userEnvironment(const fs::path& home) {
    return {"HOME=" + home.string(), "XDG_CONFIG_HOME=" + (home / ".config").string(),
            "XDG_DATA_HOME=" + (home / ".local/share").string(), "LANG=C"};
}

// --- The process ---

TEST(RunCommand, AnswersSyncsEndsOnASignalOrWithFailureWhenTheServerGoesAndKeepsUnreadableFiles) {
    auto server = std::make_unique<XServer>();
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal == SIGINT ? "SIGINT" : "SIGTERM");
        TesseraRun run(*server);
        const auto file = fs::path(run.home()) / ".local/share/Tessera/layouts.json";
        const auto before = readTestFile(file);
        struct stat beforeStatus {};
        ASSERT_EQ(::stat(file.c_str(), &beforeStatus), 0);
        run.sync();
        run.sync();
        EXPECT_EQ(linesOf(run.process().output()),
                  (std::vector<std::string>{"ready", "sync 1", "sync 2"}));

        EXPECT_EQ(run.process().stop(signal), 0);
        EXPECT_EQ(run.process().errorOutput(), "");
        // Same bytes and the same file: an atomic rewrite would have replaced the inode.
        struct stat afterStatus {};
        ASSERT_EQ(::stat(file.c_str(), &afterStatus), 0);
        EXPECT_EQ(readTestFile(file), before);
        EXPECT_EQ(afterStatus.st_ino, beforeStatus.st_ino);
        EXPECT_EQ(afterStatus.st_mtim.tv_nsec, beforeStatus.st_mtim.tv_nsec);
    }

    // Unreadable files are named and kept beside themselves, and tesseractl runs all the same.
    test::TempDir data;
    const auto layouts = data / "Tessera/layouts.json";
    test::writeTestFile(layouts, "{ not json");
    TesseraRun run(*server, "<plist><dict><key>broken", {"XDG_DATA_HOME=" + data.path().string()});
    const auto preferences = fs::path(run.home()) / ".config/Tessera/preferences.plist";
    const auto display = server->display();
    server.reset();
    EXPECT_EQ(run.process().waitForExit(20), 1);
    const auto errors = run.process().errorOutput();
    EXPECT_NE(errors.find("tesseractl: lost the connection to the X display " + display),
              std::string::npos)
        << errors;
    EXPECT_NE(errors.find(layouts.string() + " could not be read"), std::string::npos) << errors;
    EXPECT_NE(errors.find(preferences.string()), std::string::npos) << errors;
    for (const auto& [file, bytes] :
         {std::pair{layouts, "{ not json"}, {preferences, "<plist><dict><key>broken"}}) {
        bool kept = false;
        for (const auto& entry : fs::directory_iterator(file.parent_path())) {
            kept = kept || (entry.path().filename().string().starts_with(file.filename().string() +
                                                                         ".unreadable") &&
                            readTestFile(entry.path()) == bytes);
        }
        EXPECT_TRUE(kept) << file;
    }
}

TEST(RunCommand, RefusesToStartWithoutADisplayOrWithBadArguments) {
    test::TempDir home;
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
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"run", "--display"}, {"run", "--displays", ":0"}, {"run", "--platform", "wayland"}}) {
        auto argv = arguments;
        argv.insert(argv.begin(), tesseractlPath());
        ChildProcess run(argv, userEnvironment(home.path()));
        EXPECT_EQ(run.waitForExit(), 2) << arguments.back();
        EXPECT_NE(run.errorOutput().find("Usage: tesseractl run"), std::string::npos);
    }
    // Nothing was written for a run that never started.
    EXPECT_FALSE(fs::exists(home.path() / ".local/share/Tessera"));
}

// --- The log ---

TEST(RunCommandLog, WritesOneLabelledLinePerMessageAndDebugOnlyWhenVerbose) {
    for (const bool verbose : {false, true}) {
        std::ostringstream out;
        StderrLog log(out, verbose);
        log.write("drag", LogLevel::debug, "mouse down");
        log.write("overlay", LogLevel::info, "two\nlines");
        EXPECT_EQ(out.str(), std::string(verbose ? "tessera[drag] debug: mouse down\n" : "") +
                                 "tessera[overlay] info: two lines\n");
    }
}

// --- Relaunch ---

TEST(RunCommandRelaunch, StartsTheSameCommandLineOnceThisProcessHasEndedAndStaysWithoutIt) {
    int quits = 0;
    LinuxAppServices missing("1.2", xdgUserFolders(), {"tessera-no-such-program"},
                             {[&quits] { ++quits; }, {}});
    // The identifier names the folders earlier versions kept their preferences in.
    EXPECT_EQ(missing.bundleIdentifier(), "app.tessera.Tessera");
    missing.relaunch();
    EXPECT_EQ(quits, 0);
    EXPECT_NE(missing.lastError().find("tessera-no-such-program"), std::string::npos);

    // The relaunched command reports on this pipe, which it inherits; the process that
    // relaunches asks twice, says how often it was told to quit, then lives on until the test
    // lets it end.
    std::array<int, 2> report{};
    std::array<int, 2> toHelper{};
    std::array<int, 2> fromHelper{};
    ASSERT_EQ(::pipe(report.data()), 0);
    ASSERT_EQ(::pipe2(toHelper.data(), O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(fromHelper.data(), O_CLOEXEC), 0);
    const std::string script = "echo \"relaunched $1\" >&" + std::to_string(report[1]);
    const pid_t helper = ::fork();
    ASSERT_GE(helper, 0);
    if (helper == 0) {
        ::close(report[0]);
        ::close(toHelper[1]);
        ::close(fromHelper[0]);
        LinuxAppServices services("1.2", xdgUserFolders(),
                                  {"sh", "-c", script, "sh", "with one argument"},
                                  {[&quits] { ++quits; }, {}});
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

    // The relaunched process waits, still this program and not the shell, and says nothing
    // while the helper lives.
    const auto self = fs::read_symlink("/proc/self/exe");
    const auto children =
        "/proc/" + std::to_string(helper) + "/task/" + std::to_string(helper) + "/children";
    EXPECT_TRUE(waitFor([&] {
        std::istringstream list(readTestFile(children));
        pid_t child = 0;
        pid_t more = 0;
        if (!(list >> child) || (list >> more)) {
            return false;
        }
        std::error_code ec;
        const auto stat = readTestFile("/proc/" + std::to_string(child) + "/stat");
        const auto close = stat.rfind(')');
        return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'S' &&
               fs::read_symlink("/proc/" + std::to_string(child) + "/exe", ec) == self;
    }));
    pollfd early{report[0], POLLIN, 0};
    EXPECT_EQ(::poll(&early, 1, 0), 0) << "the relaunched command ran before the end";

    // The helper ends; the command runs with its arguments as they were.
    ::close(toHelper[1]);
    ASSERT_EQ(::waitpid(helper, nullptr, 0), helper);
    ::close(fromHelper[0]);
    std::string said;
    EXPECT_TRUE(waitFor([&] {
        std::array<char, 256> buffer{};
        pollfd line{report[0], POLLIN, 0};
        if (::poll(&line, 1, 0) == 1) {
            const auto count = ::read(report[0], buffer.data(), buffer.size());
            said.append(buffer.data(), static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
        }
        return said.find('\n') != std::string::npos;
    }));
    ::close(report[0]);
    EXPECT_EQ(said, "relaunched with one argument\n");
}

// --- Control over D-Bus: what Tessera reports is where the window lands ---

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
    const auto first = server.launch({"xlogo"}).window;
    const auto second = server.launch({"xlogo"}).window;
    server.activate(second);

    EXPECT_EQ(tesseractl({"assign", "1", "Three Columns"}).status, 0);
    const auto listed = tesseractl({"displays", "--json"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    const auto display = nlohmann::json::parse(listed.out).at("displays").at(0);
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
