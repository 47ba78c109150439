#include "MenuBarMenu.h"

#include "../app/Preferences.h"
#include "../hotkeys/KeyCombos.h"
#include "../model/StringTables.h"
#include "../placement/CommandShortcuts.h"
#include "../platform/Defaults.h"
#include "../platform/Localizer.h"
#include "../platform/Workspace.h"
#include "Pages.h"

#include <algorithm>
#include <variant>

namespace tessera {

namespace {

// Mac key codes of the two fixed key equivalents.
constexpr std::uint32_t commaKeyCode = 43;
constexpr std::uint32_t qKeyCode = 12;

MenuShortcut shortcutFor(const KeyCombo& combo, const Localizer& localizer) {
    return {combo.display, linuxShortcutText(combo, localizer), {}};
}

// Command plus the key where menus are the Mac's; Ctrl plus the key where they are Linux's.
MenuShortcut commandKeyEquivalent(std::uint32_t keyCode, std::string keys,
                                  const Localizer& localizer) {
    return {shortcutText(keyCode, eventFlag::command, localizer),
            linuxShortcutText(KeyCombo{keyCode, carbon::controlKey, {}}, localizer),
            std::move(keys)};
}

MenuEntry button(std::string_view id, std::string title, MenuAction action) {
    MenuEntry entry;
    entry.id = std::string(id);
    entry.kind = MenuEntryKind::button;
    entry.title = std::move(title);
    entry.action = action;
    return entry;
}

MenuEntry pageButton(std::string_view id, std::string title, AppPage page) {
    auto entry = button(id, std::move(title), MenuAction::openPage);
    entry.page = page;
    return entry;
}

// The switch for the last other application, under the only conditions it exists.
std::optional<MenuEntry> ignoreEntry(std::optional<ProcessId> lastForeignPID,
                                     const Workspace& workspace, const Defaults& defaults,
                                     const Localizer& localizer, bool snapOnDrag) {
    if (!lastForeignPID) {
        return std::nullopt;
    }
    const auto application = workspace.runningApplication(*lastForeignPID);
    if (!application || !application->bundleIdentifier) {
        return std::nullopt;
    }
    const auto& identifier = *application->bundleIdentifier;
    const auto ignored = ignoredApps(defaults);
    MenuEntry entry;
    entry.id = std::string(menuEntryID::ignoreApp);
    entry.kind = MenuEntryKind::toggle;
    entry.title = localizedFormat(localizer, "Don’t Show Zones for “%@”",
                                  {application->localizedName.value_or(identifier)});
    entry.action = MenuAction::toggleIgnoredApp;
    entry.checked = std::find(ignored.begin(), ignored.end(), identifier) != ignored.end();
    entry.enabled = snapOnDrag;
    entry.bundleIdentifier = identifier;
    return entry;
}

} // namespace

const MenuEntry* MenuBarContent::find(std::string_view id) const {
    for (const auto& group : groups) {
        for (const auto& entry : group) {
            if (entry.id == id) {
                return &entry;
            }
        }
    }
    return nullptr;
}

MenuBarContent buildMenuBarContent(const PermissionStatus& permissions,
                                   std::optional<ProcessId> lastForeignPID,
                                   const ShortcutsHeldElsewhere& heldElsewhere,
                                   const Workspace& workspace, const Defaults& defaults,
                                   const Localizer& localizer) {
    MenuBarContent menu;

    MenuEntry status;
    status.id = std::string(menuEntryID::status);
    status.kind = MenuEntryKind::status;
    status.title = localizer.localized(accessNeeded(permissions) ? "Permissions needed"
                                                                 : "Ready to arrange windows");
    status.enabled = false;
    menu.groups.push_back({std::move(status)});

    MenuGroup commands;
    MenuEntry heading;
    heading.id = std::string(menuEntryID::activeWindow);
    heading.kind = MenuEntryKind::heading;
    heading.title = localizer.localized("Active Window");
    heading.enabled = false;
    commands.push_back(std::move(heading));
    for (const auto command : allWindowCommands) {
        const auto meta = info(command);
        auto entry = button(std::string(menuEntryID::commandPrefix) + std::string(meta.rawValue),
                            localizer.localized(meta.title), MenuAction::windowCommand);
        entry.symbol = std::string(meta.symbol);
        entry.command = command;
        if (const auto combo = effectiveShortcut(command, defaults, localizer)) {
            if (heldElsewhere.holds(command)) {
                entry.note = localizedFormat(localizer, "Another application uses %@.",
                                             {linuxShortcutText(*combo, localizer)});
            } else {
                entry.shortcut = shortcutFor(*combo, localizer);
            }
        }
        commands.push_back(std::move(entry));
    }
    menu.groups.push_back(std::move(commands));

    const bool snapOnDrag = preferenceBool(defaults, prefs::snapOnDrag);
    MenuGroup dragging;
    dragging.push_back(button(menuEntryID::previewZones,
                              localizer.localized("Show Zones on Screens"),
                              MenuAction::previewZones));
    auto snap =
        button(menuEntryID::snapOnDrag, localizer.localized("Arrange Windows While Dragging"),
               MenuAction::toggleSnapOnDrag);
    snap.kind = MenuEntryKind::toggle;
    snap.checked = snapOnDrag;
    dragging.push_back(std::move(snap));
    if (auto ignore = ignoreEntry(lastForeignPID, workspace, defaults, localizer, snapOnDrag)) {
        dragging.push_back(std::move(*ignore));
    }
    menu.groups.push_back(std::move(dragging));

    auto settings =
        pageButton(menuEntryID::settings, localizer.localized("Settings…"), AppPage::settings);
    settings.shortcut = commandKeyEquivalent(commaKeyCode, "Ctrl+,", localizer);
    menu.groups.push_back(
        {pageButton(menuEntryID::openTessera, localizer.localized("Open Tessera"),
                    AppPage::overview),
         pageButton(menuEntryID::editZones, localizer.localized("Edit Zones…"), AppPage::zones),
         std::move(settings)});

    auto quit = button(menuEntryID::quit, localizer.localized("Quit Tessera"), MenuAction::quit);
    quit.shortcut = commandKeyEquivalent(qKeyCode, "Ctrl+Q", localizer);
    menu.groups.push_back({std::move(quit)});
    return menu;
}

std::string ignoredAppsToggled(std::string_view stored, std::string_view identifier, bool ignore) {
    auto identifiers = decodeIgnoredApps(stored);
    std::erase(identifiers, identifier);
    if (ignore) {
        identifiers.emplace_back(identifier);
    }
    return encodeIgnoredApps(identifiers);
}

std::string ignoredAppsToggled(const Defaults& defaults, std::string_view identifier, bool ignore) {
    return ignoredAppsToggled(encodeIgnoredApps(ignoredApps(defaults)), identifier, ignore);
}

bool showsMenuBarIcon(const Defaults& defaults) {
    const auto stored = defaults.object(prefs::showsMenuBarIcon);
    if (!stored) {
        return true;
    }
    if (const auto* flag = std::get_if<bool>(&*stored)) {
        return *flag;
    }
    // A number written by hand counts only when it is exactly 0 or 1, as for the other switches.
    if (const auto* number = std::get_if<std::int64_t>(&*stored);
        number && (*number == 0 || *number == 1)) {
        return *number == 1;
    }
    if (const auto* number = std::get_if<double>(&*stored);
        number && (*number == 0 || *number == 1)) {
        return *number == 1;
    }
    return true;
}

} // namespace tessera
