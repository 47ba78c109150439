#pragma once

#include "KWinMessages.h"

#include "core/model/Signal.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct _GDBusConnection;
struct _GDBusMethodInvocation;

namespace tessera {

class SessionBus;

// Tessera's end of the KWin script bridge. It claims Tessera's name on the session bus, writes the
// bridge script (shipped inside the program) to the runtime folder, has KWin load it in place
// of any copy an earlier run left, and keeps a model of KWin's outputs and windows from the
// script's reports, so every read is local; only changes go to KWin, as commands answering the
// script's long poll.
//
// Nothing here ever waits for the script inside a D-Bus call: reports are answered at once and
// a poll is held open until there is something to send (or at the latest after a few seconds,
// since KWin gives up on a call after 25 s and never says so to the script). Of two polls the
// newest wins and the older is answered empty; a poll from a load of the script that is not
// this run's is told to stop.
class KWinBridge {
public:
    // The well-known name and the object the script calls.
    static constexpr const char* objectPath = "/app/tessera/KWinBridge";
    static constexpr const char* interfaceName = "app.tessera.KWinBridge";
    // The name KWin knows the script by: a second load replaces the first.
    static constexpr const char* pluginName = "tessera-bridge";

    // Connects, loads the script and waits (at most a few seconds, running the default GLib
    // main context) for its first report. Nothing, with the reason in error, when there is no
    // session bus, another Tessera holds the name, KWin is not on the bus or the script does
    // not report. The bridge shares the bus's connection and claims its name once its own
    // object is offered; the bus must outlive it.
    static std::unique_ptr<KWinBridge> start(SessionBus& bus, std::string& error);
    // Only start() makes one.
    class Key {
        friend class KWinBridge;
        Key() = default;
    };
    KWinBridge(Key, _GDBusConnection* bus);
    // Unloads the script.
    ~KWinBridge();
    KWinBridge(const KWinBridge&) = delete;
    KWinBridge& operator=(const KWinBridge&) = delete;

    // KWin's scripting generation, 5 or 6, as the script found it.
    int api() const { return api_; }
    const std::vector<KWinOutputInfo>& outputs() const { return outputs_; }
    const KWinWindowInfo* window(const std::string& id) const;
    // Windows, the most recently activated (or newest) first.
    std::vector<const KWinWindowInfo*> windowsByRecency() const;
    // Windows as KWin stacks them, the frontmost first (of two at one place, the more recently
    // activated).
    std::vector<const KWinWindowInfo*> windowsFrontToBack() const;
    // Empty when no window is active.
    const std::string& activeWindow() const { return active_; }
    // The window KWin is moving interactively, if any.
    const std::string& movingWindow() const { return moving_; }
    // Where the pointer was at the latest report that carried it; nothing before one did.
    std::optional<Point> cursor() const { return cursor_; }

    // Asks KWin to give the window this frame. The model takes the frame at once; the script's
    // reports of what KWin made of it follow.
    void setFrame(const std::string& id, const Rect& frame);
    void activate(const std::string& id);
    void registerShortcut(const std::string& name, const std::string& text,
                          const std::string& keys);
    void unregisterShortcut(const std::string& name);
    // KDE's global shortcuts (kglobalaccel's, KWin's own among them) on a key combination in
    // Qt's code, as {component, action}; nothing when there are none or kglobalaccel does not
    // answer.
    struct GlobalShortcut {
        std::string component;
        std::string action;
    };
    std::vector<GlobalShortcut> globalShortcutsOn(std::int32_t qtKeys) const;
    // Calls done once the script has carried out every command asked for so far (its next poll
    // says so), at once when nothing is outstanding.
    void whenSettled(std::function<void()> done);

