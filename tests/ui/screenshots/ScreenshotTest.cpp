#include "AppViewModel.h"
#include "QtOverlaySurface.h"
#include "ScreenshotEnvironment.h"
#include "SimShell.h"
#include "TextRecognition.h"

#include "core/model/Records.h"
#include "platform/sim/SimDisplays.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace tessera::screenshots {
namespace {

// Frames are rendered on demand; none should take this long even on a busy machine.
constexpr int frameTimeoutMs = 5000;
// How long a picture may keep changing (page loading, images decoding, animations) before the
// latest one is taken anyway: a blinking text cursor never settles.
constexpr qint64 settleTimeoutMs = 8000;

// Renders the next frame of the window and waits until it is on screen.
bool nextFrame(QQuickWindow& window) {
    QEventLoop loop;
    bool swapped = false;
    QObject::connect(&window, &QQuickWindow::frameSwapped, &loop, [&] {
        swapped = true;
        loop.quit();
    });
    QTimer::singleShot(frameTimeoutMs, &loop, &QEventLoop::quit);
    window.update();
    loop.exec();
    return swapped;
}

// The window's picture once two frames in a row are alike.
QImage settledPicture(QQuickWindow& window) {
    QElapsedTimer clock;
    clock.start();
    QImage previous;
    while (true) {
        nextFrame(window);
        QImage picture = window.grabWindow();
        if ((!previous.isNull() && picture == previous) || clock.elapsed() > settleTimeoutMs) {
            return picture;
        }
        previous = std::move(picture);
    }
}

QString picturePath(const QString& name) {
    const QString folder = screenshotFolder();
    QDir().mkpath(folder);
    return QDir(folder).filePath(name + QStringLiteral(".png"));
}

std::string joined(const std::vector<std::string>& texts) {
    std::ostringstream out;
    for (const auto& text : texts) {
        out << (out.tellp() > 0 ? ", " : "") << '"' << text << '"';
    }
    return out.str();
}

// Reads the picture and checks that every expected text is in it.
void expectTextsIn(const QString& path, const std::vector<std::string>& expected) {
    const auto recognition = recognizeText(path);
    ASSERT_TRUE(recognition.error.empty()) << recognition.error;
    const auto missing = missingTexts(recognition.text, expected);
    EXPECT_TRUE(missing.empty()) << "not found in " << path.toStdString() << ": " << joined(missing)
                                 << "\n--- the text read ---\n"
                                 << recognition.text;
}

// Real overlay windows for the shell's state. The factory needs the shell's preferences, so it
// is made once the shell exists; the state asks for panels only when the overlay first shows.
class DeferredOverlaySurfaces final : public OverlaySurfaceFactory {
public:
    void makeWith(std::unique_ptr<OverlaySurfaceFactory> factory) { factory_ = std::move(factory); }
    std::unique_ptr<OverlaySurface> makeSurface(const Rect& displayFrame,
                                                std::shared_ptr<OverlayState> state) override {
        return factory_->makeSurface(displayFrame, std::move(state));
    }

private:
    std::unique_ptr<OverlaySurfaceFactory> factory_;
};

// One display filling the X screen, no menu bar or dock, so the bottom-left frames of the
// simulated desktop map straight onto the screen's pixels.
class ShellOnDesktop : public ::testing::Test {
protected:
    ShellOnDesktop() {
        overlays.makeWith(std::make_unique<shell::QtOverlaySurfaceFactory>(
            shell::QtOverlaySurfaceFactory::Environment{
                sim.defaults,
                [](const Rect& frame) {
                    return QRect(static_cast<int>(frame.minX()),
                                 static_cast<int>(screenHeight - frame.maxY()),
                                 static_cast<int>(frame.width()), static_cast<int>(frame.height()));
                },
                [] { return false; }}));
        sim.desktop.displays().setScreens({simscreens::display({0, 0, screenWidth, screenHeight},
                                                               "Screenshot Display", 1, 0, 0)});
        sim.start();
    }

    shell::AppViewModel& app() { return sim.shell->app(); }

    DeferredOverlaySurfaces overlays;
    test::SimShell sim{test::SimShellOptions{.overlaySurfaces = &overlays}};
};

class MainWindowScreenshots : public ShellOnDesktop {
protected:
    void SetUp() override {
        sim.shell->expose(engine);
        engine.load(shell::moduleFile(QStringLiteral("Main.qml")));
        ASSERT_EQ(engine.rootObjects().size(), 1) << "Main.qml did not load";
        window = qobject_cast<QQuickWindow*>(engine.rootObjects().front());
        ASSERT_NE(window, nullptr);
        // Tall enough for the longest page, so nothing is scrolled out of the picture.
        window->setGeometry(0, 0, 1180, screenHeight - 40);
        Q_EMIT app().showWindowRequested();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }
    // Shows the page (and pane) the way the page picker and the Settings list do, and waits
    // until the window has heard of it.
    void open(const QString& page, const std::optional<QString>& pane) {
        QSignalSpy changed(&app(), &shell::AppViewModel::changed);
        const bool differs = app().page() != page || (pane && app().settingsPane() != *pane);
        app().setPage(page);
        if (pane) {
            app().setSettingsPane(*pane);
        }
        ASSERT_EQ(app().page(), page);
        if (pane) {
            ASSERT_EQ(app().settingsPane(), *pane);
        }
        if (differs) {
            ASSERT_TRUE(changed.count() > 0 || changed.wait(frameTimeoutMs));
        }
    }

