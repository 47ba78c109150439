// The Settings panes' view models: what their Qt Quick tests (tst_general.qml, tst_windows.qml,
// tst_keyboard.qml, tst_exclusions.qml) can't see through the controls.

#include "DesktopApplicationCatalog.h"
#include "ExclusionsPaneModel.h"
#include "GeneralPaneModel.h"
#include "KeyboardPaneModel.h"
#include "Preferences.h"
#include "QtTestSupport.h"
#include "QtTranslations.h"
#include "ShortcutRecorderModel.h"
#include "SimShell.h"
#include "UndoViewModel.h"
#include "WindowsPaneModel.h"

#include "../unit/TempDir.h"
#include "core/app/Preferences.h"
#include "core/backup/BackupService.h"
#include "core/drag/DragOverlayController.h"
#include "core/editor/ZoneGrid.h"
#include "core/placement/CommandShortcuts.h"
#include "core/store/BuiltInLayouts.h"
#include "core/store/DisplayNames.h"
#include "core/store/LayoutStore.h"
#include "core/ui/WindowSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSignalSpy>
#include <QSizeF>
#include <QUrl>

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessera::test {
namespace {

namespace fs = std::filesystem;
using shell::GeneralPaneModel;
using shell::KeyboardPaneModel;
using shell::ShortcutRecorderModel;

constexpr int ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
constexpr std::uint32_t controlOption = 0x1800;
constexpr std::uint32_t controlOptionCommand = 0x1900;
constexpr std::uint16_t kKey = 40;
constexpr std::uint16_t leftArrow = 123;
constexpr std::uint16_t rightArrow = 124;

QString qpath(const fs::path& path) {
    return QString::fromStdString(path.string());
}

std::size_t filesIn(const fs::path& folder) {
    return fs::exists(folder) ? static_cast<std::size_t>(std::distance(
                                    fs::directory_iterator(folder), fs::directory_iterator()))
                              : 0;
}

class SettingsPanes : public ShellTest {
protected:
    GeneralPaneModel& pane() { return sim.shell->generalPane(); }
    fs::path backups() const { return automaticCopiesFolder(sim.state->store().fileURL()); }
    DefaultsDomain stored() const { return sim.defaults.persistentDomain(); }
    bool kRegistered() const {
        return sim.hotkeyPort.registeredID(kKey, controlOption).has_value();
    }

    // A layout of the user's own whose only zone answers Ctrl+Alt+K, and a zone edit of it with
    // an undo step that would save it again.
    void addOwnLayoutWithUndoStep() {
        Layout own{Uuid::random(), "Mine", {}};
        own.zones.push_back(
            Zone{Uuid::random(), "Left", 0, 0, 0.5, 1, KeyCombo{kKey, controlOption, "⌃⌥K"}});
        sim.state->applyLayoutChange(own, "Add", nullptr);
        own.zones.front().width = 0.25;
        sim.state->applyLayoutChange(own, "Edit Zone", &sim.shell->undo().manager());
        ASSERT_TRUE(kRegistered());
        ASSERT_TRUE(sim.shell->undo().canUndo());
    }
};

TEST_F(SettingsPanes, FailuresSayWhyAndLeaveNothingPending) {
    sim.defaults.failWrites(true);
    pane().setLanguage("de");
    EXPECT_FALSE(pane().confirmsRelaunch()) << "a relaunch would come back in the old language";
    ASSERT_TRUE(pane().showsError());
    EXPECT_EQ(pane().errorMessage().toStdString(), sim.defaults.lastError());
    pane().dismissError();
    sim.defaults.failWrites(false);

    const auto garbage = sim.temp.path() / "garbage.json";
    writeTestFile(garbage, "{ not json");
    // Every unusable backup fails the same way here; each one's own message: CliTest.
    const std::vector<std::pair<fs::path, bool>> cases{
        {sim.temp.path() / "missing" / "export.json", true},
        {garbage, false},
    };
    for (const auto& [file, exporting] : cases) {
        SCOPED_TRACE(file);
        EXPECT_FALSE(exporting ? pane().exportTo(qpath(file)) : pane().readBackupFile(qpath(file)));
        EXPECT_FALSE(pane().hasPendingImport());
        ASSERT_TRUE(pane().showsError());
        EXPECT_EQ(pane().errorTitle(), "Couldn’t use this file");
        EXPECT_FALSE(pane().errorMessage().isEmpty());
        pane().dismissError();
    }
    EXPECT_EQ(filesIn(backups()), 0u);

    pane().showAutomaticCopies();
    ASSERT_EQ(sim.desktop.count(SimCallKind::revealInFileBrowser), 1u);
    EXPECT_EQ(sim.desktop.calls().back().items, std::vector<fs::path>{backups()});
    EXPECT_TRUE(fs::is_directory(backups()));
    EXPECT_FALSE(pane().showsError());
    // No file manager to start: not silence, but where to look.
    sim.desktop.setOpenURLResult(false);
    pane().showAutomaticCopies();
    ASSERT_TRUE(pane().showsError());
    EXPECT_TRUE(pane().errorMessage().contains(qpath(backups())));
}

TEST_F(SettingsPanes, ExportThroughThePanelThenImportAndRestoreReplaceOnlyAfterACopy) {
    auto& prefs = sim.shell->preferences();
    prefs.setString("appLanguage", "de");
    prefs.setDouble("windowGap", 20);
    // Before any export the open panel starts at home, not in the working folder.
    EXPECT_EQ(pane().importFolder(), QDir::homePath());
    pane().chooseExportFile(nullptr);
    auto* panel = pane().fileDialog();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->acceptMode(), QFileDialog::AcceptSave);
    const auto proposed = pane().proposedExportFile().toLocalFile();
    EXPECT_TRUE(QFileInfo(proposed).fileName().startsWith("Tessera ")) << proposed.toStdString();
    EXPECT_EQ(panel->selectedFiles(), QStringList{proposed});
    // Accepting as Return does, in another folder; what it wrote is what the import restores.
    const auto file = sim.temp.path() / "backup.json";
    panel->selectFile(qpath(file));
    QMetaObject::invokeMethod(panel, "accept");
    EXPECT_TRUE(pane().exportNotice().contains(qpath(file))) << pane().exportNotice().toStdString();
    // Both panels start where the last backup went.
    EXPECT_EQ(pane().importFolder(), qpath(sim.temp.path()));
    EXPECT_EQ(QFileInfo(pane().proposedExportFile().toLocalFile()).absolutePath(),
              qpath(sim.temp.path()));
    prefs.setString("appLanguage", "en");
    prefs.setDouble("windowGap", 4);
    addOwnLayoutWithUndoStep();

    // Without its automatic copy (a file where their folder belongs) nothing changes.
    const auto layoutsBefore = sim.state->store().layouts();
    const auto prefsBefore = stored();
    writeTestFile(backups(), "in the way");
    ASSERT_TRUE(pane().readBackupFile(qpath(file)));
    EXPECT_EQ(pane().importMessage().indexOf("%@"), -1) << "the date is filled in";
    pane().confirmImport();
    EXPECT_FALSE(pane().hasPendingImport());
    ASSERT_TRUE(pane().showsError());
    EXPECT_EQ(pane().errorTitle(), "Couldn’t use this file");
    EXPECT_EQ(sim.state->store().layouts(), layoutsBefore);
    EXPECT_EQ(stored(), prefsBefore);
    pane().dismissError();
    fs::remove(backups());

    ASSERT_TRUE(pane().readBackupFile(qpath(file)));
    QSignalSpy prefsChanged(&prefs, &shell::Preferences::changed);
    QSignalSpy imported(&pane(), &GeneralPaneModel::layoutsReplaced);
    pane().confirmImport();
    EXPECT_FALSE(pane().showsError());
    EXPECT_EQ(filesIn(backups()), 1u);
    EXPECT_EQ(sim.state->store().layouts(), builtInLayouts());
    EXPECT_EQ(stored().at("windowGap"), DefaultsValue(20.0));
    EXPECT_EQ(stored().at("AppleLanguages"), DefaultsValue(std::vector<std::string>{"de"}));
    EXPECT_EQ(pane().language(), "de");
    EXPECT_TRUE(pane().confirmsRelaunch());
    EXPECT_EQ(imported.count(), 1);
    EXPECT_FALSE(sim.shell->undo().undo()) << "the replaced layout came back";
    // Controls bound to the imported keys re-read them.
    QStringList keysTold;
    for (const auto& args : prefsChanged) {
        keysTold.append(args.at(0).toString());
    }
    EXPECT_TRUE(keysTold.contains("windowGap") && keysTold.contains("appLanguage"))
        << keysTold.join(" ").toStdString();
    // The same language again: nothing to relaunch for.
    pane().relaunchLater();
    ASSERT_TRUE(pane().readBackupFile(qpath(file)));
    pane().confirmImport();
    EXPECT_FALSE(pane().confirmsRelaunch());
    EXPECT_EQ(filesIn(backups()), 2u);

    addOwnLayoutWithUndoStep();
    pane().requestRestoreBuiltIns();
    pane().restoreBuiltIns();
    EXPECT_EQ(sim.state->store().layouts(), builtInLayouts());
    EXPECT_FALSE(kRegistered()) << "the removed zone's shortcut still answers";
    EXPECT_FALSE(pane().showsError());
    EXPECT_FALSE(sim.shell->undo().undo()) << "the removed layout came back";
}

TEST(QtTranslations, QtsOwnDialogTextsFollowTheLanguageWhereQtHasThem) {
    const auto german = shell::installQtTranslations("de");
    ASSERT_NE(german, nullptr) << "Qt's translations (qt6-translations-l10n) are missing";
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "&Save").remove(u'&'), "Speichern");
    // Qt has no Greek catalog: its texts stay English rather than fail.
    EXPECT_EQ(shell::installQtTranslations("el"), nullptr);
}

