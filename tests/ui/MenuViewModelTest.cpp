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

#include <string>
#include <vector>

namespace tessera::test {
namespace {

using shell::MenuViewModel;

constexpr ProcessId notes = 601;
const Rect start{200, 200, 500, 400};

class MenuViewModelTest : public ::testing::Test {
protected:
    explicit MenuViewModelTest(SimShellOptions options = {}) : sim(options) {}

    MenuViewModel& menu() { return sim.shell->menu(); }

    void startShell() {
        sim.start();
        processEvents();
    }

    // The entry of menu.items with this id; an empty map when there is none.
    QVariantMap item(const QString& id) {
        for (const auto& value : menu().items()) {
            const auto map = value.toMap();
            if (map.value("id").toString() == id) {
                return map;
            }
        }
        return {};
    }

    std::vector<QString> itemIDs() {
        std::vector<QString> ids;
        for (const auto& value : menu().items()) {
            ids.push_back(value.toMap().value("id").toString());
        }
        return ids;
    }

    // The application comes to the front, so the state remembers it as the last other one.
    void bringForward(ProcessId process, std::optional<std::string> identifier, std::string name) {
        sim.desktop.addApplication(process, std::move(identifier), std::move(name));
        sim.desktop.activateApplication(process);
        sim.scheduler.runPending();
        processEvents();
    }

    std::string ignoredRaw() const {
        const auto stored = sim.defaults.object(prefs::ignoredApps);
        return stored ? std::get<std::string>(*stored) : std::string("<unset>");
    }

