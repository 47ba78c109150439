#pragma once

#include <QObject>

#include <memory>

class QMenu;
class QSystemTrayIcon;
class QTimer;

namespace tessera::shell {

class MenuViewModel;
class Shell;

// The tray icon and its menu, built from the menu view model. The icon is up only while the
// desktop has a tray and "showsMenuBarIcon" is on; the main window offers the same menu
// otherwise. The menu is built again whenever its entries change and each time it opens, so
// the status line and the exclusion switch are never stale.
//
// On Wayland the tray is a StatusNotifier host (Plasma's panel), which shows the menu itself;
// a left click opens the main window there, as no client can place a menu at the pointer.
class TrayMenu : public QObject {
    Q_OBJECT
public:
    explicit TrayMenu(Shell& shell, QObject* parent = nullptr);
    ~TrayMenu() override;

    // The menu as it is now, for inspection.
    QMenu& menu() { return *menu_; }
    bool isIconVisible() const;

    // Makes the menu's actions from the view model's entries.
    void rebuild();

protected:
    // The open menu holds the keyboard, so the keys bound to its entries are matched here.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateVisibility();
    void makeIcon();

    Shell& shell_;
    MenuViewModel& model_;
    std::unique_ptr<QMenu> menu_;
    // Made once there is a tray: Qt looks for a StatusNotifier host only when the first one is
    // made, and never again.
    std::unique_ptr<QSystemTrayIcon> icon_;
    // A tray can start after Tessera did, or go away.
    std::unique_ptr<QTimer> trayWatch_;
};

} // namespace tessera::shell