// The rows as drawn, and following a change of the preference: tst_exclusions.qml.
TEST_F(SettingsPanes, ExclusionRowsAndTheChooserShowTheCatalogsNamesAndAddEachNewAppOnce) {
    auto& pane = sim.shell->exclusionsPane();
    sim.catalog.add({"org.gnome.Terminal", "Terminal", ""});
    sim.catalog.add({"firefox", "Firefox", "file:///icons/firefox.png"});
    sim.catalog.add({"code", "Code", ""});
    sim.catalog.add({"nameless", "", ""});
    sim.defaults.set(prefs::ignoredApps, std::string("firefox\nunknown.app\nnameless"));
    const auto field = [](const QVariantList& list, int row, const char* key) {
        return list.at(row).toMap().value(key);
    };
    // Rows: the catalog's name and icon, else the identifier.
    const auto rows = pane.apps();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(field(rows, 0, "name"), "Firefox");
    EXPECT_EQ(field(rows, 0, "iconSource"), "file:///icons/firefox.png");
    EXPECT_EQ(field(rows, 1, "name"), "unknown.app");
    EXPECT_FALSE(field(rows, 1, "installed").toBool());
    EXPECT_EQ(field(rows, 2, "name"), "nameless");
    // The chooser: installed applications by name, those already ignored marked.
    const auto choices = pane.installedApps();
    ASSERT_EQ(choices.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const auto id = field(choices, i, "identifier").toString();
        EXPECT_EQ(field(choices, i, "ignored").toBool(), id == "firefox" || id == "nameless")
            << id.toStdString();
    }

    sim.defaults.set(prefs::ignoredApps, std::string("org.gnome.Terminal"));
    int added = 0;
    EXPECT_EQ(
        emissions(
            &pane, &shell::ExclusionsPaneModel::changed,
            [&] {
                added = pane.ignoreApps({"firefox", "code", "firefox", "org.gimp.GIMP", "code"});
            }),
        1);
    EXPECT_EQ(added, 3);
    EXPECT_EQ(ignoredApps(sim), "org.gnome.Terminal\nfirefox\ncode\norg.gimp.GIMP");
    EXPECT_TRUE(pane.lastError().isEmpty());
    sim.defaults.failWrites(true);
    EXPECT_EQ(pane.ignoreApps({"gedit"}), 1);
    EXPECT_FALSE(pane.lastError().isEmpty());
}

