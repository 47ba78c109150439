#include "AppViewModel.h"
#include "MainWindow.h"
#include "MenuViewModel.h"
#include "Preferences.h"
#include "QtTestSupport.h"
#include "SimShell.h"
#include "UndoViewModel.h"
#include "ZonesPageModel.h"

#include "GeneralPaneModel.h"
#include "core/app/AppState.h"
#include "core/store/LayoutStore.h"

#include "core/drag/DragOverlayController.h"
#include "core/ui/MenuBarMenu.h"

#include <QGuiApplication>
#include <QKeySequence>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QStyleHints>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tessera::test {
namespace {

TEST(AppViewModel, PagesAndPanesAreNamedByRawValueAndFollowTheState) {
    SimShell sim;
    sim.start();
    auto& app = sim.shell->app();

    EXPECT_EQ(emissions(&app, &shell::AppViewModel::changed, [&] { app.setPage("about"); }), 1);
    EXPECT_EQ(sim.state->page(), AppPage::about);
    // A name that isn't a page leaves the page alone.
    app.setPage("nowhere");
    EXPECT_EQ(app.page(), "about");

    EXPECT_EQ(emissions(&app, &shell::AppViewModel::showWindowRequested,
                        [&] { app.openSettings("keyboard"); }),
              1);
    EXPECT_EQ(sim.state->page(), AppPage::settings);
    EXPECT_EQ(sim.state->settingsPane(), SettingsPane::keyboard);

    app.editZones("Display B");
    EXPECT_EQ(app.page(), "zones");
    EXPECT_EQ(app.editorScreenID(), "Display B");
}

TEST(AppViewModel, ChangesOfTheStateComeOnceATurnLaterWithTheNewValues) {
    SimShell sim;
    sim.start();
    auto& app = sim.shell->app();
    QSignalSpy spy(&app, &shell::AppViewModel::changed);
    bool sawNewPage = false;
    QObject::connect(&app, &shell::AppViewModel::changed,
                     [&] { sawNewPage = app.page() == "settings"; });
    sim.state->setPage(AppPage::zones);
    sim.state->setPage(AppPage::settings);
    EXPECT_EQ(spy.count(), 0) << "announced before the state had changed";
    processEvents();
    EXPECT_EQ(spy.count(), 1) << "two changes in one turn are one announcement";
    EXPECT_TRUE(sawNewPage);
}

TEST(AppViewModel, QuitAndPreviewGoThroughTheApplication) {
    SimShell sim;
    sim.start();
    auto& app = sim.shell->app();
    app.quit();
    EXPECT_EQ(sim.quitRequests, 1);

    app.previewZones();
    EXPECT_TRUE(sim.state->overlay().isVisible());
    sim.scheduler.advance(2.5);
    EXPECT_FALSE(sim.state->overlay().isVisible());
}

// The main window itself, offscreen: size limits, page picker, shortcuts and menus.
class MainWindowTest : public ::testing::Test {
protected:
    explicit MainWindowTest(std::string language = "en") : sim({.language = std::move(language)}) {}

    void SetUp() override {
        sim.start();
        host = std::make_unique<shell::MainWindow>(
            sim.shell->app(), shell::moduleFile("Main.qml"),
            [this](QQmlApplicationEngine& engine) { sim.shell->expose(engine); });
        Q_EMIT sim.shell->app().showWindowRequested();
        window = host->window();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }

    QQuickItem* item(const char* name) const { return findItem(window->contentItem(), name); }
    QObject* object(const char* name) const { return window->findChild<QObject*>(name); }
    static QPoint centre(const QQuickItem* item) {
        return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    }

