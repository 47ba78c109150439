#pragma once

#include "core/model/Geometry.h"

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct xcb_connection_t;

namespace tessera::x11test {

using XWindow = std::uint32_t;
class ChildProcess;

struct Monitor {
    std::string name;
    // In the X screen's pixels, top-left origin.
    Rect frame;
};

struct ServerOptions {
    int width = 1920;
    int height = 1080;
    // A window manager (by default openbox with this folder's test configuration: no key
    // bindings, no Alt-drag); which one is the Desktop's choice.
    bool windowManager = true;
    // Monitors made by splitting the screen with `xrandr --setmonitor`; one monitor covering
    // the screen when empty.
    std::vector<Monitor> monitors;
};

// The window managers the end-to-end tests run under, each as a user finds it after installing
// it (its stock configuration), except the first.
enum class WindowManager {
    // openbox with this folder's test configuration.
    openboxTest,
    openbox,
    xfwm4,
    metacity,
    fluxbox,
    icewm,
    kwin,
};

std::string_view nameOf(WindowManager windowManager);

struct Desktop {
    WindowManager windowManager = WindowManager::openboxTest;
    // The window manager's own compositor; picom beside openbox, which has none.
    bool compositing = false;
};

// A private X server for one test (Xvfb on a display it picks; it never reads $DISPLAY), maybe a
// window manager in a session of its own (fresh home and XDG folders, private D-Bus), and every
// client the test starts; all end with the object. Throws when the server or the window manager
// does not come up.
class XServer {
public:
    explicit XServer(ServerOptions options = {}, Desktop desktop = {});
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // ":N"
    const std::string& display() const { return display_; }
    // The test's own connection, for looking and for input.
    xcb_connection_t* connection() const { return connection_; }
    XWindow root() const { return root_; }
    int width() const { return options_.width; }
    int height() const { return options_.height; }

    // Runs a program in the session (plus the NAME=VALUE settings) until the server ends.
    pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
    // A window of the test's own (class "TesseraProbe") of the type ("_NET_WM_WINDOW_TYPE_DOCK",
    // ...) with these CARDINAL properties, once the window manager shows it.
    XWindow makeWindow(
        const Rect& frame, std::string_view type = {},
        const std::vector<std::pair<std::string, std::vector<std::uint32_t>>>& cardinals = {});
    // Starts an X client; its new top-level window once the window manager shows it.
    struct Launched {
        XWindow window = 0;
        pid_t pid = -1;
    };
    Launched launch(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
    void setMonitors(const std::vector<Monitor>& monitors);
    // Runs a command on this display to its end; its exit status.
    int run(const std::vector<std::string>& argv);

    // Checks the condition again after every event on the test's connection, and every 20 ms.
    bool waitUntil(const std::function<bool()>& condition, double timeoutSeconds = 10.0);
    bool waitUntilGone(XWindow window);

    // --- Reading the desktop (fresh from the server) ---
    std::vector<XWindow> clientList();
    std::optional<XWindow> activeWindow();
    // The client area in root coordinates.
    std::optional<Rect> clientFrame(XWindow window);
    // The client area grown by _NET_FRAME_EXTENTS.
    std::optional<Rect> outerFrame(XWindow window);
    // Left, right, top, bottom: the window manager's frame, and the shadow a client that draws
    // its own decorations keeps around them (empty when it declares none).
    std::vector<std::uint32_t> frameExtents(XWindow window);
    std::vector<std::uint32_t> clientShadow(XWindow window);
    // What the user sees of the window: the outer frame without the client's shadow.
    std::optional<Rect> visibleFrame(XWindow window);
    // The window's size increments and minimum size from WM_NORMAL_HINTS (1 and 0 when unset).
    struct SizeHints {
        int widthIncrement = 1;
        int heightIncrement = 1;
        int minWidth = 0;
        int minHeight = 0;
    };
    SizeHints sizeHints(XWindow window);
    // The first desktop's work area from _NET_WORKAREA; the whole screen when unset.
    Rect workArea();
    // Whether the window manager lists the hint in _NET_SUPPORTED.
    bool supports(std::string_view hint);
    // Whether a compositing manager owns the screen's _NET_WM_CM_S0 selection.
    bool compositorRunning();
    // Whether another client could grab the keyboard and the pointer now.
    bool keyboardAndPointerFree();
    bool hasState(XWindow window, std::string_view state);
    std::uint32_t atom(std::string_view name);

    // --- Acting as the user or another client ---
    // A client message about the window to the window manager.
    void sendToRoot(XWindow window, std::string_view type,
                    const std::array<std::uint32_t, 5>& data);
    // Adds or removes up to two states, as an application (source 1) or a pager (2) asks.
    void requestState(XWindow window, bool add, std::string_view state,
                      std::string_view second = {}, std::uint32_t source = 2);
    // Activates the window as a pager would, once the window manager has.
    void activate(XWindow window);
    // Asks the window manager to put the outer frame's top-left corner at the rectangle's
    // origin and make the client area its size (_NET_MOVERESIZE_WINDOW, north-west gravity).
    void moveResizeClient(XWindow window, const Rect& frameOriginClientSize);
    // The same, waiting until the window is there (a client that sizes itself in steps may not
    // get there: use moveResizeClient).
    void moveTo(XWindow window, const Rect& frameOriginClientSize);
    // Whether the window is there: its outer frame's corner and its client area's size.
    bool isAt(XWindow window, const Rect& frameOriginClientSize);
    // Input through XTest, reported as raw events like a physical device's.
    void pointerTo(int x, int y);
    void button(int number, bool press);
    // Presses or releases the key that carries the keysym (XK_Escape, XK_a, ...).
    void key(std::uint32_t keysym, bool press);
    // Presses the modifiers in order, taps the key, releases the modifiers in reverse.
    void chord(const std::vector<std::uint32_t>& modifiers, std::uint32_t keysym);
    // The key that carries the keysym on the keyboard now; none when no key does.
    std::optional<std::uint8_t> keycodeOf(std::uint32_t keysym);
    // Writes the keyboard maps back unchanged, as a desktop applying its settings does: every
    // client hears of new maps.
    void rewriteKeyboardMaps();
    // A round trip on the test's connection.
    void sync();

private:
    bool shown(XWindow window);
    void startSession();
    void startWindowManager();
    void waitUntilManaging();
    void stopChildren();

    ServerOptions options_;
    Desktop desktop_;
    std::vector<std::string> session_;
    std::string display_;
    std::string tempDir_;
    std::unique_ptr<ChildProcess> server_;
    std::vector<pid_t> children_;
    std::vector<std::string> definedMonitors_;
    xcb_connection_t* connection_ = nullptr;
    XWindow root_ = 0;
};

// Another client that grabs keys on the root window, as a desktop's shortcut daemon does; it
// holds them until it ends.
class OtherClient {
public:
    explicit OtherClient(const XServer& server);
    ~OtherClient();
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;