TEST(DesktopApplicationCatalog, FindsNamesAndIconsOfTheDataFoldersAndLaterInstallsAfterARescan) {
    TempDir data{"tessera-catalog"};
    const auto user = data / "user" / "applications";
    const auto system = data / "system" / "applications";
    const auto entry = [&](const fs::path& folder, const std::string& id, const std::string& rest) {
        writeTestFile(folder / (id + ".desktop"), "[Desktop Entry]\n" + rest + "\n");
    };
    entry(system, "editor", "Type=Application\nName=Editor\nIcon=editor");
    entry(system, "viewer", "Type=Application\nName=Viewer\nIcon=viewer.png");
    entry(system, "plain", "Type=Application\nName=Plain\nIcon=../../secret");
    entry(system, "abs",
          "Type=Application\nName=Abs\nIcon=" + (data / "user" / "absolute.svg").string());
    const auto icons = data / "system" / "icons" / "hicolor";
    writeTestFile(icons / "16x16" / "apps" / "editor.png", "png");
    writeTestFile(icons / "48x48" / "apps" / "editor.png", "png");
    writeTestFile(data / "system" / "pixmaps" / "viewer.xpm", "xpm");
    writeTestFile(data / "user" / "absolute.svg", "svg");

    shell::DesktopApplicationCatalog catalog({user, system}, std::chrono::seconds(0));
    shell::DesktopApplicationCatalog cached({user, system}, std::chrono::hours(1));
    const auto editor = catalog.find("editor");
    ASSERT_TRUE(editor && cached.find("editor"));
    // The largest icon wins (which folder's entry wins: DesktopEntryFiles).
    EXPECT_EQ(editor->iconSource,
              QUrl::fromLocalFile(qpath(icons / "48x48" / "apps" / "editor.png")).toString());
    EXPECT_TRUE(catalog.find("viewer")->iconSource.endsWith("/system/pixmaps/viewer.xpm"));
    EXPECT_TRUE(catalog.find("abs")->iconSource.endsWith("/user/absolute.svg"));
    EXPECT_TRUE(catalog.find("plain")->iconSource.isEmpty());
    EXPECT_FALSE(catalog.find("missing"));

    // What the chooser offers: applications the menus show, by name.
    entry(system, "helper", "Type=Application\nName=Helper\nNoDisplay=true");
    entry(system, "site", "Type=Link\nName=Site");
    entry(system, "two", "Type=Application\nName=Two");
    std::vector<QString> names;
    for (const auto& found : catalog.applications()) {
        names.push_back(found.name);
    }
    EXPECT_EQ(names, (std::vector<QString>{"Abs", "Editor", "Plain", "Two", "Viewer"}));
    EXPECT_FALSE(cached.find("two"));
    ASSERT_TRUE(catalog.find("two"));
    EXPECT_EQ(catalog.find("two")->name, "Two");
}

