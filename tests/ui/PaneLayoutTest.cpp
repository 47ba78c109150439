// The settings panes as a user first sees them, in every language: long translations wrap, and
// the first layout pass must already put every control where it can be seen and clicked.

#include "AppViewModel.h"
#include "QtTestSupport.h"
#include "SimShell.h"
#include "ZonesPageModel.h"

#include "ShippedStrings.h"

#include <QDir>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessera::test {
namespace {

struct PaneCase {
    std::string language;
    const char* pane;
};

std::ostream& operator<<(std::ostream& out, const PaneCase& shown) {
    return out << shown.pane << "_" << shown.language;
}

bool isControl(const QQuickItem& item) {
    return item.inherits("QQuickAbstractButton") || item.inherits("QQuickComboBox") ||
           item.inherits("QQuickSpinBox") || item.inherits("QQuickSlider") ||
           item.inherits("QQuickTextField");
}

// The visible controls under the item; a control's own parts (a spin box's buttons) are not
// controls of the pane.
void collectControls(QQuickItem& item, std::vector<QQuickItem*>& found) {
    if (!item.isVisible() || item.opacity() == 0) {
        return;
    }
    if (isControl(item)) {
        found.push_back(&item);
        return;
    }
    for (auto* child : item.childItems()) {
        collectControls(*child, found);
    }
}

QRectF sceneRect(const QQuickItem& item) {
    return item.mapRectToScene(QRectF(0, 0, item.width(), item.height()));
}

// The part of the item left inside every clipping ancestor (a scrolled list shows only part).
QRectF seenRect(const QQuickItem& item) {
    QRectF seen = sceneRect(item);
    for (const QQuickItem* level = item.parentItem(); level != nullptr;
         level = level->parentItem()) {
        if (level->clip()) {
            seen &= sceneRect(*level);
        }
    }
    return seen;
}

std::string describe(const QQuickItem& item) {
    const auto rect = sceneRect(item);
    return item.metaObject()->className() + std::string(" '") + item.objectName().toStdString() +
           "' " + item.property("text").toString().toStdString() + " at " +
           std::to_string(rect.x()) + "," + std::to_string(rect.y()) + " " +
           std::to_string(rect.width()) + "x" + std::to_string(rect.height());
}

// Texts cut short by their item's width, under the item. A layout's miniature draws zone names
// at a fraction of their size and may cut them; Tessera's own texts must show whole.
void collectTruncated(QQuickItem& item, std::vector<std::string>& found) {
    if (!item.isVisible() ||
        QByteArray(item.metaObject()->className()).startsWith("MonitorPreview")) {
        return;
    }
    if (item.inherits("QQuickText") && item.property("truncated").toBool()) {
        found.push_back(item.property("text").toString().toStdString());
    }
    for (auto* child : item.childItems()) {
        collectTruncated(*child, found);
    }
}

class FirstLayout : public ::testing::TestWithParam<PaneCase> {
protected:
    // With TESSERA_SCREENSHOT_DIR set, the pictures are kept to be looked at.
    void keepPicture(const QString& name) {
        const auto folder = qEnvironmentVariable("TESSERA_SCREENSHOT_DIR");
        if (!folder.isEmpty()) {
            QDir().mkpath(folder);
            window->grabWindow().save(QDir(folder).filePath(name + ".png"));
        }
    }

    void SetUp() override {
        sim.start();
        sim.shell->expose(engine);
        engine.load(shell::moduleFile("Main.qml"));
        ASSERT_EQ(engine.rootObjects().size(), 1);
        window = qobject_cast<QQuickWindow*>(engine.rootObjects().front());
        ASSERT_NE(window, nullptr);
        // The smallest window: the width where long texts wrap most.
        window->resize(window->minimumSize());
        const QString shown = GetParam().pane;
        const bool onZonesPage = shown == "zones" || shown == "templates";
        sim.shell->app().setPage(onZonesPage ? "zones" : "settings");
        if (!onZonesPage) {
            sim.shell->app().setSettingsPane(shown);
        }
        sim.shell->zonesPage().setShowsPresets(shown == "templates");
        Q_EMIT sim.shell->app().showWindowRequested();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        processEvents();
        // The first frame lays the pane out; what it shows is what the user gets to click.
        window->grabWindow();
        keepPicture(shown + "-" + QString::fromStdString(GetParam().language));
        if (onZonesPage) {
            pane =
                findItem(window->contentItem(), shown == "zones" ? "inspector" : "presetGallery");
            ASSERT_NE(pane, nullptr);
            return;
        }
        auto* loader = findItem(window->contentItem(), "paneLoader");
        ASSERT_NE(loader, nullptr);
        ASSERT_FALSE(loader->childItems().isEmpty());
        pane = loader->childItems().front();
    }

    SimShell sim{SimShellOptions{.language = GetParam().language}};
    QQmlApplicationEngine engine;
    QQuickWindow* window = nullptr;
    QQuickItem* pane = nullptr;
};

TEST_P(FirstLayout, NoControlsOverlapNoTextIsCutAndEverySwitchTogglesWhereItIsDrawn) {
    std::vector<std::string> truncated;
    collectTruncated(*pane, truncated);
    EXPECT_EQ(truncated, std::vector<std::string>{});

    std::vector<QQuickItem*> controls;
    collectControls(*pane, controls);
    ASSERT_FALSE(controls.empty());
    for (std::size_t i = 0; i < controls.size(); ++i) {
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            const auto overlap = seenRect(*controls[i]).intersected(seenRect(*controls[j]));
            EXPECT_TRUE(overlap.width() < 1 || overlap.height() < 1)
                << describe(*controls[i]) << " overlaps " << describe(*controls[j]);
        }
    }

    int switches = 0;
    for (auto* control : controls) {
        if (!control->inherits("QQuickSwitch") || !control->isEnabled()) {
            continue;
        }
        ++switches;
        const bool before = control->property("checked").toBool();
        const auto centre = sceneRect(*control).center().toPoint();
        QTest::mouseClick(window, Qt::LeftButton, {}, centre);
        processEvents();
        EXPECT_NE(control->property("checked").toBool(), before)
            << "a click on the centre of " << describe(*control) << " missed it";
    }
    const QString shown = GetParam().pane;
    if (shown == "general" || shown == "windows") {
        EXPECT_GE(switches, 2);
    }
}

std::vector<PaneCase> everyLanguageAndPane() {
    std::vector<PaneCase> cases;
    for (const auto& language : shippedStringTables()->languages()) {
        for (const char* pane : {"general", "windows", "keyboard", "exclusions", "permissions",
                                 "zones", "templates"}) {
            cases.push_back({language, pane});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Panes, FirstLayout, ::testing::ValuesIn(everyLanguageAndPane()),
                         [](const ::testing::TestParamInfo<PaneCase>& info) {
                             return std::string(info.param.pane) + "_" + info.param.language;
                         });

} // namespace
} // namespace tessera::test