    // The X error code of the grab, 0 when it was granted.
    int grab(std::uint8_t keycode, std::uint16_t modifiers);
    void ungrab(std::uint8_t keycode, std::uint16_t modifiers);
    // Key presses delivered to this client so far.
    int keyPresses();

private:
    xcb_connection_t* xcb_;
    XWindow root_ = 0;
    int presses_ = 0;
};

// A program whose standard output is read line by line while it runs (`tesseractl run`).
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env);
    // Ends it with SIGTERM (then SIGKILL) if it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    // Waits for the next line of standard output that the predicate accepts; earlier lines
    // are skipped but kept in output(). Nothing when the process ends or the time is up.
    std::optional<std::string> waitForLine(const std::function<bool(const std::string&)>& accept,
                                           double timeoutSeconds = 10.0);
    std::optional<std::string> waitForLine(std::string_view exactLine,
                                           double timeoutSeconds = 10.0);
    // Sends the signal and waits for the exit; the exit status (128 + n for a signal n).
    int stop(int signal, double timeoutSeconds = 10.0);
    std::optional<int> waitForExit(double timeoutSeconds = 10.0);
    // Standard output and standard error read so far.
    const std::string& output() const { return output_; }
    std::string errorOutput();

private:
    bool readSome(double timeoutSeconds);

    pid_t pid_ = -1;
    int stdout_ = -1;
    std::string errorFile_;
    std::string output_;
    std::size_t consumed_ = 0;
    std::optional<int> status_;
};

// `tesseractl run` on the server with a fresh home (so the user's layouts are never touched),
// started and ready. sync() is the barrier: it sets a property on the root window and waits for
// tesseractl to print that it has seen it, so every event the server sent before has been
// handled too.
class TesseraRun {
public:
    // NAME=VALUE settings for its environment; the preferences (a whole property list document)
    // are written before it starts.
    TesseraRun(XServer& server, const std::string& preferencesXml = {},
               const std::vector<std::string>& env = {});
    ~TesseraRun();

    ChildProcess& process() { return *process_; }
    const std::string& home() const { return home_; }
    void sync();

private:
    XServer& server_;
    std::string home_;
    std::unique_ptr<ChildProcess> process_;
    std::uint32_t nextSync_ = 1;
};

// Checks the condition every 20 ms until it holds or the time is up, for state that no X event
// announces (processes, files).
bool waitFor(const std::function<bool()>& condition, double timeoutSeconds = 10.0);
// A fresh folder in the system's temporary folder, its name the prefix and six random letters.
std::string makeTempDir(const char* prefix);

std::string tesseractlPath();

} // namespace tessera::x11test
