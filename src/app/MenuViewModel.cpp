#include "MenuViewModel.h"
#include "QmlValues.h"

#include "Preferences.h"
#include "Strings.h"

#include "core/app/AppState.h"
#include "core/app/Preferences.h"
#include "core/hotkeys/HotkeyCenter.h"
#include "core/model/Signal.h"

#include <QMetaObject>
#include <QVariantMap>

namespace tessera::shell {

namespace {

QString kindName(MenuEntryKind kind) {
    switch (kind) {
    case MenuEntryKind::status:
        return QStringLiteral("status");
    case MenuEntryKind::heading:
        return QStringLiteral("heading");
    case MenuEntryKind::button:
        return QStringLiteral("button");
    case MenuEntryKind::toggle:
        return QStringLiteral("toggle");
    }
    return {};
}

QVariantMap itemMap(const MenuEntry& entry) {
    return {{"id", text(entry.id)},
            {"kind", kindName(entry.kind)},
            {"title", text(entry.title)},
            {"symbol", text(entry.symbol)},
            {"shortcut", entry.shortcut ? text(entry.shortcut->linuxText) : QString()},
            {"shortcutGlyphs", entry.shortcut ? text(entry.shortcut->text) : QString()},
            {"keys", entry.shortcut ? text(entry.shortcut->keys) : QString()},
            {"note", text(entry.note)},
            {"checkable", entry.kind == MenuEntryKind::toggle},
            {"checked", entry.checked},
            {"enabled", entry.enabled}};
}

} // namespace

MenuViewModel::MenuViewModel(const ShellPorts& ports, Preferences& preferences,
                             const Strings& strings, QObject* parent)
    : QObject(parent), ports_(ports), preferences_(preferences), strings_(strings),
      itemsChanged_(this, [this] { Q_EMIT itemsChanged(); }) {
    // Permissions, the last other application and the shortcuts other programs hold live in
    // the state; the switches and the shortcuts in the preferences.
    connections_.push_back(ports_.state.onWillChange([this] { scheduleItemsChanged(); }));
    connect(&preferences_, &Preferences::changed, this, [this](const QString& key) {
        scheduleItemsChanged();
        if (key == text(prefs::showsMenuBarIcon)) {
            Q_EMIT trayChanged();
        }
    });
}

MenuViewModel::~MenuViewModel() = default;

void MenuViewModel::scheduleItemsChanged() {
    itemsChanged_.request();
}

MenuBarContent MenuViewModel::content() const {
    return buildMenuBarContent(ports_.state.permissions(), ports_.state.lastForeignPID(),
                               ports_.state.shortcutsHeldElsewhere(), ports_.workspace,
                               ports_.defaults, ports_.localizer);
}

QVariantList MenuViewModel::items() const {
    QVariantList list;
    const auto menu = content();
    for (std::size_t group = 0; group < menu.groups.size(); ++group) {
        if (group > 0) {
            list.append(QVariantMap{{"id", QStringLiteral("separator.%1").arg(group)},
                                    {"kind", QStringLiteral("separator")},
                                    {"title", QString()},
                                    {"enabled", false}});
        }
        for (const auto& entry : menu.groups[group]) {
            list.append(itemMap(entry));
        }
    }
    return list;
}

void MenuViewModel::setTrayAvailable(bool available) {
    if (available != trayAvailable_) {
        trayAvailable_ = available;
        Q_EMIT trayChanged();
    }
}

bool MenuViewModel::trayShown() const {
    return trayAvailable_ && showsMenuBarIcon(ports_.defaults);
}

void MenuViewModel::activate(const QString& itemId) {
    // Decided on the menu as it stands now, not as it was drawn: a switch disabled since then
    // stays unchanged.
    const auto menu = content();
    const auto* entry = menu.find(itemId.toStdString());
    if (entry == nullptr || !entry->enabled) {
        return;
    }
    switch (entry->action) {
    case MenuAction::none:
        break;
    case MenuAction::windowCommand:
        // Without Accessibility there is no hotkey center and nothing to move windows with.
        if (auto* hotkeys = ports_.state.hotkeys(); hotkeys != nullptr && entry->command) {
            hotkeys->perform(*entry->command);
        }
        break;
    case MenuAction::previewZones:
        ports_.state.previewZones();
        break;
    case MenuAction::toggleSnapOnDrag:
        preferences_.setBool(text(prefs::snapOnDrag), !entry->checked);
        break;
    case MenuAction::toggleIgnoredApp:
        preferences_.setString(text(prefs::ignoredApps),
                               QString::fromStdString(ignoredAppsToggled(
                                   ports_.defaults, entry->bundleIdentifier, !entry->checked)));
        break;
    case MenuAction::openPage:
        if (entry->page) {
            ports_.state.setPage(*entry->page);
            ports_.state.showMainWindow();
        }
        break;
    case MenuAction::quit:
        if (ports_.hooks.quit) {
            ports_.hooks.quit();
        }
        break;
    }
}

} // namespace tessera::shell
