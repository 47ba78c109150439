// The tray icon as KDE Plasma's panel sees it on Wayland. The test plays the panel's part on the
// private bus of a headless KWin, the StatusNotifierWatcher with a host registered: it reads the
// application's item and its menu (com.canonical.dbusmenu) as the panel does, and passes clicks
// on as the panel does.

#include "KWinSession.h"

#include "core/app/Preferences.h"
#include "core/ui/MenuBarMenu.h"
#include "platform/linux/PlistDefaults.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimLocalizer.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace tessera::test {
namespace {

// In Plasma a module of kded: items register with it.
class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
public:
    QStringList items;
    // How often a program asked whether there is a host.
    int asked = 0;
    bool hostRegistered() {
        ++asked;
        return true;
    }

public Q_SLOTS:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString& service,
                                                 const QDBusMessage& message) {
        // A bus name, or an object path on the caller's own connection.
        items.append(service.startsWith(QLatin1Char('/')) ? message.service() : service);
    }
};

// One entry of a dbusmenu layout, with the entries under it.
struct MenuNode {
    int id = 0;
    QVariantMap properties;
    std::vector<MenuNode> children;

    QVariant operator[](const char* name) const {
        return properties.value(QString::fromLatin1(name));
    }
    // What follows a tab shows right-aligned, as the entry's keys.
    std::string title() const {
        return (*this)["label"].toString().section(QLatin1Char('\t'), 0, 0).toStdString();
    }
    const MenuNode* find(const std::string& title) const {
        const auto found =
            std::find_if(children.begin(), children.end(),
                         [&](const MenuNode& child) { return child.title() == title; });
        return found == children.end() ? nullptr : &*found;
    }
};

MenuNode readNode(const QDBusArgument& argument) {
    MenuNode node;
    argument.beginStructure();
    argument >> node.id >> node.properties;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        node.children.push_back(readNode(child.variant().value<QDBusArgument>()));
    }
    argument.endArray();
    argument.endStructure();
    return node;
}

class Panel {
    // First: the watcher is made on it.
    QDBusConnection bus_;

public:
    explicit Panel(const std::string& busAddress)
        : bus_(QDBusConnection::connectToBus(QString::fromStdString(busAddress),
                                             QStringLiteral("panel"))) {}
    ~Panel() { QDBusConnection::disconnectFromBus(QStringLiteral("panel")); }

    bool start() {
        return bus_.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                                   QDBusConnection::ExportScriptableSlots |
                                       QDBusConnection::ExportAllProperties) &&
               bus_.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    }
    // A call to the item of an application that registered with its bus name alone, at path.
    QList<QVariant> call(const QString& path, const char* interface, const char* method,
                         const QVariantList& arguments) {
        auto message = QDBusMessage::createMethodCall(watcher.items.value(0), path,
                                                      QString::fromLatin1(interface),
                                                      QString::fromLatin1(method));
        message.setArguments(arguments);
        return bus_.call(message).arguments();
    }
    // As the panel opens the menu: it tells the item, then reads the layout.
    MenuNode openMenu() {
        call(menuPath, "com.canonical.dbusmenu", "AboutToShow", {0});
        const auto reply =
            call(menuPath, "com.canonical.dbusmenu", "GetLayout", {0, -1, QStringList()});
        return reply.size() == 2 ? readNode(reply.at(1).value<QDBusArgument>()) : MenuNode{};
    }
    void click(const MenuNode* entry) {
        ASSERT_NE(entry, nullptr);
        call(menuPath, "com.canonical.dbusmenu", "Event",
             {entry->id, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u});
    }

    Watcher watcher;
    const QString itemPath = QStringLiteral("/StatusNotifierItem");
    QString menuPath;
};

std::optional<DefaultsValue> stored(const std::string& home, std::string_view key) {
    return PlistDefaults(home + "/.config/Tessera/preferences.plist", nullptr).object(key);
}

