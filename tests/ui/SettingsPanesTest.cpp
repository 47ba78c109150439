#include "GeneralPaneModel.h"
#include "Preferences.h"
#include "QtTestSupport.h"
#include "QtTranslations.h"
#include "SimShell.h"
#include "UndoViewModel.h"

#include "core/app/Preferences.h"
#include "core/backup/Backup.h"
#include "core/backup/BackupService.h"
#include "core/store/BuiltInLayouts.h"
#include "core/store/LayoutStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSignalSpy>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace tessera::test {
namespace {

namespace fs = std::filesystem;
using shell::GeneralPaneModel;
using Languages = std::vector<std::string>;

QString qpath(const fs::path& path) {
    return QString::fromStdString(path.string());
}

void writeText(const fs::path& file, const std::string& text) {
    std::ofstream(file) << text;
}

std::size_t filesIn(const fs::path& folder) {
    if (!fs::exists(folder)) {
        return 0;
    }
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class GeneralPaneTest : public ::testing::Test {
protected:
    void SetUp() override { sim.start(); }

    GeneralPaneModel& pane() { return sim.shell->generalPane(); }
    fs::path backups() const { return automaticCopiesFolder(sim.state->store().fileURL()); }
    DefaultsDomain stored() const { return sim.defaults.persistentDomain(); }

    // A layout of the user's own whose only zone answers Ctrl+Alt+K.
    Layout ownLayout() const {
        Layout layout{Uuid::random(), "Mine", {}};
        layout.zones.push_back(
            Zone{Uuid::random(), "Left", 0, 0, 0.5, 1, KeyCombo{40, 0x1000 | 0x0800, "⌃⌥K"}});
        return layout;
    }

    SimShell sim;
};

TEST_F(GeneralPaneTest, ChoicesTheSystemDidNotTakeAreNotShownAsTaken) {
    // Something that isn't a language changes nothing and asks nothing.
    pane().setLanguage("tlh");
    EXPECT_EQ(stored().count("appLanguage"), 0u);
    EXPECT_FALSE(pane().confirmsRelaunch());

    sim.defaults.failWrites(true);
    pane().setLanguage("de");
    EXPECT_FALSE(pane().confirmsRelaunch()) << "a relaunch would come back in the old language";
    ASSERT_TRUE(pane().showsError());
    EXPECT_EQ(pane().errorMessage().toStdString(), sim.defaults.lastError());

    // Open at login waiting for the system's approval is not on.
    sim.loginItem.setRequiresApproval(true);
    pane().setLaunchAtLogin(true);
    EXPECT_FALSE(pane().launchAtLogin());
}

TEST_F(GeneralPaneTest, RestoringBuiltInsDropsOwnLayoutsShortcutsAndUndoSteps) {
    auto own = ownLayout();
    sim.state->applyLayoutChange(own, "Add", nullptr);
    ASSERT_TRUE(sim.hotkeyPort.registeredID(40, 0x1000 | 0x0800).has_value());
    // A zone edit whose undo step would save the own layout again.
    auto& undo = sim.shell->undo();
    own.zones.front().width = 0.25;
    sim.state->applyLayoutChange(own, "Edit Zone", &undo.manager());
    ASSERT_TRUE(undo.canUndo());

    pane().requestRestoreBuiltIns();
    pane().restoreBuiltIns();
    EXPECT_EQ(sim.state->store().layouts(), builtInLayouts());
    // Registered again: the removed zone's shortcut no longer answers.
    EXPECT_FALSE(sim.hotkeyPort.registeredID(40, 0x1000 | 0x0800).has_value());
    EXPECT_FALSE(pane().showsError());
    EXPECT_FALSE(undo.undo()) << "the removed layout came back";
}

TEST_F(GeneralPaneTest, TheSavePanelKeepsTheProposedNameAndTheExportSaysWhereItWent) {
    sim.shell->preferences().setDouble("windowGap", 12);
    // Before any export the open panel starts at home, not in the working folder.
    EXPECT_EQ(pane().importFolder(), QDir::homePath());
    pane().chooseExportFile(nullptr);
    auto* panel = pane().fileDialog();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->acceptMode(), QFileDialog::AcceptSave);
    const auto proposed = pane().proposedExportFile().toLocalFile();
    EXPECT_TRUE(QFileInfo(proposed).fileName().startsWith("Tessera ")) << proposed.toStdString();
    EXPECT_EQ(panel->selectedFiles(), QStringList{proposed});

    // Accepting as Return does, in another folder.
    const auto file = sim.temp.path() / "export.json";
    panel->selectFile(qpath(file));
    QMetaObject::invokeMethod(panel, "accept");
    const auto read = readBackup(file);
    ASSERT_TRUE(read) << read.detail;
    EXPECT_EQ(read.backup->layouts.layouts, sim.state->store().layouts());
    EXPECT_EQ(read.backup->preferences.at("windowGap"), PreferenceValue(12.0));
    EXPECT_TRUE(pane().exportNotice().contains(qpath(file))) << pane().exportNotice().toStdString();
    // Both panels start where the last backup went.
    EXPECT_EQ(pane().importFolder(), qpath(sim.temp.path()));
    EXPECT_EQ(QFileInfo(pane().proposedExportFile().toLocalFile()).absolutePath(),
              qpath(sim.temp.path()));
}

TEST(QtTranslations, QtsOwnDialogTextsFollowTheLanguageWhereQtHasThem) {
    const auto german = shell::installQtTranslations("de");
    ASSERT_NE(german, nullptr) << "Qt's translations (qt6-translations-l10n) are missing";
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "&Save").remove(u'&'), "Speichern");
    // Qt has no Greek catalog: its texts stay English rather than fail.
    EXPECT_EQ(shell::installQtTranslations("el"), nullptr);
}

