#pragma once

#include "../model/Records.h"
#include "../model/Signal.h"
#include "../placement/WindowCommand.h"
#include "../platform/Defaults.h"
#include "../platform/InputEvents.h"
#include "../platform/Localizer.h"
#include "ShortcutRecorder.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

class LayoutStore;

// Shortcut conflicts. Both only report: which of two clashing shortcuts keeps the hotkey follows
// the registration order of the hotkey center (zones first). A clash with a command is reported
// before a clash with a zone; names are the ones the interface shows.

// "Also used by “<command>”. …" for another command with the same key combination, else
// "Already used by “<zone>” in “<layout>”. …" for the first zone with it; nothing when the
// command has no shortcut (removed, or a stored record that can't be read) or nothing clashes.
std::optional<std::string> commandConflictMessage(WindowCommand command, const Defaults& defaults,
                                                  const LayoutStore& store,
                                                  const Localizer& localizer);

// The same for a zone's shortcut, checked against every command and every other zone (in any
// layout, shown on a display or not).
std::optional<std::string> zoneConflictMessage(const Zone& zone, const Defaults& defaults,
                                               const LayoutStore& store,
                                               const Localizer& localizer);

// Said of a shortcut that another program holds: it does nothing in Tessera until that program
// lets the keys go. The hotkey center finds out which those are (ShortcutsHeldElsewhere).
std::string heldElsewhereMessage(const Localizer& localizer);
// The button beside that message, which starts the shortcut's recorder so another one can be
// chosen.
std::string recordAnotherTitle(const Localizer& localizer);

// The symbol shown beside a conflict message.
inline constexpr std::string_view conflictSymbol = "exclamationmark.triangle.fill";

// One row of the section: the command's title with its symbol, its effective shortcut and the
// warning shown under it.
struct CommandShortcutRow {
    WindowCommand command = WindowCommand::fillScreen;
    std::string title; // localized
    std::string symbol;
    std::optional<KeyCombo> shortcut;
    std::optional<std::string> conflictMessage;
    // Present while another program holds the shortcut's keys.
    std::optional<std::string> heldElsewhereMessage;

    friend bool operator==(const CommandShortcutRow&, const CommandShortcutRow&) = default;
};

// The keyboard settings of the window commands: a recorder per command, the conflict warnings
// and "Restore Default Shortcuts". Shortcuts live in the preferences and are read afresh for
// every row; after every change the hotkey center (when one exists) registers everything again.
class CommandShortcutsSection {
public:
    // Every reference must outlive the section. The coordinator is shared with the other
    // recorders of the application (the zone editor's), so only one of them listens at a time.
    CommandShortcutsSection(Defaults& defaults, const LayoutStore& store,
                            const Localizer& localizer, InputEvents& input,
                            HotkeyCenterAccess hotkeyCenter,
                            std::shared_ptr<RecorderCoordinator> coordinator);
    CommandShortcutsSection(const CommandShortcutsSection&) = delete;
    CommandShortcutsSection& operator=(const CommandShortcutsSection&) = delete;

    // "Keyboard", the explanation under the rows and the button after them.
    std::string header() const;
    std::string footer() const;
    std::string restoreDefaultsTitle() const;

    // One row per command, in case order.
    std::vector<CommandShortcutRow> rows() const;
    CommandShortcutRow row(WindowCommand command) const;
    // The row's recorder; its binding reads the effective shortcut and stores through
    // setShortcut.
    ShortcutRecorder& recorder(WindowCommand command);

    // Stores the shortcut; none stores the empty record, which disables the command rather
    // than bringing its default back. False when the preferences could not be written (the
    // rows still show what the preferences hold).
    bool setShortcut(WindowCommand command, const std::optional<KeyCombo>& combo);
    bool removeShortcut(WindowCommand command) { return setShortcut(command, std::nullopt); }
    // Removes every stored record, so all seven commands have their defaults again. Asks no
    // confirmation. False when a removal could not be made durable.
    bool restoreDefaults();

    // Counts the changes made here; everything derived from the preferences is read again
    // after it moves.
    std::uint64_t revision() const { return revision_; }
    // Emitted after every change made here.
    [[nodiscard]] Connection onChange(std::function<void()> observer) {
        return changed_.connect(std::move(observer));
    }

private:
    void didChange();

    Defaults& defaults_;
    const LayoutStore& store_;
    const Localizer& localizer_;
    HotkeyCenterAccess hotkeyCenter_;
    std::array<std::unique_ptr<ShortcutRecorder>, allWindowCommands.size()> recorders_;
    std::uint64_t revision_ = 0;
    Signal<> changed_;
};

} // namespace tessera
