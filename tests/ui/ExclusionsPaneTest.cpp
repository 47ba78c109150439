#include "DesktopApplicationCatalog.h"
#include "ExclusionsPaneModel.h"
#include "Preferences.h"
#include "QtTestSupport.h"
#include "SimShell.h"

#include "../unit/TempDir.h"
#include "core/app/Preferences.h"

#include <QUrl>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessera::test {
namespace {

namespace fs = std::filesystem;

std::string stored(const SimShell& sim) {
    const auto value = sim.defaults.object(prefs::ignoredApps);
    const auto* text = value ? std::get_if<std::string>(&*value) : nullptr;
    return text ? *text : std::string("<unset>");
}

QString app(const fs::path& folder, const std::string& name,
            const std::string& type = "Application") {
    const auto file = folder / name;
    writeTestFile(file, "[Desktop Entry]\nType=" + type + "\nName=" + name + "\nExec=true\n");
    return QString::fromStdString(file.string());
}

class ExclusionsPane : public ::testing::Test {
protected:
    ExclusionsPane() { sim.start(); }

    SimShell sim;
    TempDir files{"tessera-exclusions"};
    shell::ExclusionsPaneModel& pane = sim.shell->exclusionsPane();
};

TEST_F(ExclusionsPane, AddingSeveralAppendsEachNewOneOnceInTheOrderChosen) {
    sim.defaults.set(prefs::ignoredApps, std::string("org.gnome.Terminal"));
    const auto firefox = app(files.path(), "firefox.desktop");
    const auto code = app(files.path(), "code.desktop");
    const auto gimp = app(files.path(), "org.gimp.GIMP.desktop");

    int added = 0;
    EXPECT_EQ(emissions(&pane, &shell::ExclusionsPaneModel::changed,
                        [&] {
                            added =
                                pane.addDesktopFiles({firefox, QUrl::fromLocalFile(code), firefox,
                                                      gimp, QUrl::fromLocalFile(code).toString()});
                        }),
              1);
    EXPECT_EQ(added, 3);
    EXPECT_EQ(stored(sim), "org.gnome.Terminal\nfirefox\ncode\norg.gimp.GIMP");
    EXPECT_TRUE(pane.lastError().isEmpty());
    ASSERT_EQ(pane.apps().size(), 4);
    EXPECT_EQ(pane.apps()[3].toMap()["identifier"].toString(), "org.gimp.GIMP");
}

TEST_F(ExclusionsPane, AddingAnAppAlreadyIgnoredLeavesTheListAsItWas) {
    sim.defaults.set(prefs::ignoredApps, std::string("code\nfirefox"));
    const auto writes = sim.defaults.writeCount();
    EXPECT_EQ(pane.addDesktopFiles({app(files.path(), "firefox.desktop")}), 0);
    EXPECT_EQ(stored(sim), "code\nfirefox");
    EXPECT_EQ(sim.defaults.writeCount(), writes);
    EXPECT_TRUE(pane.lastError().isEmpty());
}

TEST_F(ExclusionsPane, StopIgnoringRemovesEveryCopyAndKeepsTheOrder) {
    sim.defaults.set(prefs::ignoredApps, std::string("a\nb\na\n\nc\na"));
    pane.stopIgnoring("a");
    EXPECT_EQ(stored(sim), "b\nc");
    pane.stopIgnoring("missing");
    EXPECT_EQ(stored(sim), "b\nc");
    pane.stopIgnoring("b");
    pane.stopIgnoring("c");
    EXPECT_EQ(stored(sim), "");
    EXPECT_TRUE(pane.empty());
    EXPECT_TRUE(pane.apps().isEmpty());
}

TEST_F(ExclusionsPane, FilesThatAreNoApplicationEntriesAreSkippedAndNamed) {
    const auto good = app(files.path(), "good.desktop");
    const auto link = app(files.path(), "website.desktop", "Link");
    writeTestFile(files / "notes.desktop", "just some text\n");
    writeTestFile(files / "readme.txt", "[Desktop Entry]\nType=Application\nName=X\n");
    fs::create_directories(files / "folder.desktop");
    const auto missing = QString::fromStdString((files / "gone.desktop").string());

    const int added =
        pane.addDesktopFiles({missing, QString::fromStdString((files / "notes.desktop").string()),
                              link, QString::fromStdString((files / "readme.txt").string()),
                              QString::fromStdString((files / "folder.desktop").string()), good});
    EXPECT_EQ(added, 1);
    EXPECT_EQ(stored(sim), "good");
    for (const char* name :
         {"gone.desktop", "notes.desktop", "website.desktop", "readme.txt", "folder.desktop"}) {
        EXPECT_TRUE(pane.lastError().contains(name))
            << name << ": " << pane.lastError().toStdString();
    }
    EXPECT_FALSE(pane.lastError().contains("good.desktop"));

    // The next change that goes through clears the report.
    pane.stopIgnoring("good");
    EXPECT_TRUE(pane.lastError().isEmpty());
}

TEST_F(ExclusionsPane, AFailedWriteIsReported) {
    sim.defaults.failWrites(true);
    EXPECT_EQ(pane.addDesktopFiles({app(files.path(), "code.desktop")}), 1);
    EXPECT_FALSE(pane.lastError().isEmpty());
}

TEST_F(ExclusionsPane, EntriesBelowAnApplicationsFolderKeepTheirSubfolderInTheId) {
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    const QByteArray dataDirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString((files / "home").string()));
    qputenv("XDG_DATA_DIRS", QByteArray::fromStdString((files / "share").string()));
    const auto konsole = app(files / "share" / "applications" / "kde4", "konsole.desktop");
    const auto loose = app(files / "elsewhere" / "kde4", "dolphin.desktop");