TEST(TrayKWin, APanelThatComesLaterGetsTheItemWhoseMenuActsAndTheSwitchKeepsItAway) {
    kwintest::KWinSession session;
    Panel panel(session.busAddress());
    // Tessera first, as at a login where the panel is slower; its watch looks again every few
    // seconds.
    auto tessera = session.startTessera({TESSERA_APPLICATION, "--hidden"}, {}, {});
    ASSERT_TRUE(panel.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.watcher.items.size() == 1; }, 20000))
        << tessera->errorOutput();

    const auto properties =
        qdbus_cast<QVariantMap>(panel
                                    .call(panel.itemPath, "org.freedesktop.DBus.Properties",
                                          "GetAll", {QStringLiteral("org.kde.StatusNotifierItem")})
                                    .value(0));
    EXPECT_EQ(properties.value(QStringLiteral("Title")).toString(), "Tessera");
    panel.menuPath = properties.value(QStringLiteral("Menu")).value<QDBusObjectPath>().path();
    ASSERT_NE(panel.menuPath, "/NO_DBUSMENU");

    // What the core makes of this desktop: every permission there, no other application in
    // front yet, no key taken.
    SimDefaults defaults;
    registerPreferenceDefaults(defaults);
    const auto expected = buildMenuBarContent({true, true}, std::nullopt, {}, SimDesktop(),
                                              defaults, makeSimLocalizer("en"));
    auto menu = panel.openMenu();
    std::size_t row = 0;
    for (const auto& group : expected.groups) {
        if (row > 0) {
            ASSERT_LT(row, menu.children.size());
            EXPECT_EQ(menu.children[row++]["type"], "separator");
        }
        for (const auto& entry : group) {
            SCOPED_TRACE(entry.id);
            ASSERT_LT(row, menu.children.size());
            const auto& node = menu.children[row++];
            EXPECT_EQ(node.title(), entry.title);
            // Said only when off.
            EXPECT_EQ(node["enabled"] != QVariant(false), entry.enabled);
            const bool toggle = entry.kind == MenuEntryKind::toggle;
            EXPECT_EQ(node["toggle-type"], toggle ? QVariant("checkmark") : QVariant());
            EXPECT_EQ(node["toggle-state"], toggle ? QVariant(entry.checked ? 1 : 0) : QVariant());
        }
    }
    EXPECT_EQ(row, menu.children.size());

    // Drag to snap, switched off in the panel: stored, and shown when the menu opens again.
    const auto& snap = *expected.find(menuEntryID::snapOnDrag);
    panel.click(menu.find(snap.title));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return stored(session.home(), prefs::snapOnDrag) == DefaultsValue{false}; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const auto* node = panel.openMenu().find(snap.title);
            return node != nullptr && (*node)["toggle-state"] == 0;
        },
        10000));

    // "Open Tessera" in the panel's menu opens the window; closed, it leaves Tessera running.
    std::string window;
    const auto windowShown = [&] { return !(window = session.windowTitled("Tessera")).empty(); };
    panel.click(panel.openMenu().find(expected.find(menuEntryID::openTessera)->title));
    ASSERT_TRUE(QTest::qWaitFor(windowShown, 20000)) << tessera->errorOutput();
    const auto opened = session.frame(window);
    session.evaluate("windows().forEach(function (w) {\n"
                     "    if (w.caption == \"Tessera\") w.closeWindow(); });\nreport(\"\");");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !windowShown(); }, 10000));
    // A left click in the panel opens that window again, not the menu as a window of its
    // own, which is what a menu popped up at the pointer becomes on Wayland.
    panel.call(panel.itemPath, "org.kde.StatusNotifierItem", "Activate", {0, 0});
    ASSERT_TRUE(QTest::qWaitFor(windowShown, 20000)) << tessera->errorOutput();
    const auto shown = session.frame(window);
    ASSERT_TRUE(opened && shown);
    EXPECT_EQ(shown->width(), opened->width());
    EXPECT_EQ(shown->height(), opened->height());

    panel.click(panel.openMenu().find(expected.find(menuEntryID::quit)->title));
    std::optional<int> status;
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return (status = tessera->waitForExit(0.02)).has_value(); }, 10000));
    EXPECT_EQ(status, 0);
    panel.watcher.items.clear();

    // With the switch off the panel gets no item: not as Tessera starts (it is ready once it
    // has decided), nor when its watch looks again.
    defaults.set(prefs::showsMenuBarIcon, DefaultsValue{false});
    tessera = session.startTessera({TESSERA_APPLICATION, "--hidden"}, {},
                                   encodePreferences(defaults.persistentDomain()),
                                   [] { QCoreApplication::processEvents(); });
    const int asked = panel.watcher.asked;
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.watcher.asked > asked; }, 10000));
    EXPECT_TRUE(panel.watcher.items.isEmpty());
}

} // namespace
} // namespace tessera::test

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "TrayKWinTest.moc"
