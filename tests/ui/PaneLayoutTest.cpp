// Every page, pane, sheet, alert and menu of the main window as a user first sees it, in every
// language and in both schemes: long translations wrap, the first layout pass must already put
// every control where it can be seen and clicked, and every text is the language's own where
// its table translates it. Each picture is kept to be looked at.

#include "AppViewModel.h"
#include "GeneralPaneModel.h"
#include "KeyboardPaneModel.h"
#include "MainWindow.h"
#include "QtTestSupport.h"
#include "ShortcutRecorderModel.h"
#include "SimShell.h"
#include "Theme.h"
#include "ZonesPageModel.h"

#include "ShippedStrings.h"

#include <QDebug>
#include <QDir>
#include <QGuiApplication>
#include <QPalette>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace tessera::test {
namespace {

// Something the main window shows and how a user brings it up.
struct Shown {
    const char* name;
    const char* page;
    // The Settings pane, on the Settings page.
    const char* pane = nullptr;
    // The object checked: a page, or the pop-up (sheet, alert, menu) that was opened. None: the
    // Settings pane shown.
    const char* item = nullptr;
    // What the user clicked once the page was on screen, with the secondary button for a
    // context menu, or what else they did.
    const char* clicked = nullptr;
    Qt::MouseButton button = Qt::LeftButton;
    void (*open)(SimShell&) = nullptr;
    // How things stood before Tessera started.
    void (*before)(SimShell&) = nullptr;
};

struct ShownCase {
    const Shown* shown;
    std::string language;
    bool dark;
    std::string name() const {
        return std::string(shown->name) + "-" + language + "-" + (dark ? "dark" : "light");
    }
};

QRectF sceneRect(const QQuickItem& item) {
    return item.mapRectToScene(QRectF(0, 0, item.width(), item.height()));
}

// The object of that name owned by an item at or under `item`: pop-ups are no items, and those
// of a Repeater's delegates aren't QObject children of the window.
QObject* findObject(QQuickItem* item, const QString& name) {
    if (item->objectName() == name) {
        return item;
    }
    if (auto* owned = item->findChild<QObject*>(name, Qt::FindDirectChildrenOnly)) {
        return owned;
    }
    for (auto* child : item->childItems()) {
        if (auto* found = findObject(child, name)) {
            return found;
        }
    }
    return nullptr;
}

// A backup file: an export, or these contents.
QString backupFile(SimShell& sim, const char* contents = nullptr) {
    const auto file = QString::fromStdString((sim.temp.path() / "Tessera Backup.json").string());
    if (contents != nullptr) {
        std::ofstream(file.toStdString()) << contents;
    } else {
        sim.shell->generalPane().exportTo(file);
    }
    return file;
}

const std::vector<Shown>& everythingShown() {
    constexpr auto left = Qt::LeftButton;
    constexpr auto right = Qt::RightButton;
    static const std::vector<Shown> shown{
        {"overview", "overview", nullptr, "overviewPage"},
        {"about", "about", nullptr, "aboutPage"},
        {"zones", "zones", nullptr, "zonesPage"},
        {"general", "settings", "general"},
        {"windows", "settings", "windows"},
        {"keyboard", "settings", "keyboard"},
        {"exclusions", "settings", "exclusions"},
        {"permissions", "settings", "permissions"},
        // Conflicts and keys another program holds, written under their rows.
        {"keyboard-conflicts", "settings", "keyboard", nullptr, nullptr, left,
         [](SimShell& sim) {
             auto& recorder = *sim.shell->keyboardPane().recorder(WindowCommand::zoneUp);
             recorder.click();
             recorder.keyPressed(Qt::Key_Down, 0, Qt::ControlModifier | Qt::AltModifier);
         },
         [](SimShell& sim) { sim.hotkeyPort.markTakenByOtherApplication(123, 0x1800); }},
        {"general-exported", "settings", "general", nullptr, nullptr, left,
         [](SimShell& sim) { backupFile(sim); }},
        {"templates", "zones", nullptr, "presetSheet", nullptr, left,
         [](SimShell& sim) { sim.shell->zonesPage().setShowsPresets(true); }},
        {"grid", "zones", nullptr, "gridPopover", "gridButton"},
        {"delete-layout", "zones", nullptr, "deleteLayoutDialog", nullptr, left,
         [](SimShell& sim) { sim.shell->zonesPage().requestLayoutDeletion(); }},
        {"layout-menu", "zones", nullptr, "layoutCardMenu", "layoutCard_0", right},
        {"zone-menu", "zones", nullptr, "zoneContextMenu", "zoneBox_0", right},
        {"split-menu", "zones", nullptr, "splitMenu", "splitMenuButton"},
        {"edit-menu", "zones", nullptr, "editMenu", "editMenuTitle"},
        {"app-menu", "overview", nullptr, "appMenu", "appMenuButton"},
        {"relaunch", "settings", "general", "relaunchAlert", nullptr, left,
         [](SimShell& sim) { sim.shell->generalPane().setLanguage("fr"); }},
        {"restore", "settings", "general", "restoreAlert", nullptr, left,
         [](SimShell& sim) { sim.shell->generalPane().requestRestoreBuiltIns(); }},
        {"import", "settings", "general", "importAlert", nullptr, left,
         [](SimShell& sim) { sim.shell->generalPane().readBackupFile(backupFile(sim)); }},
        {"unreadable-backup", "settings", "general", "errorAlert", nullptr, left,
         [](SimShell& sim) {
             sim.shell->generalPane().readBackupFile(backupFile(sim, "{ not a backup"));
         }},
        {"unsaved-changes", "settings", "general", "errorAlert", nullptr, left,
         [](SimShell& sim) {
             sim.defaults.failWrites(true);
             sim.shell->generalPane().setLanguage("de");
         }},
        {"no-file-manager", "settings", "general", "errorAlert", nullptr, left,
         [](SimShell& sim) {
             sim.desktop.setOpenURLResult(false);
             sim.shell->generalPane().showAutomaticCopies();
         }},
        {"app-chooser", "settings", "exclusions", "appChooser", "addAppsButton", left, nullptr,
         [](SimShell& sim) {
             sim.catalog.add({"org.kde.krita", "Krita", ""});
             sim.catalog.add({"gimp", "GNU Image Manipulation Program", ""});
             sim.catalog.add({"firefox", "Firefox Web Browser", ""});
         }},
    };
    return shown;
}

// The visible controls under the item; a control's own parts (a spin box's buttons) are not
// controls of the pane.
void collectControls(QQuickItem& item, std::vector<QQuickItem*>& found) {
    if (!item.isVisible() || item.opacity() == 0) {
        return;
    }
    if (item.inherits("QQuickAbstractButton") || item.inherits("QQuickComboBox") ||
        item.inherits("QQuickSpinBox") || item.inherits("QQuickSlider") ||
        item.inherits("QQuickTextField")) {
        found.push_back(&item);
        return;
    }
    for (auto* child : item.childItems()) {
        collectControls(*child, found);
    }
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
    QString text;
    QDebug(&text) << &item << item.property("text").toString() << sceneRect(item);
    return text.toStdString();
}

struct TextsSeen {
    int count = 0;
    std::vector<std::string> cut;
    // Shown in English where the language's table translates them: a lookup went around the
    // tables.
    std::vector<std::string> english;
};

// The texts under the item. Names the user chose may be of any length: a layout's miniature, its
// card and a zone's box show what fits (the card's tooltip and the inspector show all);
// Tessera's own texts must show whole.
void collectTexts(QQuickItem& item, const TableLocalizer& tables, const std::string& language,
                  TextsSeen& seen, bool mayCut = false) {
    if (!item.isVisible()) {
        return;
    }
    mayCut = mayCut || QByteArray(item.metaObject()->className()).startsWith("MonitorPreview") ||
             item.objectName() == "layoutCardName" || item.objectName() == "zoneName";
    if (const auto text = item.property("text"); text.typeId() == QMetaType::QString) {
        const auto shown = text.toString().toStdString();
        ++seen.count;
        const auto translation = tables.lookup(shown, language);
        if (translation && *translation != shown && tables.lookup(shown, "en")) {
            seen.english.push_back(shown);
        }
        if (!mayCut && item.inherits("QQuickText") && item.property("truncated").toBool()) {
            seen.cut.push_back(shown);
        }
    }
    for (auto* child : item.childItems()) {
        collectTexts(*child, tables, language, seen, mayCut);
    }
}

class FirstLayout : public ::testing::TestWithParam<ShownCase> {
protected:
    void SetUp() override {
        const Shown& shown = *GetParam().shown;
        if (shown.before != nullptr) {
            shown.before(sim);
        }
        sim.start();
        if (GetParam().dark) {
            shell::followAppearance(sim.shell->app(), desktopScheme);
            sim.shell->app().setAppearance("dark");
        }
        sim.shell->app().setPage(shown.page);
        if (shown.pane != nullptr) {
            sim.shell->app().setSettingsPane(shown.pane);
        }
        Q_EMIT sim.shell->app().showWindowRequested();
        window = mainWindow.window();
        ASSERT_NE(window, nullptr);
        // The smallest window: the width where long texts wrap most.
        window->resize(window->minimumSize());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        processEvents();
        // The first frame lays the page out; what it shows is what the user gets to click.
        window->grabWindow();
        const bool opens = shown.clicked != nullptr || shown.open != nullptr;
        if (opens) {
            // The user acts on what stands still on screen.
            settle();
            if (shown.open != nullptr) {
                shown.open(sim);
            } else {
                auto* clicked = findItem(window->contentItem(), shown.clicked);
                ASSERT_NE(clicked, nullptr) << shown.clicked;
                QTest::mouseClick(window, shown.button, {}, sceneRect(*clicked).center().toPoint());
            }
            processEvents();
        }
        ASSERT_NO_FATAL_FAILURE(findShown(shown));
        if (opens) {
            // The frame that first shows what was opened.
            window->grabWindow();
        }
    }

