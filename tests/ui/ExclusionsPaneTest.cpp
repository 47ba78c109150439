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

class ExclusionsPane : public ::testing::Test {
protected:
    ExclusionsPane() { sim.start(); }

    SimShell sim;
    shell::ExclusionsPaneModel& pane = sim.shell->exclusionsPane();
};

TEST_F(ExclusionsPane, RowsAndTheChooserShowTheCatalogsNamesAndTheChooserAddsEachNewAppOnce) {
    sim.catalog.add({"org.gnome.Terminal", "Terminal", ""});
    sim.catalog.add({"firefox", "Firefox", "file:///icons/firefox.png"});
    sim.catalog.add({"code", "Code", ""});
    sim.catalog.add({"nameless", "", ""});
    sim.defaults.set(prefs::ignoredApps, std::string("firefox\nunknown.app\nnameless"));
    const auto field = [](const QVariantList& list, int row, const char* key) {
        return list.at(row).toMap().value(key);
    };
    // Rows: the catalog's name and icon, else the identifier (shown: tst_exclusions.qml).
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
    EXPECT_EQ(field(choices, 1, "name"), "Code");
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
    EXPECT_EQ(stored(sim), "org.gnome.Terminal\nfirefox\ncode\norg.gimp.GIMP");
    EXPECT_TRUE(pane.lastError().isEmpty());
    // Already listed: nothing is written.
    const auto writes = sim.defaults.writeCount();
    EXPECT_EQ(pane.ignoreApps({"firefox"}), 0);
    EXPECT_EQ(sim.defaults.writeCount(), writes);
    sim.defaults.failWrites(true);
    EXPECT_EQ(pane.ignoreApps({"gedit"}), 1);
    EXPECT_FALSE(pane.lastError().isEmpty());
    sim.defaults.failWrites(false);

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

    // What the chooser offers: applications the menus show, by name.
    writeTestFile(system / "helper.desktop",
                  "[Desktop Entry]\nType=Application\nName=Helper\nNoDisplay=true\n");
    writeTestFile(system / "site.desktop", "[Desktop Entry]\nType=Link\nName=Site\n");
    std::vector<QString> names;
    for (const auto& entry : catalog.applications()) {
        names.push_back(entry.name);
    }
    EXPECT_EQ(names, (std::vector<QString>{"Abs", "My Editor", "Plain", "Viewer"}));
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