    QQmlApplicationEngine engine;
    QQuickWindow* window = nullptr;
};

struct PageShot {
    const char* name;
    const char* page;
    // The Settings pane shown, for the Settings page.
    const char* pane;
    // Texts of the page, in English, that a reader must find in the picture.
    std::vector<std::string> texts;
};

std::ostream& operator<<(std::ostream& out, const PageShot& shot) {
    return out << shot.name;
}

class PageScreenshot : public MainWindowScreenshots,
                       public ::testing::WithParamInterface<PageShot> {};

TEST_P(PageScreenshot, ShowsTheTextsOfThePage) {
    const auto& shot = GetParam();
    open(QString::fromUtf8(shot.page),
         shot.pane ? std::optional<QString>(QString::fromUtf8(shot.pane)) : std::nullopt);
    const QImage picture = settledPicture(*window);
    ASSERT_FALSE(picture.isNull()) << "the window could not be grabbed";
    const QString path = picturePath(QString::fromUtf8(shot.name));
    ASSERT_TRUE(picture.save(path)) << "cannot write " << path.toStdString();
    expectTextsIn(path, shot.texts);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PageScreenshot,
    ::testing::Values(
        PageShot{"overview",
                 "overview",
                 nullptr,
                 {"Monitors", "Each monitor has its own layout", "Show zones on all monitors",
                  "Dragging", "Drag a window by its title bar", "Keyboard", "Fill Screen",
                  "Customize"}},
        PageShot{"settings",
                 "settings",
                 nullptr,
                 // The selected row (General here) is white on the accent colour, which the
                 // recognizer can't read.
                 {"Windows", "Keyboard", "Exclusions", "Permissions", "Appearance"}},
        PageShot{"about",
                 "about",
                 nullptr,
                 {"Tessera", "Version", "Windows snap into your own zones", "Made by"}},
        PageShot{"settings-general",
                 "settings",
                 "general",
                 {"Appearance", "Language", "Show in System Tray", "Open at Login", "Layouts",
                  "Built-in Layouts", "Backup", "Show Automatic Copies"}},
        PageShot{"settings-windows",
                 "settings",
                 "windows",
                 {"Exclusions", "Dragging", "Arrange windows while dragging", "Zone card size",
                  "Show Zones", "Spacing", "Gap between windows", "Zone Editor"}},
        PageShot{"settings-keyboard",
                 "settings",
                 "keyboard",
                 {"Fill Screen", "Zone to the Left", "Zone Below", "Next Display",
                  "Restore Default Shortcuts"}},
        PageShot{"settings-exclusions",
                 "settings",
                 "exclusions",
                 {"Ignored Apps", "Keyboard shortcuts still work", "No ignored apps"}},
        PageShot{"settings-permissions",
                 "settings",
                 "permissions",
                 {"Accessibility", "Move and resize other apps", "Input Monitoring",
                  "Relaunch Tessera"}},
        // The first zone is selected when the page opens, so the inspector shows all its
        // sections.
        PageShot{"zones",
                 "zones",
                 nullptr,
                 {"Zones", "Show zones on all monitors", "Monitor Layout", "New", "Add Zone",
                  "Clear", "Grid", "Drag a zone or its edges", "Layout", "Name", "Monitors",
                  "Duplicate", "Shortcut", "Split in Half", "Delete Zone", "Position", "Width",
                  "Height", "Top Left"}}),
    [](const ::testing::TestParamInfo<PageShot>& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

// The overlay as a user sees it: translucent windows over the desktop, blended by the
// compositor, so the picture comes from the screen rather than from the window.
class OverlayScreenshot : public ShellOnDesktop {};

std::vector<QQuickWindow*> exposedOverlayWindows() {
    std::vector<QQuickWindow*> windows;
    for (auto* window : QGuiApplication::topLevelWindows()) {
        if (auto* quick = qobject_cast<QQuickWindow*>(window); quick && quick->isExposed()) {
            windows.push_back(quick);
        }
    }
    return windows;
}

TEST_F(OverlayScreenshot, PreviewShowsTheZoneNamesOfTheDisplaysLayout) {
    ASSERT_EQ(sim.state->screens().size(), 1u);
    const Layout layout = sim.state->store().layoutFor(sim.state->screens().front());
    ASSERT_FALSE(layout.zones.empty());
    std::vector<std::string> names;
    for (const auto& zone : layout.zones) {
        names.push_back(zone.name);
    }

    // A factory that makes no windows would leave the state holding no panel at all.
    const SystemDisplay screen = sim.desktop.displays().screens().front();
    ASSERT_NE(
        overlays.makeSurface(screen.frame, std::make_shared<OverlayState>(OverlayScreenModel{
                                               "probe", screen.frame, screen.visibleFrame, {}})),
        nullptr)
        << "the Qt overlay makes no windows";

    app().previewZones();
    // The panels turn visible a moment after they are ordered front.
    sim.scheduler.advance(0.1);
    ASSERT_TRUE(QTest::qWaitFor([] { return !exposedOverlayWindows().empty(); }, frameTimeoutMs))
        << "no overlay window came on screen";
    for (auto* window : exposedOverlayWindows()) {
        settledPicture(*window);
    }
    EXPECT_TRUE(desktop().compositorRunning()) << "picom stopped";

    // The compositor draws the windows a moment later: take the screen until it stops changing.
    const QString path = picturePath(QStringLiteral("overlay"));
    QImage previous;
    QElapsedTimer clock;
    clock.start();
    while (true) {
        const auto error = desktop().grabScreen(path.toStdString());
        ASSERT_FALSE(error) << *error;
        QImage screen(path);
        ASSERT_FALSE(screen.isNull()) << "unreadable screenshot " << path.toStdString();
        if ((!previous.isNull() && screen == previous) || clock.elapsed() > settleTimeoutMs) {
            break;
        }
        previous = std::move(screen);
        QCoreApplication::processEvents();
    }
    expectTextsIn(path, names);
}

} // namespace
} // namespace tessera::screenshots
