// The application's view model and the main window itself, offscreen: pages, shortcuts, the Edit
// menu's undo and redo, focus after a menu, and a window closed and opened again; the menu's
// entries as the window's menu button and the tray show them, and what choosing one does (which
// entries there are and when they are on is the core's menu, MenuBarMenuTest).

#include "AppViewModel.h"
#include "MainWindow.h"
#include "MenuViewModel.h"
#include "Preferences.h"
#include "QtTestSupport.h"
#include "SimShell.h"
#include "TrayMenu.h"
#include "UndoViewModel.h"
#include "ZonesPageModel.h"

#include "core/app/AppState.h"
#include "core/app/Preferences.h"
#include "core/drag/DragOverlayController.h"
#include "core/placement/AccessibilityWindowMover.h"
#include "core/store/LayoutStore.h"
#include "core/ui/MenuBarMenu.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QStyleHints>
#include <QTest>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tessera::test {
namespace {

// Opening pages from the controls: tst_settings.qml and tst_overview.qml.
using AppViewModel = ShellTest;

TEST_F(AppViewModel, PagesFollowTheStateAndChangesComeOnceATurnLater) {
    auto& app = sim.shell->app();
    app.setPage("about");
    EXPECT_EQ(sim.state->page(), AppPage::about);
    EXPECT_EQ(emissions(&app, &shell::AppViewModel::showWindowRequested,
                        [&] { app.openSettings("keyboard"); }),
              1);
    app.quit();
    EXPECT_EQ(sim.quitRequests, 1);

    QSignalSpy spy(&app, &shell::AppViewModel::changed);
    bool sawNewPage = false;
    QObject::connect(&app, &shell::AppViewModel::changed,
                     [&] { sawNewPage = app.page() == "overview"; });
    sim.state->setPage(AppPage::zones);
    sim.state->setPage(AppPage::overview);
    EXPECT_EQ(spy.count(), 0) << "announced before the state had changed";
    processEvents();
    EXPECT_EQ(spy.count(), 1) << "two changes in one turn are one announcement";
    EXPECT_TRUE(sawNewPage);
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim.start();
        host = std::make_unique<shell::MainWindow>(
            sim.shell->app(), shell::moduleFile("Main.qml"),
            [this](QQmlApplicationEngine& engine) { sim.shell->expose(engine); });
        open();
    }
    void open() {
        Q_EMIT sim.shell->app().showWindowRequested();
        window = host->window();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        window->requestActivate();
    }

    QQuickItem* item(const char* name) const { return findItem(window->contentItem(), name); }
    void click(const QQuickItem* item) {
        ASSERT_NE(item, nullptr);
        QTest::mouseClick(window, Qt::LeftButton, {}, centre(item));
    }
    static QPoint centre(const QQuickItem* item) {
        return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    }

    SimShell sim;
    std::unique_ptr<shell::MainWindow> host;
    QQuickWindow* window = nullptr;
};

TEST_F(MainWindowTest, KeysPickerAndBadgeOpenTheirPages) {
    for (const auto& [key, page] : {std::pair{Qt::Key_2, AppPage::zones},
                                    {Qt::Key_4, AppPage::about},
                                    {Qt::Key_1, AppPage::overview}}) {
        QTest::keyClick(window, key, Qt::ControlModifier);
        EXPECT_EQ(sim.state->page(), page) << key;
    }
    // The window commands' keys are global shortcuts; the menu's own keys work in the window.
    int pressed = 0;
    for (const auto& group : sim.shell->menu().content().groups) {
        for (const auto& entry : group) {
            if (!entry.shortcut || entry.command) {
                continue;
            }
            ++pressed;
            sim.state->setPage(AppPage::about);
            const auto quits = sim.quitRequests;
            QTest::keySequence(window, QKeySequence::fromString(
                                           QString::fromStdString(entry.shortcut->linuxText)));
            EXPECT_TRUE(entry.action == MenuAction::quit ? sim.quitRequests == quits + 1
                                                         : entry.page == sim.state->page())
                << entry.shortcut->linuxText;
        }
    }
    EXPECT_EQ(pressed, 2) << "Settings… and Quit Tessera show their keys";

    click(item("segment-about"));
    EXPECT_EQ(sim.state->page(), AppPage::about);
    auto* badge = item("accessNeededBadge");
    ASSERT_NE(badge, nullptr);
    EXPECT_FALSE(badge->isVisible());
    sim.desktop.setTrusted(false);
    sim.scheduler.advance(2);
    processEvents();
    EXPECT_TRUE(badge->isVisible());
    click(badge);
    EXPECT_EQ(sim.state->settingsPane(), SettingsPane::permissions);
}