    void settle() {
        for (int frame = 0; frame < 90; ++frame) {
            tick();
        }
    }

    void findShown(const Shown& shown) {
        if (shown.item == nullptr) {
            auto* loader = findItem(window->contentItem(), "paneLoader");
            ASSERT_NE(loader, nullptr);
            ASSERT_FALSE(loader->childItems().isEmpty());
            root = loader->childItems().front();
            return;
        }
        auto* object = findObject(window->contentItem(), shown.item);
        ASSERT_NE(object, nullptr) << shown.item << " is nowhere";
        root = qobject_cast<QQuickItem*>(object);
        if (root != nullptr) {
            return;
        }
        // A pop-up: its parts hang off the item it draws in, over the page.
        for (int frame = 0; frame < 60 && !object->property("opened").toBool(); ++frame) {
            tick();
        }
        ASSERT_TRUE(object->property("opened").toBool()) << shown.item << " did not open";
        auto* content = object->property("contentItem").value<QQuickItem*>();
        ASSERT_NE(content, nullptr);
        root = content->parentItem();
        ASSERT_NE(root, nullptr);
    }

    // Back to the light scheme the next test starts with.
    void TearDown() override { shell::applyColorScheme(false); }

    // Qt starts new animations from its event loop, then they follow the clock.
    void tick() {
        processEvents();
        clock.advance();
    }

