// The application's view model and the main window itself, offscreen: pages, shortcuts, the Edit
// menu's undo and redo, focus after a menu, and a window closed and opened again.

#include "AppViewModel.h"
#include "MainWindow.h"
#include "MenuViewModel.h"
#include "QtTestSupport.h"
#include "SimShell.h"
#include "UndoViewModel.h"
#include "ZonesPageModel.h"

#include "core/app/AppState.h"
#include "core/drag/DragOverlayController.h"
#include "core/store/LayoutStore.h"
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

namespace tessera::test {
namespace {

// Opening pages from the controls: tst_settings.qml and tst_overview.qml.
TEST(AppViewModel, PagesFollowTheStateAndChangesComeOnceATurnLater) {
    SimShell sim;
    sim.start();
    auto& app = sim.shell->app();
    app.setPage("about");
    app.setPage("nowhere");
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
    // A zone edit with an undo step; the layout before it.
    Layout editZone() {
        const auto before = sim.state->store().layouts().front();
        auto edited = before;
        edited.zones.front().width = 0.25;
        sim.state->applyLayoutChange(edited, "Edit Zone", &sim.shell->undo().manager());
        processEvents();
        return before;
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

TEST_F(MainWindowTest, CtrlZAndTheEditMenuUndoAndRedoZoneEditsByName) {
    auto* undoItem = window->findChild<QObject*>("undoItem");
    auto* redoItem = window->findChild<QObject*>("redoItem");
    ASSERT_TRUE(undoItem && redoItem);
    const auto text = [](QObject* item) { return item->property("text").toString(); };
    EXPECT_EQ(text(undoItem), "Undo");
    EXPECT_FALSE(undoItem->property("enabled").toBool());
    EXPECT_EQ(text(undoItem->findChild<QObject*>("shortcut")), "Ctrl+Z");
    EXPECT_EQ(text(redoItem->findChild<QObject*>("shortcut")), "Ctrl+Shift+Z");

    const auto before = editZone();
    const auto edited = sim.state->store().layouts().front();
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

TEST_F(MainWindowTest, AClosedWindowLetsGoOfItsQmlAndReopensWithTheSameState) {
    const auto before = editZone();
    sim.shell->app().setPage("zones");
    QSignalSpy released(host.get(), &shell::MainWindow::released);
    const QPointer<QQuickWindow> closed(window);
    window->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return closed.isNull(); }));
    EXPECT_EQ(host->window(), nullptr);
    EXPECT_EQ(released.count(), 1);

    // The tray's "open" and a second launch ask the same way.
    open();
    EXPECT_NE(item("zonesPage"), nullptr);
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    processEvents();
    EXPECT_EQ(sim.state->store().layouts().front(), before);
}

} // namespace
} // namespace tessera::test