// The slider, the label and the drawn card: tst_windows.qml.
TEST_F(SettingsPanes, WindowsPanesCardPreviewIsTheCardTheOverlayDraws) {
    auto& pane = sim.shell->windowsPane();
    const auto drawn = [&] {
        const auto size =
            sim.state->overlay().cardSize(cardPreviewZone.width, cardPreviewZone.height);
        return QSizeF(size.width, size.height);
    };
    // Stored out of range by hand: shown as the overlay uses it.
    sim.defaults.set(prefs::cardScale, 10.0);
    EXPECT_EQ(pane.cardPreviewSize(), drawn());
    pane.setCardScale(104);
    EXPECT_EQ(pane.cardPreviewSize(), drawn());
    EXPECT_EQ(preferenceDouble(sim.defaults, prefs::cardScale), 100) << "whole steps only";
}

// Choosing a tile: tst_windows.qml.
TEST_F(SettingsPanes, WindowsGridPickerDrawsEachTilesInnerLinesForTheNamedDisplay) {
    auto& pane = sim.shell->windowsPane();
    EXPECT_EQ(emissions(&pane, &shell::WindowsPaneModel::changed,
                        [&] { sim.desktop.displays().setScreens(simscreens::sideBySide()); }),
              1);
    const auto& screens = sim.state->screens();
    ASSERT_EQ(screens.size(), 2u);
    for (const auto& screen : screens) {
        const auto expected = gridPickerModel(screen, 12);
        const auto picker = pane.gridPicker(QString::fromStdString(screen.id), 12);
        EXPECT_EQ(picker["miniatureHeight"].toDouble(), expected.miniatureHeight);
        const auto tiles = picker["tiles"].toList();
        ASSERT_EQ(tiles.size(), static_cast<qsizetype>(expected.tiles.size()));
        for (qsizetype i = 0; i < tiles.size(); ++i) {
            const auto& core = expected.tiles[static_cast<std::size_t>(i)];
            EXPECT_EQ(tiles[i].toMap()["columns"].toInt(), core.columns);
            // Every inner line once, none on the border of the miniature.
            const auto lines = tiles[i].toMap()["lines"].toList();
            EXPECT_EQ(lines.size(), core.grid.columns - 1 + core.grid.rows - 1);
            for (const auto& line : lines) {
                const auto l = line.toList();
                const bool vertical = l[0].toDouble() == l[2].toDouble();
                const double at = l[vertical ? 0 : 1].toDouble();
                EXPECT_GT(at, 0);
                EXPECT_LT(at, vertical ? expected.miniatureWidth : expected.miniatureHeight);
            }
        }
    }
    EXPECT_NE(pane.gridPicker(QString::fromStdString(screens[0].id), 12),
              pane.gridPicker(QString::fromStdString(screens[1].id), 12));
    // An unknown id falls back to the first display.
    EXPECT_EQ(pane.gridPicker("nowhere", 12), pane.gridPicker(QString(), 12));
    // Counts the picker doesn't offer are not written.
    pane.setGridColumns(10);
    EXPECT_EQ(gridColumns(sim.defaults), 12);
    // One beyond int can't pose as an offered count once cut down.
    sim.defaults.set(prefs::gridColumns, std::int64_t{(1LL << 32) + 12});
    EXPECT_EQ(pane.gridColumns(), 0);
}