    FrameClock clock;
    const shell::DesktopColorScheme desktopScheme;
    SimShell sim{SimShellOptions{.language = GetParam().language}};
    // Made afresh on every show, as the application makes it.
    shell::MainWindow mainWindow{
        sim.shell->app(), shell::moduleFile("Main.qml"),
        [this](QQmlApplicationEngine& engine) { sim.shell->expose(engine); }};
    QQuickWindow* window = nullptr;
    QQuickItem* root = nullptr;
};

TEST_P(FirstLayout, NothingOverlapsIsCutOrEnglishAndEverySwitchTogglesWhereItIsDrawn) {
    std::vector<QQuickItem*> controls;
    ASSERT_TRUE(root->isVisible() && !sceneRect(*root).isEmpty()) << describe(*root);
    collectControls(*root, controls);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            const auto overlap = seenRect(*controls[i]).intersected(seenRect(*controls[j]));
            EXPECT_TRUE(overlap.width() < 1 || overlap.height() < 1)
                << describe(*controls[i]) << " overlaps " << describe(*controls[j]);
        }
    }

    // The picture, kept to be looked at, once the springs and fades have run their course.
    settle();
    const auto folder = qEnvironmentVariable("TESSERA_SCREENSHOT_DIR", TESSERA_LAYOUT_PICTURES);
    QDir().mkpath(folder);
    const auto file = QDir(folder).filePath(QString::fromStdString(GetParam().name()));
    EXPECT_TRUE(window->grabWindow().save(file + ".png")) << file.toStdString();
    // The window opened in the scheme chosen, not in the style's own colours.
    const auto* palette = window->property("palette").value<QObject*>();
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->property("window").value<QColor>(),
              QGuiApplication::palette().color(QPalette::Window));
    const QRectF inWindow(0, 0, window->width(), window->height());
    EXPECT_TRUE(inWindow.contains(sceneRect(*root))) << describe(*root) << " leaves the window";
    TextsSeen texts;
    collectTexts(*root, sim.localizer, GetParam().language, texts);
    EXPECT_GT(texts.count, 0);
    EXPECT_EQ(texts.cut, std::vector<std::string>{});
    EXPECT_EQ(texts.english, std::vector<std::string>{});

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
    const QString pane = GetParam().shown->pane;
    if (GetParam().shown->item == nullptr && (pane == "general" || pane == "windows")) {
        EXPECT_GE(switches, 2);
    }
}

std::vector<ShownCase> everyLanguageAndScheme() {
    std::vector<ShownCase> cases;
    for (const auto& shown : everythingShown()) {
        for (const auto& language : shippedStringTables()->languages()) {
            for (const bool dark : {false, true}) {
                cases.push_back({&shown, language, dark});
            }
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Shown, FirstLayout, ::testing::ValuesIn(everyLanguageAndScheme()),
                         [](const ::testing::TestParamInfo<ShownCase>& info) {
                             auto name = info.param.name();
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace
} // namespace tessera::test
