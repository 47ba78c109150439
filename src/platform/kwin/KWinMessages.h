#pragma once

#include "core/model/Geometry.h"
#include "core/platform/ProcessId.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

// What the bridge script inside KWin reports and what Tessera sends it, as JSON strings over
// the session bus. Frames are in KWin's global coordinates: top-left origin, logical pixels.

struct KWinWindowInfo {
    // KWin's internalId, a UUID in braces.
    std::string id;
    ProcessId pid = 0;
    std::string resourceClass;
    std::string desktopFileName;
    std::string caption;
    Rect frame;
    // An ordinary application window (not a panel, menu, notification or the desktop).
    bool normal = false;
    bool fullScreen = false;
    bool minimized = false;
    // The window's place in KWin's stacking order: higher is nearer the front.
    int stacking = 0;

    friend bool operator==(const KWinWindowInfo&, const KWinWindowInfo&) = default;
};

struct KWinOutputInfo {
    std::string name;
    Rect frame;
    // Where windows are placed: the frame less the panels.
    Rect area;

    friend bool operator==(const KWinOutputInfo&, const KWinOutputInfo&) = default;
};

enum class BridgeEventType { hello, outputs, window, removed, activated, move, shortcut };
// cancel: Escape ended the move; its finish follows.
enum class MovePhase { start, step, cancel, finish };

// One report of the script. Which fields mean something depends on the type: hello carries
// everything (api, outputs, windows, id of the active window), outputs the outputs, window one
// window, removed and activated an id (empty: no active window), move an id, a phase and the
// cursor, shortcut the name of the shortcut pressed.
struct BridgeEvent {
    BridgeEventType type = BridgeEventType::hello;
    // The load of the script that sent it.
    std::string token;
    int api = 0;
    std::vector<KWinOutputInfo> outputs;
    std::vector<KWinWindowInfo> windows;
    std::string id;
    MovePhase phase = MovePhase::start;
    Point cursor;
    std::string name;
};

// Nothing when the text is not a report of a known type with the fields that type needs.
std::optional<BridgeEvent> parseBridgeEvent(std::string_view json);
// The token a poll names; nothing when the text is not a poll.
std::optional<std::string> parsePollToken(std::string_view json);

struct BridgeCommand {
    enum class Op { frame, activate, shortcut, unshortcut };
    Op op = Op::frame;
    // Window commands.
    std::string id;
    Rect frame;
    // Shortcut commands: the name KWin knows it by, the text shown in KDE's settings and the
    // keys in Qt's notation ("Meta+Ctrl+Left").
    std::string name;
    std::string text;
    std::string keys;
};

// The answer to a poll: the commands in order.
std::string commandsJson(const std::vector<BridgeCommand>& commands);
// The answer to a poll from a load of the script that is no longer Tessera's: it stops polling.
std::string stopJson();

// A stored shortcut (macOS key code, Carbon modifier bits) as Qt has it: the key sequence text
// KWin's scripts register ("Meta+Ctrl+Left") and the key combination kglobalaccel answers in.
struct QtKeys {
    std::string text;
    std::int32_t code = 0;
};
// Nothing for a key without a name there.
std::optional<QtKeys> qtKeys(std::uint32_t macKeyCode, std::uint32_t carbonModifiers);

} // namespace tessera