TEST_F(MainWindowTest, CtrlZAndTheEditMenuUndoAndRedoZoneEditsByNameAlsoInAReopenedWindow) {
    auto* undoItem = window->findChild<QObject*>("undoItem");
    auto* redoItem = window->findChild<QObject*>("redoItem");
    ASSERT_TRUE(undoItem && redoItem);
    const auto text = [](QObject* item) { return item->property("text").toString(); };
    EXPECT_EQ(text(undoItem), "Undo");
    EXPECT_FALSE(undoItem->property("enabled").toBool());
    EXPECT_EQ(text(undoItem->findChild<QObject*>("shortcut")), "Ctrl+Z");
    EXPECT_EQ(text(redoItem->findChild<QObject*>("shortcut")), "Ctrl+Shift+Z");

    const auto before = sim.state->store().layouts().front();
    auto edited = before;
    edited.zones.front().width = 0.25;
    sim.state->applyLayoutChange(edited, "Edit Zone", &sim.shell->undo().manager());
    processEvents();
    EXPECT_EQ(text(undoItem), "Undo Edit Zone");
    EXPECT_FALSE(redoItem->property("enabled").toBool());
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    processEvents();
    EXPECT_EQ(sim.state->store().layouts().front(), before);
    EXPECT_EQ(text(redoItem), "Redo Edit Zone");
    EXPECT_TRUE(redoItem->property("enabled").toBool());
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    processEvents();
    EXPECT_EQ(sim.state->store().layouts().front(), edited);

    // Closed, the window lets go of its QML; the tray's "open" and a second launch bring it
    // back with the same state.
    sim.shell->app().setPage("zones");
    QSignalSpy released(host.get(), &shell::MainWindow::released);
    const QPointer<QQuickWindow> closed(window);
    window->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return closed.isNull(); }));
    EXPECT_EQ(host->window(), nullptr);
    EXPECT_EQ(released.count(), 1);
    open();
    EXPECT_NE(item("zonesPage"), nullptr);
    undoItem = window->findChild<QObject*>("undoItem");
    ASSERT_NE(undoItem, nullptr);
    QMetaObject::invokeMethod(undoItem, "triggered");
    processEvents();
    EXPECT_EQ(sim.state->store().layouts().front(), before);
}

// Hover as on a desktop (the offscreen platform has it off): the pointer over a menu title is
// part of what a menu does when it closes.
class MenuHoverTest : public MainWindowTest {
protected:
    void SetUp() override {
        QGuiApplication::styleHints()->setUseHoverEffects(true);
        MainWindowTest::SetUp();
    }
    void TearDown() override { QGuiApplication::styleHints()->setUseHoverEffects(hover); }
    const bool hover = QGuiApplication::styleHints()->useHoverEffects();
};

TEST_F(MenuHoverTest, ClosingTheEditMenuGivesTheKeysBackToTheZoneCanvas) {
    sim.state->setPage(AppPage::zones);
    processEvents();
    auto* canvas = item("zoneCanvas");
    auto* editTitle = item("editMenuTitle");
    auto* editMenu = window->findChild<QObject*>("editMenu");
    ASSERT_TRUE(canvas && editTitle && editMenu);
    canvas->forceActiveFocus();
    // A menu closed by Esc or by clicking its title again, the pointer over the title as a hand
    // leaves it, then moving on.
    for (const bool byEsc : {true, false}) {
        SCOPED_TRACE(byEsc ? "Esc" : "click");
        QTest::mouseMove(window, centre(editTitle));
        click(editTitle);
        QTRY_VERIFY(editMenu->property("opened").toBool());
        byEsc ? QTest::keyClick(window, Qt::Key_Escape) : click(editTitle);
        QTRY_VERIFY(!editMenu->property("visible").toBool());
        QTest::mouseMove(window, centre(canvas));
        processEvents();

        EXPECT_TRUE(canvas->hasActiveFocus());
        EXPECT_FALSE(editTitle->property("highlighted").toBool());
        // The arrow keys nudge the selected zone again, towards whichever side has room.
        const auto before = sim.state->store().layouts();
        const bool atLeftEdge = sim.shell->zonesPage().exactSizeTexts().front() == "0%";
        QTest::keyClick(window, atLeftEdge ? Qt::Key_Right : Qt::Key_Left);
        EXPECT_NE(sim.state->store().layouts(), before);
    }
}