// --- The Keyboard pane (what tst_keyboard.qml can't see: the stored record, the hotkeys) ---

// The record kept under "shortcut.<command>", if the preferences hold one.
std::optional<StoredShortcut> storedRecord(const Defaults& defaults, const std::string& command) {
    const auto domain = defaults.persistentDomain();
    const auto found = domain.find("shortcut." + command);
    if (found == domain.end()) {
        return std::nullopt;
    }
    const auto* bytes = std::get_if<Bytes>(&found->second);
    return bytes ? decodeStoredShortcut(*bytes).value.value_or(StoredShortcut{}) : StoredShortcut{};
}

TEST(KeyboardPaneKeys, QtKeysAndKeysymsTranslateToStoredKeyCodesAndFlags) {
    using namespace eventFlags;
    const struct {
        int key;
        quint32 keysym;
        int modifiers;
        std::uint16_t keyCode;
        std::uint64_t flags;
    } cases[] = {
        // K, F5, Escape and a lone Shift: tst_keyboard.qml records them with real key presses.
        {Qt::Key_Left, 0, ctrlAlt | Qt::MetaModifier | Qt::KeypadModifier, leftArrow,
         control | option | command},
        {Qt::Key_Backtab, 0, 0, 48, 0},
        // The keypad's 5 is a key of its own, not the 5 of the main keyboard.
        {Qt::Key_5, 0, Qt::KeypadModifier, 0x57, 0},
        // On X11 Qt's native virtual key is the keysym, with Shift already applied: Shift+1 is
        // "exclam" to X and to Qt, the shortcut is Shift and the key 1.
        {Qt::Key_K, XK_k, ctrlAlt, kKey, control | option},
        {Qt::Key_Exclam, XK_exclam, Qt::ShiftModifier, 18, shift},
        // The keysym wins over Qt's key: the keypad key with Num Lock off is still the keypad's.
        {Qt::Key_Home, XK_KP_Home, Qt::KeypadModifier, 0x59, 0},
        // A keysym no US key makes (another layout's letter) falls back to Qt's key.
        {Qt::Key_F3, XK_Cyrillic_ka, 0, 99, 0},
    };
    for (const auto& c : cases) {
        const auto event = shell::keyDownFromQt(c.key, c.keysym, c.modifiers);
        ASSERT_TRUE(event) << c.key;
        EXPECT_EQ(event->type, InputEventType::keyDown);
        EXPECT_EQ(event->keyCode, c.keyCode) << c.key;
        EXPECT_EQ(event->modifierFlags, c.flags) << c.key;
    }
    EXPECT_FALSE(shell::keyDownFromQt(Qt::Key_unknown, 0, 0));
    EXPECT_FALSE(shell::keyDownFromQt(Qt::Key_LaunchMail, 0, Qt::ControlModifier));
    EXPECT_FALSE(shell::keyDownFromQt(0x41B, XK_Cyrillic_el, 0));
}

using KeyboardPaneTest = ShellTest;

