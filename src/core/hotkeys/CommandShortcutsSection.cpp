#include "CommandShortcutsSection.h"

#include "../model/StringTables.h"
#include "../placement/CommandShortcuts.h"
#include "../store/DisplayNames.h"
#include "../store/LayoutStore.h"
#include "HotkeyCenter.h"

#include <cstddef>

namespace tessera {

namespace {

std::string commandClash(WindowCommand other, const Localizer& localizer) {
    return localizedFormat(localizer, "Also used by “%@”. Only one of them will work.",
                           {localizer.localized(info(other).title)});
}

std::optional<std::string> zoneClash(const KeyCombo& combo, const std::optional<Uuid>& skipZoneID,
                                     const LayoutStore& store, const Localizer& localizer) {
    const auto zones = store.zonesUsing(combo.keyCode, combo.carbonModifiers, skipZoneID);
    if (zones.empty()) {
        return std::nullopt;
    }
    const auto& [layout, zone] = zones.front();
    return localizedFormat(localizer, "Already used by “%@” in “%@”. Only one of them will work.",
                           {displayName(zone.id, zone.name, localizer),
                            displayName(layout.id, layout.name, localizer)});
}

std::size_t indexOf(WindowCommand command) {
    return static_cast<std::size_t>(command);
}

} // namespace

std::string heldElsewhereMessage(const Localizer& localizer) {
    return localizer.localized(
        "Another application uses this shortcut, so it does nothing in Tessera.");
}

std::string recordAnotherTitle(const Localizer& localizer) {
    return localizer.localized("Record Another");
}

std::optional<std::string> commandConflictMessage(WindowCommand command, const Defaults& defaults,
                                                  const LayoutStore& store,
                                                  const Localizer& localizer) {
    const auto own = effectiveShortcut(command, defaults, localizer);
    if (!own) {
        return std::nullopt;
    }
    for (const auto other : allWindowCommands) {
        if (other == command) {
            continue;
        }
        const auto theirs = effectiveShortcut(other, defaults, localizer);
        if (theirs && sameCombination(*theirs, *own)) {
            return commandClash(other, localizer);
        }
    }
    return zoneClash(*own, std::nullopt, store, localizer);
}

std::optional<std::string> zoneConflictMessage(const Zone& zone, const Defaults& defaults,
                                               const LayoutStore& store,
                                               const Localizer& localizer) {
    if (!zone.shortcut) {
        return std::nullopt;
    }
    const auto& combo = *zone.shortcut;
    if (const auto command =
            commandUsing(combo.keyCode, combo.carbonModifiers, defaults, localizer)) {
        return commandClash(*command, localizer);
    }
    return zoneClash(combo, zone.id, store, localizer);
}

CommandShortcutsSection::CommandShortcutsSection(Defaults& defaults, const LayoutStore& store,
                                                 const Localizer& localizer, InputEvents& input,
                                                 HotkeyCenterAccess hotkeyCenter,
                                                 std::shared_ptr<RecorderCoordinator> coordinator)
    : defaults_(defaults), store_(store), localizer_(localizer),
      hotkeyCenter_(std::move(hotkeyCenter)) {
    for (const auto command : allWindowCommands) {
        ShortcutBinding binding{
            [this, command] { return effectiveShortcut(command, defaults_, localizer_); },
            [this, command](const std::optional<KeyCombo>& combo) { setShortcut(command, combo); }};
        recorders_[indexOf(command)] = std::make_unique<ShortcutRecorder>(
            input, std::move(binding), hotkeyCenter_, localizer_, coordinator);
    }
}

std::string CommandShortcutsSection::header() const {
    return localizer_.localized("Keyboard");
}

std::string CommandShortcutsSection::footer() const {
    return localizer_.localized(
        "Zone arrows move the active window to the neighbouring zone, and on to the next monitor "
        "at the edge. Display commands keep the window in the most similar zone.");
}

std::string CommandShortcutsSection::restoreDefaultsTitle() const {
    return localizer_.localized("Restore Default Shortcuts");
}

std::vector<CommandShortcutRow> CommandShortcutsSection::rows() const {
    std::vector<CommandShortcutRow> result;
    result.reserve(allWindowCommands.size());
    for (const auto command : allWindowCommands) {
        result.push_back(row(command));
    }
    return result;
}

CommandShortcutRow CommandShortcutsSection::row(WindowCommand command) const {
    const auto row = info(command);
    CommandShortcutRow result{command,
                              localizer_.localized(row.title),
                              std::string(row.symbol),
                              effectiveShortcut(command, defaults_, localizer_),
                              commandConflictMessage(command, defaults_, store_, localizer_),
                              std::nullopt};
    // Without a center nothing is registered, so nothing is known to be held elsewhere.
    if (const auto* center = hotkeyCenter_ ? hotkeyCenter_() : nullptr;
        center != nullptr && result.shortcut && center->heldElsewhere().holds(command)) {
        result.heldElsewhereMessage = heldElsewhereMessage(localizer_);
    }
    return result;
}

ShortcutRecorder& CommandShortcutsSection::recorder(WindowCommand command) {
    return *recorders_[indexOf(command)];
}

bool CommandShortcutsSection::setShortcut(WindowCommand command,
                                          const std::optional<KeyCombo>& combo) {
    const bool stored = tessera::setShortcut(command, combo, defaults_);
    didChange();
    return stored;
}

bool CommandShortcutsSection::restoreDefaults() {
    const bool restored = restoreDefaultShortcuts(defaults_);
    didChange();
    return restored;
}

void CommandShortcutsSection::didChange() {
    // Even a write that could not be made durable changed what the preferences answer now, so
    // the hotkeys and the rows follow it either way.
    ++revision_;
    if (auto* center = hotkeyCenter_ ? hotkeyCenter_() : nullptr) {
        center->registerAll();
    }
    for (const auto& recorder : recorders_) {
        recorder->bindingDidChange();
    }
    changed_.emit();
}

} // namespace tessera