TEST_F(GeneralPaneTest, FilesThatCannotBeWrittenOrReadShowWhyAndLeaveNothingPending) {
    auto newer = makeBackup(sim.state->backupContext());
    newer.version = 2;
    const auto future = sim.temp.path() / "future.json";
    ASSERT_EQ(encodeBackup(newer, future), "");
    const auto garbage = sim.temp.path() / "garbage.json";
    writeText(garbage, "{ not json");
    const std::string damaged = "The file isn’t a Tessera backup or is damaged.";
    const std::vector<std::tuple<const char*, std::function<bool()>, std::string>> cases{
        {"export into a missing folder",
         [&] { return pane().exportTo(qpath(sim.temp.path() / "missing" / "export.json")); }, ""},
        {"not json", [&] { return pane().readBackupFile(qpath(garbage)); }, damaged},
        {"missing", [&] { return pane().readBackupFile(qpath(sim.temp.path() / "no.json")); },
         damaged},
        {"newer", [&] { return pane().readBackupFile(qpath(future)); },
         "This backup was made by a newer version of Tessera."},
    };
    for (const auto& [what, act, message] : cases) {
        SCOPED_TRACE(what);
        EXPECT_FALSE(act());
        EXPECT_FALSE(pane().hasPendingImport());
        ASSERT_TRUE(pane().showsError());
        EXPECT_EQ(pane().errorTitle(), "Couldn’t use this file");
        EXPECT_FALSE(pane().errorMessage().isEmpty());
        if (!message.empty()) {
            EXPECT_EQ(pane().errorMessage().toStdString(), message);
        }
        pane().dismissError();
        EXPECT_FALSE(pane().showsError());
    }
    EXPECT_EQ(filesIn(backups()), 0u);
}

// Cancelling from the alert: tst_general.qml.
TEST_F(GeneralPaneTest, AnImportWithoutItsAutomaticCopyChangesNothing) {
    const auto file = sim.temp.path() / "backup.json";
    ASSERT_TRUE(pane().exportTo(qpath(file)));
    sim.state->applyLayoutChange(ownLayout(), "Add", nullptr);
    sim.shell->preferences().setBool("snapOnDrag", false);
    const auto layoutsBefore = sim.state->store().layouts();
    const auto prefsBefore = stored();

    // A file where the folder of automatic copies belongs.
    writeText(backups(), "in the way");
    ASSERT_TRUE(pane().readBackupFile(qpath(file)));
    EXPECT_EQ(pane().importMessage().indexOf("%@"), -1) << "the date is filled in";
    pane().confirmImport();
    EXPECT_FALSE(pane().hasPendingImport());
    ASSERT_TRUE(pane().showsError());
    EXPECT_EQ(pane().errorTitle(), "Couldn’t use this file");
    EXPECT_EQ(sim.state->store().layouts(), layoutsBefore);
    EXPECT_EQ(stored(), prefsBefore);
}

TEST_F(GeneralPaneTest, ImportingReplacesTheStateAfterACopyAndOffersARelaunchForANewLanguage) {
    sim.shell->preferences().setString("appLanguage", "de");
    sim.shell->preferences().setDouble("windowGap", 20);
    const auto file = sim.temp.path() / "backup.json";
    ASSERT_TRUE(pane().exportTo(qpath(file)));

    sim.shell->preferences().setString("appLanguage", "en");
    sim.shell->preferences().setDouble("windowGap", 4);
    sim.state->applyLayoutChange(ownLayout(), "Add", nullptr);

    ASSERT_TRUE(pane().readBackupFile(qpath(file)));
    QSignalSpy prefsChanged(&sim.shell->preferences(), &shell::Preferences::changed);
    QSignalSpy imported(&pane(), &GeneralPaneModel::layoutsReplaced);
    pane().confirmImport();

    EXPECT_FALSE(pane().showsError());
    EXPECT_EQ(filesIn(backups()), 1u);
    EXPECT_EQ(sim.state->store().layouts(), builtInLayouts());
    EXPECT_EQ(stored().at("windowGap"), DefaultsValue(20.0));
    EXPECT_EQ(stored().at("AppleLanguages"), DefaultsValue(Languages{"de"}));
    EXPECT_EQ(pane().language(), "de");
    EXPECT_TRUE(pane().confirmsRelaunch());
    EXPECT_EQ(imported.count(), 1);
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
}

TEST_F(GeneralPaneTest, ShowAutomaticCopiesRevealsTheFolderOrSaysWhereItIs) {
    pane().showAutomaticCopies();
    ASSERT_EQ(sim.desktop.count(SimCallKind::revealInFileBrowser), 1u);
    EXPECT_EQ(sim.desktop.calls().back().items, std::vector<fs::path>{backups()});
    EXPECT_TRUE(fs::is_directory(backups()));
    EXPECT_FALSE(pane().showsError());

    // No file manager to start: not silence, but where to look.
    sim.desktop.setOpenURLResult(false);
    pane().showAutomaticCopies();
    ASSERT_TRUE(pane().showsError());
    EXPECT_TRUE(pane().errorMessage().contains(qpath(backups())))
        << pane().errorMessage().toStdString();
}

} // namespace
} // namespace tessera::test
