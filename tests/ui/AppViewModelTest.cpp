#include "AppViewModel.h"
#include "MainWindow.h"
#include "Preferences.h"
#include "QtTestSupport.h"
#include "SimShell.h"
#include "SymbolImageProvider.h"
#include "UndoViewModel.h"

#include "GeneralPaneModel.h"
#include "core/app/AppState.h"
#include "core/store/LayoutStore.h"

#include "core/drag/DragOverlayController.h"

#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace tessera::test {
namespace {

TEST(AppViewModel, PagesAndPanesAreNamedByRawValueAndFollowTheState) {
    SimShell sim;
    sim.start();
    auto& app = sim.shell->app();

    ASSERT_EQ(app.pages().size(), 4);
    EXPECT_EQ(app.pages()[1].toMap()["rawValue"].toString(), "zones");
    EXPECT_EQ(app.pages()[1].toMap()["icon"].toString(), "rectangle.split.3x3");
    ASSERT_EQ(app.settingsPanes().size(), 5);
    EXPECT_EQ(app.settingsPanes()[4].toMap()["title"].toString(), "Permissions");

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

TEST(AppViewModel, AccessNeededFollowsBothPermissions) {
    SimShell sim({.accessibility = true, .inputMonitoring = false});
    sim.start();
    auto& app = sim.shell->app();
    EXPECT_TRUE(app.accessNeeded());
    EXPECT_TRUE(app.accessibilityGranted());
    EXPECT_FALSE(app.inputMonitoringGranted());

    sim.input.setListenEventAccess(true);
    EXPECT_GE(emissions(&app, &shell::AppViewModel::changed, [&] { sim.scheduler.advance(2); }), 1);
    EXPECT_FALSE(app.accessNeeded());
}

TEST(AppViewModel, AppearanceIsStoredAndResolvesSystemThroughTheDesktop) {
    SimShell sim;
    auto& app = sim.shell->app();
    EXPECT_EQ(app.appearance(), "system");
    EXPECT_FALSE(app.darkScheme());
    EXPECT_EQ(emissions(&app, &shell::AppViewModel::appearanceChanged,
                        [&] { app.setSystemPrefersDark(true); }),
              1);
    EXPECT_TRUE(app.darkScheme());

    app.setAppearance("light");
    EXPECT_FALSE(app.darkScheme());
    EXPECT_EQ(std::get<std::string>(*sim.defaults.object("appearance")), "light");
    // Something else wrote a value no choice has: the window falls back to the system's.
    sim.shell->preferences().setString("appearance", "sepia");
    EXPECT_EQ(app.appearance(), "system");
    EXPECT_TRUE(app.darkScheme());
    app.setAppearance("sepia");
    EXPECT_EQ(std::get<std::string>(*sim.defaults.object("appearance")), "sepia")
        << "an unknown choice is never written";
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

// The main window itself, offscreen: size limits, page picker and the page shortcuts.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim.start();
        host = std::make_unique<shell::MainWindow>(
            sim.shell->app(), QUrl("qrc:/qml/Main.qml"), [this](QQmlApplicationEngine& engine) {
                engine.addImageProvider("symbols",
                                        std::make_unique<shell::SymbolImageProvider>().release());
                sim.shell->expose(*engine.rootContext());
            });
        Q_EMIT sim.shell->app().showWindowRequested();
        window = host->window();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }

    // Walks the drawn items: delegates of a Repeater aren't QObject children of the window.
    static QQuickItem* find(QQuickItem* item, const QString& name) {
        if (item->objectName() == name) {
            return item;
        }
        for (auto* child : item->childItems()) {
            if (auto* found = find(child, name)) {
                return found;
            }
        }
        return nullptr;
    }
    QQuickItem* item(const char* name) const { return find(window->contentItem(), name); }

    SimShell sim;
    std::unique_ptr<shell::MainWindow> host;
    QQuickWindow* window = nullptr;
};

TEST_F(MainWindowTest, OpensAtItsDefaultSizeAndKeepsItsMinimum) {
    EXPECT_EQ(window->title(), "Tessera");
    EXPECT_EQ(window->objectName(), "main");
    EXPECT_EQ(window->size(), QSize(1180, 780));
    EXPECT_EQ(window->minimumSize(), QSize(960, 640));
}

TEST_F(MainWindowTest, CtrlNumbersAndCommaOpenThePages) {
    window->requestActivate();
    QTest::keyClick(window, Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(sim.state->page(), AppPage::zones);
    QTest::keyClick(window, Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(sim.state->page(), AppPage::about);
    QTest::keyClick(window, Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EQ(sim.state->page(), AppPage::settings);
    QTest::keyClick(window, Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(sim.state->page(), AppPage::overview);
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

TEST_F(MainWindowTest, AnImportDropsTheZoneEditsUndoSteps) {
    auto& undo = sim.shell->undo();
    auto edited = sim.state->store().layouts().front();
    edited.zones.front().height = 0.5;
    sim.state->applyLayoutChange(edited, "Edit Zone", &undo.manager());
    ASSERT_TRUE(undo.canUndo());
    Q_EMIT sim.shell->generalPane().imported();
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
    EXPECT_EQ(undo.undoTitle(), "Undo");
}

} // namespace
} // namespace tessera::test
