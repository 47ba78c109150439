#include "core/ui/MenuBarMenu.h"
#include "core/app/Preferences.h"
#include "core/model/StringTables.h"
#include "core/placement/CommandShortcuts.h"
#include "core/platform/Workspace.h"
#include "core/ui/IgnoredAppsList.h"
#include "core/ui/Overview.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimLocalizer.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace tessera;

namespace {
// Running applications as the test declares them, with or without a name or an identifier.
class FakeWorkspace final : public Workspace {
public:
    void add(RunningApplication application) {
        running_[application.processIdentifier] = std::move(application);
    }

    std::optional<ProcessId> frontmostApplication() const override { return std::nullopt; }
    std::optional<RunningApplication> runningApplication(ProcessId process) const override {
        const auto found = running_.find(process);
        return found == running_.end() ? std::nullopt : std::optional(found->second);
    }
    Connection onDidActivateApplication(std::function<void(ProcessId)>) override { return {}; }
    void beep() override {}
    std::vector<WindowListEntry> onScreenWindows() const override { return {}; }
    bool openURL(std::string_view) override { return false; }
    bool revealInFileBrowser(const std::vector<std::filesystem::path>&) override { return true; }

private:
    std::map<ProcessId, RunningApplication> running_;
};

constexpr ProcessId notes = 501;

class MenuBarMenuTest : public ::testing::Test {
protected:
    MenuBarMenuTest() {
        registerPreferenceDefaults(defaults);
        workspace.add({notes, "com.example.Notes", "Notes", ActivationPolicy::regular});
    }

    MenuBarContent build(std::optional<ProcessId> foreign = std::nullopt) const {
        return buildMenuBarContent({true, true}, foreign, held, workspace, defaults, english);
    }

    void storeIgnored(std::string text) { defaults.set(prefs::ignoredApps, std::move(text)); }

    FakeWorkspace workspace;
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
    EXPECT_TRUE(menu.find("snapOnDrag")->enabled);
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
        storeIgnored(c.stored);
        EXPECT_EQ(ignoredAppsToggled(defaults, "com.c", c.on), c.result) << c.stored;
    }
    defaults.set(prefs::ignoredApps, std::int64_t{3});
    EXPECT_EQ(ignoredAppsToggled(defaults, "com.x", true), "com.x");
}

TEST_F(MenuBarMenuTest, MenuBarIconIsOnUnlessSwitchedOff) {
    EXPECT_TRUE(showsMenuBarIcon(defaults));
    // Only false, or exactly 0 written by hand, switches it off.
    const std::pair<DefaultsValue, bool> stored[] = {{DefaultsValue(false), false},
                                                     {DefaultsValue(std::int64_t{0}), false},
                                                     {DefaultsValue(std::int64_t{1}), true},
                                                     {DefaultsValue(std::int64_t{2}), true},
                                                     {DefaultsValue(std::string("no")), true},
                                                     {DefaultsValue(0.5), true}};
    for (const auto& [value, shown] : stored) {
        defaults.set(prefs::showsMenuBarIcon, value);
        EXPECT_EQ(showsMenuBarIcon(defaults), shown) << value.index();
    }
}

// The Settings list of ignored applications, stored as one identifier per line.
TEST(IgnoredAppsListTest, AddingAppendsEachNewIdentifierOnceAndRemovingTakesEveryCopy) {
    using List = std::vector<std::string>;
    EXPECT_EQ(addingIgnoredApps({"org.gnome.Terminal"}, {"firefox", "code", "firefox", "gimp"}),
              (List{"org.gnome.Terminal", "firefox", "code", "gimp"}));
    // Matching is exact: a trailing space names another application.
    EXPECT_EQ(addingIgnoredApps({"firefox", "code"}, {"code", "code "}),
              (List{"firefox", "code", "code "}));
    // What the stored form can't hold is skipped.
    EXPECT_EQ(addingIgnoredApps({"a"}, {"", "evil\nfirefox", "b"}), (List{"a", "b"}));

    EXPECT_EQ(removingIgnoredApp({"a", "b", "a", "c", "a"}, "a"), (List{"b", "c"}));
    EXPECT_EQ(removingIgnoredApp({"a", "a "}, "a"), (List{"a "}));
    EXPECT_EQ(encodeIgnoredApps(removingIgnoredApp({"a"}, "a")), "");
}

namespace {
TEST(OverviewDesktopPicture, ReadsTheFileOfGSettingsOutputAndNothingElse) {
    using namespace std::string_view_literals;
    const std::vector<std::pair<std::string_view, std::optional<std::string>>> cases{
        {"'file://localhost/home/me/pic.png'", "/home/me/pic.png"},
        // Addresses are percent-encoded; paths are not, and older settings held a bare path.
        {"'file:///home/me/My%20Pictures/%C3%A9t%C3%A9.jpg'", "/home/me/My Pictures/été.jpg"},
        {"'/home/me/wall 1.png'", "/home/me/wall 1.png"},
        // A value with a single quote comes in double quotes, or escaped.
        {"\"file:///home/me/it's.png\"", "/home/me/it's.png"},
        {R"('file:///home/me/it\'s.png')", "/home/me/it's.png"},
        {"", std::nullopt},
        {"'https://example.com/a.jpg'", std::nullopt},
        {"file:///unquoted.jpg", std::nullopt},
        {"'file:///a.jpg' trailing", std::nullopt},
        // Broken or NUL escapes, or a raw NUL, would name some other file.
        {"'file:///a%2.jpg'", std::nullopt},
        {"'file:///a%00.jpg'", std::nullopt},
        {"'file:///a\0b.jpg'"sv, std::nullopt},
    };
    for (const auto& [output, file] : cases) {
        EXPECT_EQ(pictureFileFromGSettings(output), file) << output;
    }
}
} // namespace
