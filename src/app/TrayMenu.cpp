#include "TrayMenu.h"

#include "MenuViewModel.h"
#include "QmlValues.h"
#include "Shell.h"
#include "SymbolImageProvider.h"

#include <QAction>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QPalette>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVariantMap>

namespace tessera::shell {

namespace {

// How often to look again whether the desktop has a tray.
constexpr int trayWatchMilliseconds = 5000;

QIcon applicationIcon() {
    // The installed icon; drawn from a symbol when Tessera runs from its build folder.
    return QIcon::fromTheme(QStringLiteral("tessera"),
                            symbolIcon(QStringLiteral("rectangle.split.3x3"),
                                       QGuiApplication::palette().color(QPalette::WindowText)));
}

bool onX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// Plasma's panel, or any other StatusNotifier host, through the watcher it registered with.
bool statusNotifierHostPresent() {
    const auto watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr ||
        !bus.interface()->isServiceRegistered(watcher)) {
        return false;
    }
    auto question = QDBusMessage::createMethodCall(
        watcher, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    question << watcher << QStringLiteral("IsStatusNotifierHostRegistered");
    // A watcher that hangs must not hold the interface for long.
    constexpr int answerMilliseconds = 1000;
    const QDBusReply<QDBusVariant> answer = bus.call(question, QDBus::Block, answerMilliseconds);
    return answer.isValid() && answer.value().variant().toBool();
}

// Whether the desktop shows tray icons now.
bool trayPresent() {
    // Qt finds an X11 tray itself, also one that starts later. Elsewhere the icon is a
    // StatusNotifierItem, and Qt asks once per process whether a host is there: asked before
    // the panel is up, it would never show the icon. So it is asked only once there is one.
    if (!onX11() && !statusNotifierHostPresent()) {
        return false;
    }
    return QSystemTrayIcon::isSystemTrayAvailable();
}

} // namespace

TrayMenu::TrayMenu(Shell& shell, QObject* parent)
    : QObject(parent), shell_(shell), model_(shell.menu()), menu_(std::make_unique<QMenu>()),
      trayWatch_(std::make_unique<QTimer>()) {
    menu_->setObjectName(QStringLiteral("trayMenu"));
    // An entry's note (why a command's shortcut is left out) shows as its tooltip.
    menu_->setToolTipsVisible(true);

    connect(menu_.get(), &QMenu::aboutToShow, this, &TrayMenu::rebuild);
    menu_->installEventFilter(this);
    connect(&model_, &MenuViewModel::itemsChanged, this, &TrayMenu::rebuild);
    connect(&model_, &MenuViewModel::trayChanged, this, &TrayMenu::updateVisibility);
    connect(trayWatch_.get(), &QTimer::timeout, this,
            [this] { model_.setTrayAvailable(trayPresent()); });
    trayWatch_->start(trayWatchMilliseconds);

    rebuild();
    model_.setTrayAvailable(trayPresent());
    updateVisibility();
}

TrayMenu::~TrayMenu() {
    // The icon refers to the menu; it goes first.
    icon_.reset();
}

bool TrayMenu::isIconVisible() const {
    return icon_ != nullptr && icon_->isVisible();
}

void TrayMenu::makeIcon() {
    icon_ = std::make_unique<QSystemTrayIcon>();
    icon_->setIcon(applicationIcon());
    icon_->setToolTip(QStringLiteral("Tessera"));
    icon_->setContextMenu(menu_.get());
    connect(icon_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason != QSystemTrayIcon::Trigger) {
                    return;
                }
                if (!onX11()) {
                    // A Wayland client learns nothing of the pointer outside its own windows
                    // and has no surface to hang a menu on: the panel shows the menu on a
                    // right click, and a left click opens the window, as on Plasma's own icons.
                    model_.activate(text(menuEntryID::openTessera));
                } else if (!menu_->isVisible()) {
                    // A plain click opens the menu too, as a menu-bar icon does.
                    menu_->popup(QCursor::pos());
                }
            });
}

void TrayMenu::updateVisibility() {
    const bool shown = model_.trayShown();
    if (shown && icon_ == nullptr) {
        makeIcon();
    }
    if (icon_ != nullptr) {
        icon_->setVisible(shown);
    }
}

bool TrayMenu::eventFilter(QObject* watched, QEvent* event) {
    if (watched != menu_.get() || event->type() != QEvent::KeyPress) {
        return false;
    }
    const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
    for (QAction* action : menu_->actions()) {
        if (action->isEnabled() && !action->shortcut().isEmpty() &&
            action->shortcut().matches(pressed) == QKeySequence::ExactMatch) {
            menu_->close();
            action->trigger();
            return true;
        }
    }
    return false;
}

void TrayMenu::rebuild() {
    menu_->clear();
    const QColor symbolColor = menu_->palette().color(QPalette::WindowText);
    for (const auto& value : model_.items()) {
        const auto item = value.toMap();
        const auto kind = item.value("kind").toString();
        if (kind == QLatin1String("separator")) {
            menu_->addSeparator();
            continue;
        }
        const auto id = item.value("id").toString();
        auto title = item.value("title").toString();
        const auto keys = item.value("keys").toString();
        // QMenu shows what follows a tab as the item's shortcut, right-aligned. The
        // application's own keys are bound instead (shown the same way), so they work while
        // the open menu holds the keyboard.
        if (const auto shortcut = item.value("shortcut").toString();
            !shortcut.isEmpty() && keys.isEmpty()) {
            title += QLatin1Char('\t') + shortcut;
        }
        QAction* action = menu_->addAction(title);
        if (!keys.isEmpty()) {
            action->setShortcut(QKeySequence(keys, QKeySequence::PortableText));
        }
        action->setObjectName(id);
        action->setData(id);
        action->setEnabled(item.value("enabled").toBool());
        action->setToolTip(item.value("note").toString());
        if (const auto symbol = item.value("symbol").toString(); !symbol.isEmpty()) {
            action->setIcon(symbolIcon(symbol, symbolColor));
        }
        if (kind == QLatin1String("heading")) {
            QFont bold = action->font();
            bold.setBold(true);
            action->setFont(bold);
        }
        if (item.value("checkable").toBool()) {
            action->setCheckable(true);
            action->setChecked(item.value("checked").toBool());
        }
        if (kind == QLatin1String("button") || kind == QLatin1String("toggle")) {
            // Queued: the action that is being triggered must not be deleted by a rebuild
            // its own choice causes.
            connect(
                action, &QAction::triggered, this, [this, id] { model_.activate(id); },
                Qt::QueuedConnection);
        }
    }
}

} // namespace tessera::shell