// --- The menu ---

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

    // Grants the permissions later; the state sees them at its next poll.
    void grant() {
        sim.desktop.setTrusted(true);
        sim.input.setListenEventAccess(true);
        sim.scheduler.advance(2);
        sim.scheduler.runPending();
    }

    SimShell sim{SimShellOptions{.accessibility = false, .inputMonitoring = false}};
};

TEST_F(MenuViewModelTest, PreviewPageEntriesStatusAndWindowCommandsFollowThePermissions) {
    // Not started, there is no drag monitor yet: the state times the preview (AppStateTest).
    ASSERT_EQ(sim.state->dragMonitor(), nullptr);
    menu().activate("previewZones");
    EXPECT_GE(sim.surfaces.onScreenCount(), 1U);

    startShell();
    using Call = SimAppServices::Call;
    for (const auto& [id, page] : {std::pair{"editZones", AppPage::zones},
                                   {"settings", AppPage::settings},
                                   {"openTessera", AppPage::overview}}) {
        menu().activate(id);
        EXPECT_EQ(sim.state->page(), page) << id;
    }
    EXPECT_EQ(sim.services.calls(), std::vector<Call>(3, Call::showMainWindow));

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

// The window's menu button shows the same items: tst_menu.qml.
TEST_F(MenuViewModelTest, TrayMenuActionsMatchTheItemsAndActButDisabledEntriesDoNothing) {
    // Next Display's keys are another program's: its item carries a note.
    sim.hotkeyPort.markTakenByOtherApplication(124, carbon::controlKey | carbon::optionKey |
                                                        carbon::cmdKey);
    startShell();
    grant();
    EXPECT_GE(emissions(&menu(), &MenuViewModel::itemsChanged, [&] { bringNotesForward(); }), 1);
    auto& preferences = sim.shell->preferences();
    // Disabled while drag to snap is off: choosing it anyway changes nothing.
    preferences.setBool("snapOnDrag", false);
    processEvents();
    EXPECT_EQ(item("ignoreApp").value("enabled"), false);
    const int revision = preferences.revision();
    for (const auto* id : {"ignoreApp", "status", "activeWindow", "separator.1", "nothing", ""}) {
        menu().activate(id);
    }
    EXPECT_EQ(preferences.revision(), revision);
    EXPECT_EQ(sim.quitRequests, 0);
    EXPECT_EQ(sim.services.calls().size(), 0u);

    shell::TrayMenu tray(*sim.shell);
    // No tray offscreen: the icon stays hidden and the window offers the menu.
    EXPECT_FALSE(tray.isIconVisible());
    EXPECT_FALSE(menu().trayShown());
    EXPECT_EQ(
        emissions(&menu(), &MenuViewModel::trayChanged, [&] { menu().setTrayAvailable(true); }), 1);
    EXPECT_TRUE(menu().trayShown());
    EXPECT_EQ(emissions(&menu(), &MenuViewModel::trayChanged,
                        [&] { preferences.setBool("showsMenuBarIcon", false); }),
              1);
    EXPECT_FALSE(menu().trayShown());
    // The whole menu against the core's entries: tests/ui/TrayKWinTest.cpp, as a panel reads it.
    const auto action = [&](const char* id) { return tray.menu().findChild<QAction*>(id); };
    EXPECT_EQ(action("command.nextDisplay")->toolTip(),
              "Another application uses Ctrl+Alt+Super+→.");
    EXPECT_EQ(action("command.zoneLeft")->text(), "Zone to the Left\tCtrl+Alt+←");

    // Choosing the switch in the tray writes the preference; the menu follows.
    action("snapOnDrag")->trigger();
    processEvents();
    EXPECT_TRUE(preferenceBool(sim.defaults, prefs::snapOnDrag));
    EXPECT_TRUE(action("snapOnDrag")->isChecked());
    EXPECT_EQ(item("ignoreApp").value("title"), "Don’t Show Zones for “Notes”");
    QStringList changedKeys;
    QObject::connect(&preferences, &shell::Preferences::changed, &preferences,
                     [&](const QString& key) { changedKeys.append(key); });
    action("ignoreApp")->trigger();
    processEvents();
    EXPECT_EQ(ignoredApps(sim), "com.example.Notes");
    EXPECT_EQ(item("ignoreApp").value("checked"), true);
    // So the Exclusions pane follows.
    EXPECT_EQ(changedKeys, QStringList{"ignoredApps"});

    // The open menu holds the keyboard; the keys it shows beside Quit still quit.
    tray.menu().popup(QPoint(0, 0));
    QTest::keyClick(&tray.menu(), Qt::Key_Q, Qt::ControlModifier);
    processEvents();
    EXPECT_EQ(sim.quitRequests, 1);
}

} // namespace
} // namespace tessera::test
