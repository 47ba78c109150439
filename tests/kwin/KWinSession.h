#pragma once

#include "../x11/XServerFixture.h"

#include "core/model/Geometry.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct _GDBusConnection;
struct _GMainContext;
struct _GVariant;

namespace tessera::kwintest {

using x11test::ChildProcess;

// A private KDE Plasma Wayland session for one test: kwin_wayland headless (--virtual, two
// 1920×1080 outputs side by side, Xwayland) on a session bus of its own, with its own home and
// a 0700 runtime folder, so tests run in parallel and never touch a real session (it refuses to
// start inside one unless the bus and runtime folder are its own). Everything ends with the
// object. The test reaches KWin over the same bus, as an independent observer.
class KWinSession {
public:
    KWinSession();
    ~KWinSession();
    KWinSession(const KWinSession&) = delete;
    KWinSession& operator=(const KWinSession&) = delete;

    // A program with the session's environment (Wayland and X displays, bus, home).
    std::unique_ptr<ChildProcess> start(const std::vector<std::string>& argv,
                                        const std::vector<std::string>& env = {});
    // Starts a window (Wayland-native with wayland true, else an Xwayland xterm) titled caption
    // and waits until KWin shows it; its KWin id (a UUID in braces).
    std::string openWindow(const std::string& caption, bool wayland);
    // KWin's id of a window titled caption; empty when there is none.
    std::string windowTitled(const std::string& caption);
    // Ends the program of the window opened last, which is that window, and waits until KWin
    // no longer has it.
    void closeLastWindow(const std::string& id);
    // `tesseractl run` with these arguments and a fresh home (and these preferences, a whole
    // property list document, when not empty), once it is ready. Without arguments it has to
    // find KWin itself, though Xwayland's DISPLAY is set too.
    std::unique_ptr<ChildProcess> startTessera(const std::vector<std::string>& arguments = {},
                                               const std::string& preferencesXml = {});
    // The same with another program in place of `tesseractl run` (the application). A test
    // that serves calls on the bus answers them in `meanwhile`, run while it waits.
    std::unique_ptr<ChildProcess> startTessera(std::vector<std::string> argv,
                                               const std::vector<std::string>& arguments,
                                               const std::string& preferencesXml,
                                               const std::function<void()>& meanwhile = {});
    const std::string& busAddress() const { return busAddress_; }
    // That fresh home, and the layouts file in it.
    std::string home() const;
    std::string layoutsFile() const;
    // Runs fake input steps (see FakeInput.cpp) and returns once KWin has handled them all.
    void input(const std::vector<std::string>& steps);

    // KWin's own view of a window, from getWindowInfo; nothing once it is gone.
    std::optional<Rect> frame(const std::string& id);
    // What KWin says of the window's application: its desktop file name, else its class.
    std::string application(const std::string& id);
    void activate(const std::string& id);
    // Runs a KWin script once and returns the text it passes to report(text). It may call
    // windows(), every window KWin manages, and activate(window), on KWin 5 and 6 alike.
    std::string evaluate(const std::string& body);
    // Presses a global shortcut through kglobalaccel, as KDE's shortcut settings name it.
    void invokeShortcut(const std::string& name);
    bool scriptLoaded(const std::string& pluginName);
    // Stops a script as KDE's settings would.
    void unloadScript(const std::string& pluginName);
    // The keys KDE's shortcut settings hold for a KWin shortcut, as Qt key combinations.
    std::vector<int> shortcutKeys(const std::string& name);
    // Ends kwin_wayland, as a crash would, and starts another on the same bus; the windows go
    // with the first.
    void restartKWin();

    // Other processes change what the condition reads, so it is checked every 20 ms.
    bool waitUntil(const std::function<bool()>& condition, double timeoutSeconds = 10.0) {
        return x11test::waitFor(condition, timeoutSeconds);
    }

    // What a program of this session has in its environment, as NAME=value.
    std::vector<std::string> environment() const;

private:
    void startKWin();
    _GVariant* windowInfo(const std::string& id);
    std::vector<std::string> inRoot(const std::string& root, std::vector<std::string> argv) const;

    std::string folder_;
    std::string runtime_;
    std::string busAddress_;
    std::string socket_;
    std::string display_;
    std::unique_ptr<ChildProcess> bus_;
    std::unique_ptr<ChildProcess> kwin_;
    int kwinStarts_ = 0;
    int scripts_ = 0;
    std::vector<std::unique_ptr<ChildProcess>> clients_;
    _GDBusConnection* connection_ = nullptr;
    _GMainContext* context_ = nullptr;
    std::optional<std::string> report_;
};

} // namespace tessera::kwintest
