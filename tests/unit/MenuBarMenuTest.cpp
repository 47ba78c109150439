#include "core/ui/MenuBarMenu.h"
#include "core/app/Preferences.h"
#include "core/model/StringTables.h"
#include "core/placement/CommandShortcuts.h"
#include "core/ui/IgnoredAppsList.h"
#include "core/ui/Overview.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimLocalizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tessera;

namespace {
constexpr ProcessId notes = 501;

class MenuBarMenuTest : public ::testing::Test {
protected:
    MenuBarMenuTest() {
        registerPreferenceDefaults(defaults);
        workspace.addApplication(notes, "com.example.Notes", "Notes");
    }

    MenuBarContent build(std::optional<ProcessId> foreign = std::nullopt) const {
        return buildMenuBarContent({true, true}, foreign, held, workspace, defaults, english);
    }

    void storeIgnored(std::string text) { defaults.set(prefs::ignoredApps, std::move(text)); }

    SimDesktop workspace;
    SimDefaults defaults;
    ShortcutsHeldElsewhere held;
    TableLocalizer english = makeSimLocalizer("en");
};
} // namespace

TEST_F(MenuBarMenuTest, CommandsShowTheShortcutThatWorksAndNameOneAnotherProgramHolds) {
    // The stored glyph text is shown as stored; the Linux text comes from code and modifiers.
    ASSERT_TRUE(setShortcut(WindowCommand::zoneUp, KeyCombo{0, 0x1000, "stored text"}, defaults));
    ASSERT_TRUE(setShortcut(WindowCommand::zoneDown, std::nullopt, defaults));
    defaults.set(shortcutKey(WindowCommand::nextDisplay), Bytes{'{', 'x'});
    defaults.set(shortcutKey(WindowCommand::previousDisplay), std::string("a string, not data"));
    held.commands = {WindowCommand::zoneLeft, WindowCommand::zoneDown};

    const auto menu = build();
    EXPECT_EQ(menu.find("command.fillScreen")->shortcut,
              (MenuShortcut{"⌥⌘↩", "Alt+Super+Return", {}}));
    EXPECT_EQ(menu.find("command.fillScreen")->note, "");
    EXPECT_EQ(menu.find("command.zoneUp")->shortcut, (MenuShortcut{"stored text", "Ctrl+A", {}}));
    for (const auto* id : {"command.zoneDown", "command.nextDisplay", "command.previousDisplay"}) {
        EXPECT_EQ(menu.find(id)->shortcut, std::nullopt) << id;
    }
    // Held elsewhere: left out and named in the note; without a shortcut nothing to explain.
    EXPECT_EQ(menu.find("command.zoneLeft")->shortcut, std::nullopt);
    EXPECT_EQ(menu.find("command.zoneLeft")->note, "Another application uses Ctrl+Alt+←.");
    EXPECT_EQ(menu.find("command.zoneDown")->note, "");
}

TEST_F(MenuBarMenuTest, SwitchesFollowThePreferencesAndIgnoreNeedsZonesOn) {
    EXPECT_TRUE(build().find("snapOnDrag")->checked);
    storeIgnored("com.example.Notes.helper\ncom.example\nCOM.EXAMPLE.NOTES");
    EXPECT_FALSE(build(notes).find("ignoreApp")->checked) << "only an exact entry counts";
    storeIgnored("org.other\n\ncom.example.Notes\n");
    EXPECT_TRUE(build(notes).find("ignoreApp")->checked);
    EXPECT_TRUE(build(notes).find("ignoreApp")->enabled);

    defaults.set(prefs::snapOnDrag, false);
    const auto menu = build(notes);
    EXPECT_FALSE(menu.find("snapOnDrag")->checked);
    EXPECT_FALSE(menu.find("ignoreApp")->enabled);
    EXPECT_TRUE(menu.find("ignoreApp")->checked);
}

TEST_F(MenuBarMenuTest, SwitchingAnApplicationsExclusionKeepsOneCopyInOrder) {
    struct Case {
        std::string stored;
        bool on;
        std::string result;
    };
    // On appends (an entry listed twice by hand ends up once, at the end); off removes every
    // exact copy, drops empty pieces and leaves no trailing newline.
    const Case cases[] = {
        {"org.a\norg.b", true, "org.a\norg.b\ncom.c"},
        {"com.c\norg.a\ncom.c\norg.b", true, "org.a\norg.b\ncom.c"},
        {"org.b\ncom.c\norg.a\ncom.c", false, "org.b\norg.a"},
        {"com.c\ncom.c", false, ""},
        {"com.cc\n\ncom.c\nCOM.C\n", false, "com.cc\nCOM.C"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ignoredAppsToggled(c.stored, "com.c", c.on), c.result) << c.stored;
    }
    defaults.set(prefs::ignoredApps, std::int64_t{3});
    EXPECT_EQ(ignoredAppsToggled(defaults, "com.x", true), "com.x");
}

TEST_F(MenuBarMenuTest, MenuBarIconIsOnUnlessSwitchedOff) {
    EXPECT_TRUE(showsMenuBarIcon(defaults));
    // Only false, or exactly 0 written by hand, switches it off.
    const std::pair<DefaultsValue, bool> stored[] = {{DefaultsValue(false), false},
                                                     {DefaultsValue(std::int64_t{0}), false},
                                                     {DefaultsValue(std::int64_t{2}), true}};
    for (const auto& [value, shown] : stored) {
        defaults.set(prefs::showsMenuBarIcon, value);
        EXPECT_EQ(showsMenuBarIcon(defaults), shown) << value.index();
    }
}

// The Settings list of ignored applications, stored as one identifier per line (each new one
// added once: SettingsPanes.ExclusionRows…; every copy removed: tst_exclusions.qml).
TEST(IgnoredAppsListTest, MatchingIsExactAndWhatTheStoredFormCantHoldIsSkipped) {
    using List = std::vector<std::string>;
    // Matching is exact: a trailing space names another application.
    EXPECT_EQ(addingIgnoredApps({"firefox", "code"}, {"code", "code "}),
              (List{"firefox", "code", "code "}));
    // What the stored form can't hold is skipped.
    EXPECT_EQ(addingIgnoredApps({"a"}, {"", "evil\nfirefox", "b"}), (List{"a", "b"}));

    EXPECT_EQ(removingIgnoredApp({"a", "a "}, "a"), (List{"a "}));
    EXPECT_EQ(encodeIgnoredApps(removingIgnoredApp({"a"}, "a")), "");
}

namespace {
TEST(OverviewDesktopPicture, ReadsTheFileOfGSettingsOutputAndNothingElse) {
    const std::vector<std::pair<std::string_view, std::optional<std::string>>> cases{
        {"'file://localhost/home/me/pic.png'", "/home/me/pic.png"},
        // Addresses are percent-encoded; paths are not, and older settings held a bare path.
        {"'file:///home/me/My%20Pictures/%C3%A9t%C3%A9.jpg'", "/home/me/My Pictures/été.jpg"},
        {"'/home/me/wall 1.png'", "/home/me/wall 1.png"},
        // A value with a single quote comes in double quotes, or escaped.
        {"\"file:///home/me/it's.png\"", "/home/me/it's.png"},
        {R"('file:///home/me/it\'s.png')", "/home/me/it's.png"},
        {"", std::nullopt},
        // A broken escape would name some other file (a scheme or a NUL left over: the fuzz
        // target).
        {"'file:///a%2.jpg'", std::nullopt},
    };
    for (const auto& [output, file] : cases) {
        EXPECT_EQ(pictureFileFromGSettings(output), file) << output;
    }
}
} // namespace
