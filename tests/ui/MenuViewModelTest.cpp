// The menu's entries as the window's menu button and the tray show them, and what choosing one
// does. Which entries there are and when they are on is the core's menu (MenuBarMenuTest).

#include "MenuViewModel.h"
#include "Preferences.h"
#include "QtTestSupport.h"
#include "SimShell.h"
#include "TrayMenu.h"

#include "core/app/Preferences.h"
#include "core/drag/DragOverlayController.h"
#include "core/placement/AccessibilityWindowMover.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QTest>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tessera::test {
namespace {

using shell::MenuViewModel;

constexpr ProcessId notes = 601;

class MenuViewModelTest : public ::testing::Test {
protected:
    MenuViewModel& menu() { return sim.shell->menu(); }

    void startShell() {
        sim.start();
        processEvents();
    }

    // The entry of menu.items with this id; an empty map when there is none.
    QVariantMap item(const QString& id) {
        for (const auto& value : menu().items()) {
            if (value.toMap().value("id").toString() == id) {
                return value.toMap();
            }
        }
        return {};
    }

    // Notes comes to the front, so the state remembers it as the last other application.
    void bringNotesForward() {
        sim.desktop.addApplication(notes, "com.example.Notes", "Notes");
        sim.desktop.activateApplication(notes);
        sim.scheduler.runPending();
        processEvents();
    }

    std::string ignoredRaw() const {
        const auto stored = sim.defaults.object(prefs::ignoredApps);
        return stored ? std::get<std::string>(*stored) : std::string("<unset>");
    }

    // Grants the permissions later; the state sees them at its next poll.
    void grant() {
        sim.desktop.setTrusted(true);
        sim.input.setListenEventAccess(true);
        sim.scheduler.advance(2);
        sim.scheduler.runPending();
    }