    [[nodiscard]] Connection onOutputsChanged(std::function<void()> handler);
    [[nodiscard]] Connection onActivated(std::function<void(const std::string& id)> handler);
    // A window the script reported for the first time since it started (KWin shows it then);
    // the windows of its first report are not announced.
    [[nodiscard]] Connection onWindowAdded(std::function<void(const std::string& id)> handler);
    // A window reported before whose frame is now another.
    [[nodiscard]] Connection onWindowMoved(std::function<void(const std::string& id)> handler);
    [[nodiscard]] Connection onShortcut(std::function<void(const std::string& name)> handler);
    [[nodiscard]] Connection onMove(std::function<void(MovePhase, Point cursor)> handler);
    // KWin left the session bus (it ended or crashed), taking the script with it; the model
    // keeps the outputs and forgets the windows.
    [[nodiscard]] Connection onKWinGone(std::function<void()> handler);
    // A KWin that came onto the bus again runs the script and has reported; what the script
    // was told before (shortcuts) has to be told again.
    [[nodiscard]] Connection onKWinBack(std::function<void()> handler);
    // That KWin would not load the script; the reason.
    [[nodiscard]] Connection onAttachFailed(std::function<void(const std::string&)> handler);
    // The script stopped polling while KWin stayed on the bus (someone stopped it in KDE's
    // settings, or it failed). It is loaded again: onKWinBack or onAttachFailed follows.
    [[nodiscard]] Connection onScriptSilent(std::function<void()> handler);

    // What a D-Bus call from the script comes to; public for the C callback only.
    void handleCall(const char* method, const char* argument, _GDBusMethodInvocation* invocation);

private:
    bool load(SessionBus& bus, std::string& error);
    // Writes the script with a new token and has KWin run it in place of any earlier copy.
    bool loadScript(std::string& error);
    void kwinVanished();
    void kwinAppeared();
    void attach();
    void armSilence();
    void scriptSilent();
    // A GLib source callback that runs the member once, with the source's id cleared first.
    template <unsigned KWinBridge::*Source, void (KWinBridge::*Run)()> static int once(void* self) {
        auto& bridge = *static_cast<KWinBridge*>(self);
        bridge.*Source = 0;
        (bridge.*Run)();
        return 0; // G_SOURCE_REMOVE
    }
    void apply(const BridgeEvent& event);
    void poll(const std::string& token, _GDBusMethodInvocation* invocation);
    void queue(BridgeCommand command);
    // Answers the open poll with what is queued (nothing: an empty answer).
    void answerPoll();
    void notifyIfSettled();
    void touch(const std::string& id);

    _GDBusConnection* bus_;
    unsigned registration_ = 0;
    unsigned kwinWatch_ = 0;
    bool lost_ = false;
    bool reattaching_ = false;
    unsigned retry_ = 0;
    int attempts_ = 0;
    std::string token_;
    std::filesystem::path scriptFile_;
    bool loaded_ = false;
    bool greeted_ = false;

    _GDBusMethodInvocation* poll_ = nullptr;
    unsigned pollTimeout_ = 0;
    // Runs from an answered poll to the script's next one, which a live script sends at once.
    unsigned silence_ = 0;
    unsigned flush_ = 0;
    std::vector<BridgeCommand> queued_;
    // Commands answered to the script that its next poll has not yet confirmed.
    bool inFlight_ = false;
    std::vector<std::function<void()>> settledCallbacks_;

    int api_ = 0;
    std::vector<KWinOutputInfo> outputs_;
    std::map<std::string, KWinWindowInfo> windows_;
    // Ids, most recent first.
    std::vector<std::string> recency_;
    std::string active_;
    std::string moving_;
    std::optional<Point> cursor_;

    Signal<> outputsChanged_;
    Signal<const std::string&> activated_;
    Signal<const std::string&> windowAdded_;
    Signal<const std::string&> windowMoved_;
    Signal<const std::string&> shortcut_;
    Signal<MovePhase, Point> moved_;
    Signal<> kwinGone_;
    Signal<> kwinBack_;
    Signal<const std::string&> attachFailed_;
    Signal<> scriptSilent_;
};

// Whether this session is KDE Plasma on Wayland with KWin on the session bus.
bool kwinSessionAvailable();

} // namespace tessera