    SimShell sim;
    std::unique_ptr<shell::MainWindow> host;
    QQuickWindow* window = nullptr;
};

TEST_F(MainWindowTest, CtrlNumbersAndTheKeysTheMenuShowsWork) {
    window->requestActivate();
    QTest::keyClick(window, Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(sim.state->page(), AppPage::zones);
    QTest::keyClick(window, Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(sim.state->page(), AppPage::about);
    QTest::keyClick(window, Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(sim.state->page(), AppPage::overview);

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
}

TEST_F(MainWindowTest, TheSectionPickerSwitchesPagesAndTheBadgeFollowsPermissions) {
    auto* segment = item("segment-about");
    ASSERT_NE(segment, nullptr);
    const auto centre = segment->mapToScene(QPointF(segment->width() / 2, segment->height() / 2));
    QTest::mouseClick(window, Qt::LeftButton, {}, centre.toPoint());
    EXPECT_EQ(sim.state->page(), AppPage::about);

    auto* badge = item("accessNeededBadge");
    ASSERT_NE(badge, nullptr);
    EXPECT_FALSE(badge->isVisible());
    sim.desktop.setTrusted(false);
    sim.scheduler.advance(2);
    processEvents();
    EXPECT_TRUE(badge->isVisible());
    const auto badgeCentre = badge->mapToScene(QPointF(badge->width() / 2, badge->height() / 2));
    QTest::mouseClick(window, Qt::LeftButton, {}, badgeCentre.toPoint());
    EXPECT_EQ(sim.state->page(), AppPage::settings);
    EXPECT_EQ(sim.state->settingsPane(), SettingsPane::permissions);
}

TEST_F(MainWindowTest, CtrlZAndTheEditMenuUndoAndRedoZoneEditsByName) {
    auto& undo = sim.shell->undo();
    auto* undoItem = window->findChild<QObject*>("undoItem");
    auto* redoItem = window->findChild<QObject*>("redoItem");
    ASSERT_NE(undoItem, nullptr);
    ASSERT_NE(redoItem, nullptr);
    EXPECT_EQ(undoItem->property("text").toString(), "Undo");
    EXPECT_FALSE(undoItem->property("enabled").toBool());
    EXPECT_EQ(undoItem->findChild<QObject*>("shortcut")->property("text").toString(), "Ctrl+Z");
    EXPECT_EQ(redoItem->findChild<QObject*>("shortcut")->property("text").toString(),
              "Ctrl+Shift+Z");

    const auto before = sim.state->store().layouts().front();
    auto edited = before;
    edited.zones.front().width = 0.25;
    sim.state->applyLayoutChange(edited, "Edit Zone", &undo.manager());
    processEvents();
    EXPECT_EQ(undoItem->property("text").toString(), "Undo Edit Zone");
    EXPECT_TRUE(undoItem->property("enabled").toBool());
    EXPECT_FALSE(redoItem->property("enabled").toBool());

    window->requestActivate();
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    processEvents();
    EXPECT_EQ(sim.state->store().layouts().front(), before);
    EXPECT_EQ(redoItem->property("text").toString(), "Redo Edit Zone");
    EXPECT_TRUE(redoItem->property("enabled").toBool());
    EXPECT_FALSE(undo.canUndo());

    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    processEvents();
    EXPECT_EQ(sim.state->store().layouts().front(), edited);
    EXPECT_TRUE(undo.canUndo());

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
    ASSERT_NE(canvas, nullptr);
    window->requestActivate();
    canvas->forceActiveFocus();

    auto* editTitle = item("editMenuTitle");
    ASSERT_NE(editTitle, nullptr);
    auto* editMenu = object("editMenu");
    // A menu closed by Esc or by clicking its title again, the pointer over the title as a hand
    // leaves it, then moving on.
    for (const bool byEsc : {true, false}) {
        const auto* how = byEsc ? "Esc" : "click";
        QTest::mouseMove(window, centre(editTitle));
        QTest::mouseClick(window, Qt::LeftButton, {}, centre(editTitle));
        QTRY_VERIFY(editMenu->property("opened").toBool());
        byEsc ? QTest::keyClick(window, Qt::Key_Escape)
              : QTest::mouseClick(window, Qt::LeftButton, {}, centre(editTitle));
        QTRY_VERIFY(!editMenu->property("visible").toBool());
        QTest::mouseMove(window, centre(canvas));
        processEvents();

        EXPECT_TRUE(canvas->hasActiveFocus()) << how;
        EXPECT_FALSE(editTitle->property("highlighted").toBool()) << how;
        // The arrow keys nudge the selected zone again, towards whichever side has room.
        const auto before = sim.state->store().layouts();
        const bool atLeftEdge = sim.shell->zonesPage().exactSizeTexts().front() == "0%";
        QTest::keyClick(window, atLeftEdge ? Qt::Key_Right : Qt::Key_Left);
        EXPECT_NE(sim.state->store().layouts(), before) << how;
    }
}

TEST_F(MainWindowTest, AClosedWindowLetsGoOfItsQmlAndReopensWithTheSameState) {
    auto edited = sim.state->store().layouts().front();
    const auto before = edited;
    edited.zones.front().height = 0.5;
    sim.state->applyLayoutChange(edited, "Edit Zone", &sim.shell->undo().manager());
    sim.shell->app().setPage("zones");
    QSignalSpy released(host.get(), &shell::MainWindow::released);

    const QPointer<QQuickWindow> closed(window);
    window->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return closed.isNull(); }));
    EXPECT_EQ(host->window(), nullptr);
    EXPECT_EQ(released.count(), 1);

    // The tray's "open" and a second launch ask the same way.
    Q_EMIT sim.shell->app().showWindowRequested();
    window = host->window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_NE(item("zonesPage"), nullptr);
    window->requestActivate();
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    processEvents();
    EXPECT_EQ(sim.state->store().layouts().front(), before);
}

} // namespace
} // namespace tessera::test