    pane.addDesktopFiles({konsole, loose});
    EXPECT_EQ(stored(sim), "kde4-konsole\ndolphin");

    dataHome.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", dataHome);
    dataDirs.isNull() ? qunsetenv("XDG_DATA_DIRS") : qputenv("XDG_DATA_DIRS", dataDirs);
}

TEST_F(ExclusionsPane, RowsShowTheCatalogsNameAndIconOrTheIdentifier) {
    sim.catalog.add({"firefox", "Firefox", "file:///icons/firefox.png"});
    sim.catalog.add({"nameless", "", ""});
    sim.defaults.set(prefs::ignoredApps, std::string("firefox\nunknown.app\nnameless"));
    const auto rows = pane.apps();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].toMap()["name"].toString(), "Firefox");
    EXPECT_EQ(rows[0].toMap()["iconSource"].toString(), "file:///icons/firefox.png");
    EXPECT_TRUE(rows[0].toMap()["installed"].toBool());
    EXPECT_EQ(rows[1].toMap()["name"].toString(), "unknown.app");
    EXPECT_TRUE(rows[1].toMap()["iconSource"].toString().isEmpty());
    EXPECT_FALSE(rows[1].toMap()["installed"].toBool());
    EXPECT_EQ(rows[2].toMap()["name"].toString(), "nameless");
    EXPECT_FALSE(pane.empty());

    // The tray menu writes through the same preferences; the list follows.
    EXPECT_EQ(emissions(&pane, &shell::ExclusionsPaneModel::changed,
                        [&] { sim.shell->preferences().setString("ignoredApps", "firefox"); }),
              1);
    EXPECT_EQ(pane.apps().size(), 1);
}

TEST(DesktopApplicationCatalog, FindsNamesAndIconFilesOfTheDataFolders) {
    TempDir data{"tessera-catalog"};
    const auto user = data / "user" / "applications";
    const auto system = data / "system" / "applications";
    writeTestFile(system / "editor.desktop",
                  "[Desktop Entry]\nType=Application\nName=Editor\nIcon=editor\n");
    writeTestFile(system / "viewer.desktop",
                  "[Desktop Entry]\nType=Application\nName=Viewer\nIcon=viewer.png\n");
    writeTestFile(system / "plain.desktop",
                  "[Desktop Entry]\nType=Application\nName=Plain\nIcon=../../secret\n");
    writeTestFile(user / "editor.desktop",
                  "[Desktop Entry]\nType=Application\nName=My Editor\nIcon=editor\n");
    writeTestFile(data / "system" / "icons" / "hicolor" / "16x16" / "apps" / "editor.png", "png");
    writeTestFile(data / "system" / "icons" / "hicolor" / "48x48" / "apps" / "editor.png", "png");
    writeTestFile(data / "system" / "pixmaps" / "viewer.xpm", "xpm");
    writeTestFile(data / "user" / "absolute.svg", "svg");
    writeTestFile(system / "abs.desktop", "[Desktop Entry]\nType=Application\nName=Abs\nIcon=" +
                                              (data / "user" / "absolute.svg").string() + "\n");

    shell::DesktopApplicationCatalog catalog({user, system});
    const auto editor = catalog.find("editor");
    ASSERT_TRUE(editor);
    // The user's own entry hides the system's.
    EXPECT_EQ(editor->name, "My Editor");
    EXPECT_EQ(
        editor->iconSource,
        QUrl::fromLocalFile(
            QString::fromStdString(
                (data / "system" / "icons" / "hicolor" / "48x48" / "apps" / "editor.png").string()))
            .toString());
    EXPECT_TRUE(catalog.find("viewer")->iconSource.endsWith("/system/pixmaps/viewer.xpm"));
    EXPECT_TRUE(catalog.find("abs")->iconSource.endsWith("/user/absolute.svg"));
    EXPECT_TRUE(catalog.find("plain")->iconSource.isEmpty());
    EXPECT_FALSE(catalog.find("missing"));
}

TEST(DesktopApplicationCatalog, AnApplicationInstalledLaterIsFoundAfterTheRescanInterval) {
    TempDir data{"tessera-catalog"};
    const auto folder = data / "applications";
    writeTestFile(folder / "one.desktop", "[Desktop Entry]\nType=Application\nName=One\n");
    shell::DesktopApplicationCatalog cached({folder}, std::chrono::hours(1));
    shell::DesktopApplicationCatalog fresh({folder}, std::chrono::seconds(0));
    ASSERT_TRUE(cached.find("one"));
    ASSERT_TRUE(fresh.find("one"));

    writeTestFile(folder / "two.desktop", "[Desktop Entry]\nType=Application\nName=Two\n");
    EXPECT_FALSE(cached.find("two"));
    ASSERT_TRUE(fresh.find("two"));
    EXPECT_EQ(fresh.find("two")->name, "Two");
}

} // namespace
} // namespace tessera::test