    SimShell sim{SimShellOptions{.accessibility = false, .inputMonitoring = false}};
};

TEST_F(MenuViewModelTest, StatusAndWindowCommandsFollowThePermissions) {
    startShell();
    bringNotesForward();
    const Rect start{200, 200, 500, 400};
    const auto window = sim.desktop.addWindow(notes, start);
    EXPECT_EQ(item("status").value("title"), "Permissions needed");
    // Without a hotkey centre a command has nothing to run through.
    ASSERT_EQ(sim.state->hotkeys(), nullptr);
    menu().activate("command.fillScreen");
    EXPECT_EQ(sim.desktop.frame(window), start);

    EXPECT_GE(emissions(&menu(), &MenuViewModel::itemsChanged, [&] { grant(); }), 1);
    EXPECT_EQ(item("status").value("title"), "Ready to arrange windows");
    ASSERT_NE(sim.state->hotkeys(), nullptr);
    menu().activate("command.fillScreen");
    EXPECT_EQ(sim.desktop.frame(window),
              sim.state->mover().fillWindowFrame(sim.desktop.displays().screens().at(0)));
}

TEST_F(MenuViewModelTest, TheIgnoreSwitchWritesThroughThePreferencesAndDisabledEntriesDoNothing) {
    startShell();
    grant();
    EXPECT_GE(emissions(&menu(), &MenuViewModel::itemsChanged, [&] { bringNotesForward(); }), 1);
    EXPECT_EQ(item("ignoreApp").value("title"), "Don’t Show Zones for “Notes”");

    auto& prefs = sim.shell->preferences();
    QStringList changedKeys;
    QObject::connect(&prefs, &shell::Preferences::changed, &prefs,
                     [&](const QString& key) { changedKeys.append(key); });
    menu().activate("ignoreApp");
    EXPECT_EQ(ignoredRaw(), "com.example.Notes");
    EXPECT_EQ(item("ignoreApp").value("checked"), true);
    // So the Exclusions pane follows.
    EXPECT_EQ(changedKeys, QStringList{"ignoredApps"});

    // Disabled while drag to snap is off: choosing it anyway changes nothing.
    prefs.setBool("snapOnDrag", false);
    EXPECT_EQ(item("ignoreApp").value("enabled"), false);
    const int revision = prefs.revision();
    for (const auto* id : {"ignoreApp", "status", "activeWindow", "separator.1", "nothing", ""}) {
        menu().activate(id);
    }
    EXPECT_EQ(ignoredRaw(), "com.example.Notes");
    EXPECT_EQ(prefs.revision(), revision);
    EXPECT_EQ(sim.quitRequests, 0);
    EXPECT_TRUE(sim.services.calls().empty());
}

TEST_F(MenuViewModelTest, PreviewAndPageEntries) {
    // Not started: there is no drag monitor yet, and the preview still shows for 2.4 seconds.
    ASSERT_EQ(sim.state->dragMonitor(), nullptr);
    menu().activate("previewZones");
    EXPECT_GE(sim.surfaces.onScreenCount(), 1U);
    sim.scheduler.advance(2.39);
    EXPECT_TRUE(sim.state->overlay().isVisible());
    sim.scheduler.advance(0.01);
    EXPECT_FALSE(sim.state->overlay().isVisible());

    startShell();
    using Call = SimAppServices::Call;
    for (const auto& [id, page] : {std::pair{"editZones", AppPage::zones},
                                   {"settings", AppPage::settings},
                                   {"openTessera", AppPage::overview}}) {
        menu().activate(id);
        EXPECT_EQ(sim.state->page(), page) << id;
    }
    EXPECT_EQ(sim.services.calls(), std::vector<Call>(3, Call::showMainWindow));
}

TEST_F(MenuViewModelTest, TrayShowsOnlyWithATrayAndThePreferenceOn) {
    startShell();
    EXPECT_FALSE(menu().trayShown());
    EXPECT_EQ(
        emissions(&menu(), &MenuViewModel::trayChanged, [&] { menu().setTrayAvailable(true); }), 1);
    EXPECT_TRUE(menu().trayShown());
    EXPECT_EQ(emissions(&menu(), &MenuViewModel::trayChanged,
                        [&] { sim.shell->preferences().setBool("showsMenuBarIcon", false); }),
              1);
    EXPECT_FALSE(menu().trayShown());
}

// The window's menu button shows the same items: tst_menu.qml.
TEST_F(MenuViewModelTest, TrayMenuActionsMatchTheItemsAndAct) {
    // Next Display's keys are another program's: its item carries a note.
    sim.hotkeyPort.markTakenByOtherApplication(124, carbon::controlKey | carbon::optionKey |
                                                        carbon::cmdKey);
    startShell();
    grant();
    bringNotesForward();
    sim.shell->preferences().setBool("snapOnDrag", false);
    processEvents();
    shell::TrayMenu tray(*sim.shell);
    // No tray offscreen: the icon stays hidden and the window offers the menu.
    EXPECT_FALSE(tray.isIconVisible());
    const auto check = [&] {
        const auto items = menu().items();
        const auto actions = tray.menu().actions();
        ASSERT_EQ(actions.size(), items.size());
        for (qsizetype i = 0; i < actions.size(); ++i) {
            const auto entry = items[i].toMap();
            SCOPED_TRACE(entry.value("id").toString().toStdString());
            ASSERT_EQ(actions[i]->isSeparator(), entry.value("kind") == "separator");
            if (actions[i]->isSeparator()) {
                continue;
            }
            auto title = entry.value("title").toString();
            const auto keys = entry.value("keys").toString();
            if (const auto shortcut = entry.value("shortcut").toString();
                !shortcut.isEmpty() && keys.isEmpty()) {
                title += "\t" + shortcut;
            }
            EXPECT_EQ(actions[i]->shortcut(), QKeySequence(keys));
            EXPECT_EQ(actions[i]->objectName(), entry.value("id").toString());
            EXPECT_EQ(actions[i]->text(), title);
            if (const auto note = entry.value("note").toString(); !note.isEmpty()) {
                EXPECT_EQ(actions[i]->toolTip(), note);
            }
            EXPECT_EQ(actions[i]->isCheckable(), entry.value("checkable").toBool());
            EXPECT_EQ(actions[i]->isChecked(), entry.value("checked").toBool());
            EXPECT_EQ(actions[i]->isEnabled(), entry.value("enabled").toBool());
        }
    };
    const auto action = [&](const char* id) { return tray.menu().findChild<QAction*>(id); };
    check();
    EXPECT_EQ(action("command.nextDisplay")->toolTip(),
              "Another application uses Ctrl+Alt+Super+→.");
    EXPECT_EQ(action("command.zoneLeft")->text(), "Zone to the Left\tCtrl+Alt+←");

    // Choosing the switch in the tray writes the preference; the menu follows.
    action("snapOnDrag")->trigger();
    processEvents();
    EXPECT_TRUE(preferenceBool(sim.defaults, prefs::snapOnDrag));
    check();
    action("ignoreApp")->trigger();
    processEvents();
    EXPECT_EQ(ignoredRaw(), "com.example.Notes");

    // The open menu holds the keyboard; the keys it shows beside Quit still quit.
    tray.menu().popup(QPoint(0, 0));
    QTest::keyClick(&tray.menu(), Qt::Key_Q, Qt::ControlModifier);
    processEvents();
    EXPECT_EQ(sim.quitRequests, 1);
}

} // namespace
} // namespace tessera::test
