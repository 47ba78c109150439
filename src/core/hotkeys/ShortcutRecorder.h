#pragma once

#include "../model/Records.h"
#include "../model/Signal.h"
#include "../platform/InputEvents.h"
#include "../platform/Localizer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

class HotkeyCenter;
class ShortcutRecorder;

// Key codes with a meaning of their own while recording.
namespace recorderKey {
inline constexpr std::uint16_t escape = 53;
// Command, Shift, Caps Lock, Option, Control, their right-hand twins and Function: pressed on
// their own they only prepare a shortcut, so they never end the recording.
inline constexpr std::uint16_t firstModifier = 54;
inline constexpr std::uint16_t lastModifier = 63;
} // namespace recorderKey

// How the control is laid out: the main button's label is at least this wide, and the clear
// button (the symbol "xmark.circle.fill") follows it at this distance, in points.
namespace recorderLayout {
inline constexpr double minimumLabelWidth = 90;
inline constexpr double buttonSpacing = 6;
inline constexpr std::string_view removeSymbol = "xmark.circle.fill";
} // namespace recorderLayout

// The shortcut a recorder edits. The caller owns the value; the recorder only reads it through
// get and changes it through set.
struct ShortcutBinding {
    std::function<std::optional<KeyCombo>()> get;
    std::function<void(const std::optional<KeyCombo>&)> set;
};

// Where a recorder reaches the hotkey center; nothing while none exists (Accessibility not
// granted), and recording then works the same without suspending anything.
using HotkeyCenterAccess = std::function<HotkeyCenter*()>;

// What the recorder control shows, all texts already localized.
struct ShortcutRecorderState {
    bool listening = false;
    // "Press Shortcut…" while listening, "Record" without a shortcut, otherwise the shortcut's
    // stored glyph text, which is not localized.
    std::string label;
    // The same, with a shortcut written the way Linux desktops write it ("Ctrl+Alt+←").
    std::string linuxLabel;
    // The label is the shortcut's text (drawn at medium weight) rather than a prompt.
    bool labelIsCombo = false;
    // Help of the main button: "Esc to cancel" or "Click, then press a shortcut".
    std::string help;
    // The clear button exists only for a shortcut and only while not listening.
    bool showsRemoveButton = false;
    // "Remove Shortcut".
    std::string removeHelp;

    friend bool operator==(const ShortcutRecorderState&, const ShortcutRecorderState&) = default;
};

// The recorders of one application share a coordinator, so that starting one stops any other
// that is listening: one key monitor and one suspension of the hotkey center at a time.
class RecorderCoordinator {
public:
    RecorderCoordinator() = default;
    RecorderCoordinator(const RecorderCoordinator&) = delete;
    RecorderCoordinator& operator=(const RecorderCoordinator&) = delete;

    // The recorder listening now, if any.
    const ShortcutRecorder* listeningRecorder() const;

private:
    friend class ShortcutRecorder;
    void enroll(ShortcutRecorder* recorder);
    void withdraw(ShortcutRecorder* recorder);
    void stopAllBut(ShortcutRecorder* starting);

    std::vector<ShortcutRecorder*> recorders_;
};

// The control that captures one key press as a shortcut. While it listens, the hotkey center is
// suspended so that shortcuts already in use reach the recorder instead of moving windows, and
// a local key monitor swallows every key press sent to Tessera's windows. Escape cancels;
// the modifier keys alone are ignored; any other key, with or without modifiers, becomes the
// shortcut, which is written to the binding at most once per listening period.
//
// Destroying the recorder (the control disappearing) stops listening without notifying.
class ShortcutRecorder {
public:
    ShortcutRecorder(InputEvents& input, ShortcutBinding binding, HotkeyCenterAccess hotkeyCenter,
                     const Localizer& localizer,
                     std::shared_ptr<RecorderCoordinator> coordinator = nullptr);
    ~ShortcutRecorder();
    ShortcutRecorder(const ShortcutRecorder&) = delete;
    ShortcutRecorder& operator=(const ShortcutRecorder&) = delete;

    // The main button: starts listening, or stops without changing the binding.
    void click();
    void startListening();
    void stopListening();
    // The clear button: sets the binding to none. Does nothing where the button is not shown.
    void removeShortcut();

    bool isListening() const { return listening_; }
    ShortcutRecorderState state() const;

    // Emitted after the listening state or the binding changed through this recorder.
    [[nodiscard]] Connection onChange(std::function<void()> observer) {
        return changed_.connect(std::move(observer));
    }
    // For the binding's owner: its value changed from elsewhere, so the state is to be read
    // again.
    void bindingDidChange() const { changed_.emit(); }

private:
    bool handleKeyDown(const MonitorEvent& event);
    void stop(bool notify);
    HotkeyCenter* hotkeyCenter() const;
    std::optional<KeyCombo> combo() const;

    InputEvents& input_;
    ShortcutBinding binding_;
    HotkeyCenterAccess hotkeyCenter_;
    const Localizer& localizer_;
    std::shared_ptr<RecorderCoordinator> coordinator_;
    bool listening_ = false;
    bool wroteThisPeriod_ = false;
    Connection monitor_;
    // Cleared on destruction, so that a binding setter that destroys this recorder (a view
    // rebuilt on the change) is noticed before the recorder touches itself again.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    Signal<> changed_;
};

} // namespace tessera