    SimShell sim;
};

class WithoutInputMonitoring : public MenuViewModelTest {
protected:
    WithoutInputMonitoring() : MenuViewModelTest(SimShellOptions{"en", true, false}) {}
};

class WithoutAccessibility : public MenuViewModelTest {
protected:
    WithoutAccessibility() : MenuViewModelTest(SimShellOptions{"en", false, true}) {}
};

// --- Entries ---

TEST_F(MenuViewModelTest, ItemsAreTheGroupsWithOneSeparatorBetweenEachTwo) {
    startShell();
    const auto content = menu().content();
    const auto items = menu().items();
    std::size_t entries = 0;
    for (const auto& group : content.groups) {
        entries += group.size();
    }
    ASSERT_EQ(static_cast<std::size_t>(items.size()), entries + content.groups.size() - 1);
    for (qsizetype i = 0; i < items.size(); ++i) {
        const bool separator = items[i].toMap().value("kind") == "separator";
        EXPECT_FALSE(separator && (i == 0 || i + 1 == items.size())) << i;
        EXPECT_FALSE(separator && i > 0 && items[i - 1].toMap().value("kind") == "separator") << i;
    }
    const auto left = item("command.zoneLeft");
    EXPECT_EQ(left.value("shortcut"), "Ctrl+Alt+←");
    EXPECT_EQ(left.value("shortcutGlyphs"), "⌃⌥←");
    EXPECT_EQ(item("snapOnDrag").value("checkable"), true);
}

TEST_F(WithoutInputMonitoring, StatusAsksForPermissions) {
    startShell();
    ASSERT_TRUE(sim.state->permissions().accessibility);
    EXPECT_EQ(item("status").value("title"), "Permissions needed");

    // Granted later: the entries announce the change and read the new status.
    EXPECT_GE(emissions(&menu(), &MenuViewModel::itemsChanged,
                        [&] {
                            sim.input.setListenEventAccess(true);
                            sim.scheduler.advance(2);
                            sim.scheduler.runPending();
                        }),
              1);
    EXPECT_EQ(item("status").value("title"), "Ready to arrange windows");
}

// Which application the switch names and when it is on are the menu's rules (MenuBarMenuTest);
// here, that it follows the state and writes through the shell's preferences.
TEST_F(MenuViewModelTest, TheIgnoreSwitchFollowsTheLastApplicationAndWritesThroughThePreferences) {
    startShell();
    EXPECT_GE(emissions(&menu(), &MenuViewModel::itemsChanged,
                        [&] { bringForward(notes, "com.example.Notes", "Notes"); }),
              1);
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
    menu().activate("ignoreApp");
    EXPECT_EQ(ignoredRaw(), "com.example.Notes");
}

TEST_F(MenuViewModelTest, TextOnlyAndUnknownEntriesDoNothing) {
    startShell();
    const int before = sim.shell->preferences().revision();
    for (const auto* id : {"status", "activeWindow", "separator.1", "nothing", ""}) {
        menu().activate(id);
    }
    EXPECT_EQ(sim.shell->preferences().revision(), before);
    EXPECT_EQ(sim.quitRequests, 0);
    EXPECT_TRUE(sim.services.calls().empty());
}

// --- Window commands ---

TEST_F(WithoutAccessibility, ACommandWithoutHotkeyCenterDoesNothing) {
    startShell();
    bringForward(notes, "com.example.Notes", "Notes");
    const auto window = sim.desktop.addWindow(notes, start);
    ASSERT_EQ(sim.state->hotkeys(), nullptr);

    menu().activate("command.fillScreen");
    EXPECT_EQ(sim.desktop.frame(window), start);
    EXPECT_TRUE(sim.desktop.writesTo(window).empty());
}

TEST_F(MenuViewModelTest, ACommandRunsThroughTheHotkeyCenter) {
    startShell();
    bringForward(notes, "com.example.Notes", "Notes");
    const auto window = sim.desktop.addWindow(notes, start);
    ASSERT_NE(sim.state->hotkeys(), nullptr);

    menu().activate("command.fillScreen");
    const auto expected =
        sim.state->mover().fillWindowFrame(sim.desktop.displays().screens().at(0));
    ASSERT_TRUE(sim.desktop.frame(window).has_value());
    EXPECT_EQ(*sim.desktop.frame(window), expected);
    EXPECT_NE(expected, start);
}

// --- Preview ---

TEST_F(MenuViewModelTest, PreviewBeforeMonitoringStartsShowsTheZonesForTwoPointFourSeconds) {
    // Not started: there is no drag monitor yet.
    ASSERT_EQ(sim.state->dragMonitor(), nullptr);

    menu().activate("previewZones");
    EXPECT_TRUE(sim.state->overlay().isVisible());
    EXPECT_GE(sim.surfaces.onScreenCount(), 1U);

    sim.scheduler.advance(2.39);
    EXPECT_TRUE(sim.state->overlay().isVisible());
    sim.scheduler.advance(0.01);
    EXPECT_FALSE(sim.state->overlay().isVisible());
}

// --- Pages ---

TEST_F(MenuViewModelTest, PageEntriesOpenTheMainWindowAtTheirPage) {
    startShell();
    using Call = SimAppServices::Call;

    menu().activate("editZones");
    EXPECT_EQ(sim.state->page(), AppPage::zones);
    menu().activate("settings");
    EXPECT_EQ(sim.state->page(), AppPage::settings);
    menu().activate("openTessera");
    EXPECT_EQ(sim.state->page(), AppPage::overview);
    EXPECT_EQ(sim.services.calls(), (std::vector<Call>{Call::showMainWindow, Call::showMainWindow,
                                                       Call::showMainWindow}));
}

// --- Tray ---

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
    EXPECT_TRUE(menu().trayAvailable());
}

// The actions of the tray menu, in order, without separators.
std::vector<QAction*> entryActions(QMenu& menu) {
    std::vector<QAction*> actions;
    for (auto* action : menu.actions()) {
        if (!action->isSeparator()) {
            actions.push_back(action);
        }
    }
    return actions;
}

TEST_F(MenuViewModelTest, TrayMenuActionsMatchTheItems) {
    // Next Display's keys are another program's: its item carries a note.
    sim.hotkeyPort.markTakenByOtherApplication(124, carbon::controlKey | carbon::optionKey |
                                                        carbon::cmdKey);
    startShell();
    EXPECT_EQ(item("command.nextDisplay").value("note"),
              "Another application uses Ctrl+Alt+Super+→.");
    bringForward(notes, "com.example.Notes", "Notes");
    sim.shell->preferences().setBool("snapOnDrag", false);
    processEvents();

    shell::TrayMenu tray(*sim.shell);
    // No tray offscreen: the icon stays hidden and the window offers the menu.
    EXPECT_FALSE(tray.isIconVisible());
    EXPECT_FALSE(menu().trayShown());

    const auto check = [&] {
        std::vector<QVariantMap> entries;
        int separators = 0;
        for (const auto& value : menu().items()) {
            const auto map = value.toMap();
            if (map.value("kind") == "separator") {
                ++separators;
            } else {
                entries.push_back(map);
            }
        }
        const auto actions = entryActions(tray.menu());
        ASSERT_EQ(actions.size(), entries.size());
        EXPECT_EQ(static_cast<int>(tray.menu().actions().size() - actions.size()), separators);
        for (std::size_t i = 0; i < actions.size(); ++i) {
            const auto& entry = entries[i];
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
            EXPECT_EQ(actions[i]->isEnabled(), entry.value("enabled").toBool())
                << entry.value("id").toString().toStdString();
        }
    };
    check();
    auto* ignore = tray.menu().findChild<QAction*>("ignoreApp");
    ASSERT_NE(ignore, nullptr);
    EXPECT_FALSE(ignore->isEnabled());
    EXPECT_EQ(tray.menu().findChild<QAction*>("command.zoneLeft")->text(),
              "Zone to the Left\tCtrl+Alt+←");

    // Choosing the switch in the tray writes the preference; the menu follows.
    tray.menu().findChild<QAction*>("snapOnDrag")->trigger();
    processEvents();
    EXPECT_TRUE(preferenceBool(sim.defaults, prefs::snapOnDrag));
    check();
    EXPECT_TRUE(tray.menu().findChild<QAction*>("ignoreApp")->isEnabled());

    tray.menu().findChild<QAction*>("ignoreApp")->trigger();
    processEvents();
    EXPECT_EQ(ignoredRaw(), "com.example.Notes");
    EXPECT_TRUE(tray.menu().findChild<QAction*>("ignoreApp")->isChecked());

    // Status text and heading cannot be chosen.
    EXPECT_FALSE(tray.menu().findChild<QAction*>("status")->isEnabled());
    EXPECT_FALSE(tray.menu().findChild<QAction*>("activeWindow")->isEnabled());

    // The open menu holds the keyboard; the keys it shows beside Quit still quit.
    tray.menu().popup(QPoint(0, 0));
    QTest::keyClick(&tray.menu(), Qt::Key_Q, Qt::ControlModifier);
    processEvents();

    EXPECT_EQ(sim.quitRequests, 1);
}

} // namespace
} // namespace tessera::test
