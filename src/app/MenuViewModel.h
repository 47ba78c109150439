#pragma once

#include "NextTurn.h"
#include "Shell.h"

#include "core/ui/MenuBarMenu.h"

#include "QmlSingleton.h"

#include <QObject>
#include <QString>
#include <QVariantList>

#include <vector>

namespace tessera {

class Connection;

namespace shell {

// The everyday menu as the tray icon and the main window's menu button show it. The entries
// come from the core afresh at every read; choosing one runs its action here, so both menus
// behave alike.
//
// QML: `menu.items` is a flat list of {id, kind, title, symbol, shortcut, shortcutGlyphs, note,
// checkable, checked, enabled} (note: a tooltip, empty for none); kind is "status", "heading",
// "button", "toggle" or "separator" (between groups). `menu.activate(id)` chooses an entry.
class MenuViewModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QVariantList items READ items NOTIFY itemsChanged)
    // The desktop has a system tray (the tray icon reports it).
    Q_PROPERTY(bool trayAvailable READ trayAvailable NOTIFY trayChanged)
    // The tray icon is up: there is a tray and "showsMenuBarIcon" is on. While it is not, the
    // main window offers the menu itself.
    Q_PROPERTY(bool trayShown READ trayShown NOTIFY trayChanged)
public:
    static MenuViewModel* create(QQmlEngine* engine, QJSEngine*) {
        return lentSingleton<MenuViewModel>(engine);
    }
    MenuViewModel(const ShellPorts& ports, Preferences& preferences, const Strings& strings,
                  QObject* parent = nullptr);
    ~MenuViewModel() override;

    MenuBarContent content() const;
    QVariantList items() const;

    bool trayAvailable() const { return trayAvailable_; }
    void setTrayAvailable(bool available);
    bool trayShown() const;

    // Runs the entry's action. Entries that are gone, disabled or only text do nothing.
    Q_INVOKABLE void activate(const QString& itemId);

Q_SIGNALS:
    // After anything the entries show may have changed (a turn of the event loop later,
    // coalesced).
    void itemsChanged();
    void trayChanged();

private:
    void scheduleItemsChanged();

    ShellPorts ports_;
    Preferences& preferences_;
    const Strings& strings_;
    std::vector<Connection> connections_;
    NextTurn itemsChanged_;
    bool trayAvailable_ = false;
};

} // namespace shell
} // namespace tessera