TEST_F(KeyboardPaneTest, RecordingSuspendsTheHotkeysStoresTheComboAndRegistersItOnceResumed) {
    auto& pane = sim.shell->keyboardPane();
    auto& recorder = *pane.recorder(WindowCommand::zoneLeft);
    auto& other = *pane.recorder(WindowCommand::zoneDown);
    const auto registered = sim.hotkeyPort.registrations().size();

    // Starting one recorder stops another without recording (Escape and a second click:
    // ShortcutRecorderTest).
    EXPECT_GE(emissions(&other, &ShortcutRecorderModel::changed, [&] { other.click(); }), 1);
    ASSERT_TRUE(other.listening());
    // Suspended: the shortcuts in use reach the recorder instead of moving windows.
    EXPECT_TRUE(sim.state->hotkeys()->isSuspended());
    EXPECT_TRUE(sim.hotkeyPort.registrations().empty());
    recorder.click();
    EXPECT_FALSE(other.listening());
    EXPECT_FALSE(storedRecord(sim.defaults, "zoneDown"));

    // A modifier on its own, and what is left unrecorded: tst_keyboard.qml.
    QSignalSpy preferencesChanged(&sim.shell->preferences(), &shell::Preferences::changed);
    EXPECT_GE(emissions(&pane, &KeyboardPaneModel::changed,
                        [&] { EXPECT_TRUE(recorder.keyPressed(Qt::Key_K, 0, ctrlAlt)); }),
              1);
    EXPECT_EQ(sim.hotkeyPort.registrations().size(), registered);
    const auto stored = storedRecord(sim.defaults, "zoneLeft");
    ASSERT_TRUE(stored && stored->combo);
    EXPECT_EQ(*stored->combo, (KeyCombo{kKey, controlOption, "⌃⌥K"}));
    EXPECT_TRUE(std::ranges::any_of(preferencesChanged, [](const QList<QVariant>& arguments) {
        return arguments.at(0).toString() == "shortcut.zoneLeft";
    })) << "controls bound to the preference were not told";
    // Registered again (the old default gone: CommandShortcutsSectionTest).
    EXPECT_TRUE(sim.hotkeyPort.registeredID(kKey, controlOption));
}

// What the restored recorders show and store: tst_keyboard.qml.
TEST_F(KeyboardPaneTest, ChangesOfTheStoreAndThePreferencesElsewhereReachTheRowsAndTheHotkeys) {
    auto& pane = sim.shell->keyboardPane();
    auto& down = *pane.recorder(WindowCommand::zoneDown);
    down.removeShortcut();
    // An import or the menu writing the same preference. (Restoring the defaults re-registers:
    // CommandShortcutsSectionTest.)
    EXPECT_GE(emissions(&down, &ShortcutRecorderModel::changed,
                        [&] { sim.shell->preferences().remove("shortcut.zoneDown"); }),
              1);
    EXPECT_EQ(down.label(), "Ctrl+Alt+↓");

    // A zone taking a command's keys shows on the command's row once the store changed.
    auto layout = sim.state->store().layouts().front();
    auto& zone = layout.zones.front();
    zone.shortcut = KeyCombo{rightArrow, controlOptionCommand, "⌃⌥⌘→"};
    // The state passes the store's change on at the scheduler's next turn.
    EXPECT_GE(emissions(&pane, &KeyboardPaneModel::changed,
                        [&] {
                            sim.state->store().upsert(layout);
                            sim.scheduler.runPending();
                        }),
              1);
    EXPECT_EQ(pane.conflicts().value("nextDisplay").toString().toStdString(),
              "Already used by “" + displayName(zone.id, zone.name, sim.localizer) + "” in “" +
                  displayName(layout.id, layout.name, sim.localizer) +
                  "”. Only one of them will work.");
}

TEST(KeyboardPaneWithoutAccess, RecordingWorksWithoutAHotkeyCenterAndSaysWhenSavingFailed) {
    SimShell sim({.accessibility = false});
    sim.start();
    ASSERT_EQ(sim.state->hotkeys(), nullptr);
    auto& pane = sim.shell->keyboardPane();
    auto& fill = *pane.recorder(WindowCommand::fillScreen);
    sim.defaults.failWrites(true);
    fill.click();
    EXPECT_TRUE(fill.keyPressed(Qt::Key_K, 0, ctrlAlt));
    EXPECT_EQ(fill.label(), "Ctrl+Alt+K") << "kept for this run";
    EXPECT_FALSE(pane.lastError().isEmpty());
    EXPECT_TRUE(sim.hotkeyPort.registrations().empty());

    sim.defaults.failWrites(false);
    fill.click();
    fill.keyPressed(Qt::Key_J, 0, ctrlAlt);
    EXPECT_TRUE(pane.lastError().isEmpty());
}

} // namespace
} // namespace tessera::test
