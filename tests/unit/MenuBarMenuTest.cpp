#include "core/ui/MenuBarMenu.h"

#include "core/app/Preferences.h"
#include "core/model/StringTables.h"
#include "core/placement/CommandShortcuts.h"
#include "core/platform/Workspace.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimLocalizer.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
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
constexpr ProcessId nameless = 502;
constexpr ProcessId noIdentifier = 503;
constexpr ProcessId gone = 504;

Bytes bytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

class MenuBarMenuTest : public ::testing::Test {
protected:
    MenuBarMenuTest() {
        registerPreferenceDefaults(defaults);
        workspace.add({notes, "com.example.Notes", "Notes", ActivationPolicy::regular});
        workspace.add({nameless, "org.example.tool", std::nullopt, ActivationPolicy::regular});
        workspace.add({noIdentifier, std::nullopt, "Script", ActivationPolicy::regular});
    }

    MenuBarContent build(std::optional<ProcessId> foreign = std::nullopt,
                         PermissionStatus permissions = {true, true}) const {
        return buildMenuBarContent(permissions, foreign, held, workspace, defaults, english);
    }

    static std::vector<std::vector<std::string>> ids(const MenuBarContent& menu) {
        std::vector<std::vector<std::string>> result;
        for (const auto& group : menu.groups) {
            auto& row = result.emplace_back();
            for (const auto& entry : group) {
                row.push_back(entry.id);
            }
        }
        return result;
    }

    void storeIgnored(std::string text) { defaults.set(prefs::ignoredApps, std::move(text)); }

    FakeWorkspace workspace;
    SimDefaults defaults;
    ShortcutsHeldElsewhere held;
    TableLocalizer english = makeSimLocalizer("en");
};

} // namespace

// --- Shape ---

TEST_F(MenuBarMenuTest, GroupsHoldTheirEntriesInOrder) {
    const auto menu = build(notes);

    const std::vector<std::vector<std::string>> expected{
        {"status"},
        {"activeWindow", "command.fillScreen", "command.zoneLeft", "command.zoneRight",
         "command.zoneUp", "command.zoneDown", "command.previousDisplay", "command.nextDisplay"},
        {"previewZones", "snapOnDrag", "ignoreApp"},
        {"openTessera", "editZones", "settings"},
        {"quit"}};
    EXPECT_EQ(ids(menu), expected);

    EXPECT_EQ(menu.find("activeWindow")->title, "Active Window");
    EXPECT_EQ(menu.find("activeWindow")->kind, MenuEntryKind::heading);
    EXPECT_EQ(menu.find("previewZones")->title, "Show Zones on Screens");
    EXPECT_EQ(menu.find("openTessera")->title, "Open Tessera");
    EXPECT_EQ(menu.find("editZones")->title, "Edit Zones…");
    EXPECT_EQ(menu.find("settings")->title, "Settings…");
    EXPECT_EQ(menu.find("quit")->title, "Quit Tessera");
    EXPECT_EQ(menu.find("nothing"), nullptr);
}

TEST_F(MenuBarMenuTest, CommandsCarryTitleSymbolAndCommandInCaseOrder) {
    const auto menu = build();
    const auto& group = menu.groups.at(1);
    ASSERT_EQ(group.size(), allWindowCommands.size() + 1);
    for (std::size_t i = 0; i < allWindowCommands.size(); ++i) {
        const auto command = allWindowCommands[i];
        const auto& entry = group[i + 1];
        EXPECT_EQ(entry.command, command);
        EXPECT_EQ(entry.action, MenuAction::windowCommand);
        EXPECT_EQ(entry.title, info(command).title);
        EXPECT_EQ(entry.symbol, info(command).symbol);
        EXPECT_TRUE(entry.enabled);
    }
}

TEST_F(MenuBarMenuTest, PageEntriesOpenTheirPages) {
    const auto menu = build();
    EXPECT_EQ(menu.find("openTessera")->page, AppPage::overview);
    EXPECT_EQ(menu.find("editZones")->page, AppPage::zones);
    EXPECT_EQ(menu.find("settings")->page, AppPage::settings);
    EXPECT_EQ(menu.find("settings")->shortcut, (MenuShortcut{"⌘,", "Ctrl+,", "Ctrl+,"}));
    EXPECT_EQ(menu.find("quit")->action, MenuAction::quit);
    EXPECT_EQ(menu.find("quit")->shortcut, (MenuShortcut{"⌘Q", "Ctrl+Q", "Ctrl+Q"}));
}

// --- Status line ---

TEST_F(MenuBarMenuTest, StatusIsReadyOnlyWithBothPermissions) {
    EXPECT_EQ(build(std::nullopt, {true, true}).find("status")->title, "Ready to arrange windows");
    EXPECT_EQ(build(std::nullopt, {true, false}).find("status")->title, "Permissions needed");
    EXPECT_EQ(build(std::nullopt, {false, true}).find("status")->title, "Permissions needed");
    EXPECT_EQ(build(std::nullopt, {false, false}).find("status")->title, "Permissions needed");
    EXPECT_FALSE(build().find("status")->enabled);
}

// --- Shortcuts beside the commands ---

TEST_F(MenuBarMenuTest, CommandsShowTheirDefaultShortcutsInBothForms) {
    const auto menu = build();
    EXPECT_EQ(menu.find("command.zoneLeft")->shortcut, (MenuShortcut{"⌃⌥←", "Ctrl+Alt+←", {}}));
    EXPECT_EQ(menu.find("command.fillScreen")->shortcut,
              (MenuShortcut{"⌥⌘↩", "Alt+Super+Return", {}}));
    EXPECT_EQ(menu.find("command.zoneLeft")->note, "");
}

TEST_F(MenuBarMenuTest, AShortcutAnotherProgramHoldsIsLeftOutAndNamedInTheNote) {
    held.commands = {WindowCommand::zoneLeft, WindowCommand::zoneDown};
    ASSERT_TRUE(setShortcut(WindowCommand::zoneDown, std::nullopt, defaults));
    const auto menu = build();
    EXPECT_EQ(menu.find("command.zoneLeft")->shortcut, std::nullopt);
    EXPECT_EQ(menu.find("command.zoneLeft")->note, "Another application uses Ctrl+Alt+←.");
    // Without a shortcut there is nothing to explain.
    EXPECT_EQ(menu.find("command.zoneDown")->note, "");
    EXPECT_EQ(menu.find("command.zoneRight")->shortcut, (MenuShortcut{"⌃⌥→", "Ctrl+Alt+→", {}}));
}

TEST_F(MenuBarMenuTest, AStoredShortcutReplacesTheDefaultOrRemovesIt) {
    // The stored glyph text is shown as stored; the Linux text comes from code and modifiers.
    ASSERT_TRUE(setShortcut(WindowCommand::zoneUp, KeyCombo{0, 0x1000, "stored text"}, defaults));
    ASSERT_TRUE(setShortcut(WindowCommand::zoneDown, std::nullopt, defaults));
    defaults.set(shortcutKey(WindowCommand::nextDisplay), bytes("{not json"));
    defaults.set(shortcutKey(WindowCommand::previousDisplay), std::string("a string, not data"));

    const auto menu = build();
    EXPECT_EQ(menu.find("command.zoneUp")->shortcut, (MenuShortcut{"stored text", "Ctrl+A", {}}));
    EXPECT_EQ(menu.find("command.zoneDown")->shortcut, std::nullopt);
    EXPECT_EQ(menu.find("command.nextDisplay")->shortcut, std::nullopt);
    EXPECT_EQ(menu.find("command.previousDisplay")->shortcut, std::nullopt);
    // The others keep their defaults.
    EXPECT_EQ(menu.find("command.zoneRight")->shortcut, (MenuShortcut{"⌃⌥→", "Ctrl+Alt+→", {}}));
}

// --- Drag-to-snap switches ---

TEST_F(MenuBarMenuTest, SnapOnDragSwitchFollowsThePreference) {
    const auto on = build();
    EXPECT_EQ(on.find("snapOnDrag")->title, "Arrange Windows While Dragging");
    EXPECT_EQ(on.find("snapOnDrag")->kind, MenuEntryKind::toggle);
    EXPECT_TRUE(on.find("snapOnDrag")->checked);

    defaults.set(prefs::snapOnDrag, false);
    EXPECT_FALSE(build().find("snapOnDrag")->checked);
    EXPECT_TRUE(build().find("snapOnDrag")->enabled);
}

TEST_F(MenuBarMenuTest, IgnoreSwitchNamesTheLastOtherApplication) {
    const auto menu = build(notes);
    const auto* entry = menu.find("ignoreApp");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->title, "Don’t Show Zones for “Notes”");
    EXPECT_EQ(entry->kind, MenuEntryKind::toggle);
    EXPECT_EQ(entry->action, MenuAction::toggleIgnoredApp);
    EXPECT_EQ(entry->bundleIdentifier, "com.example.Notes");
    EXPECT_FALSE(entry->checked);
    EXPECT_TRUE(entry->enabled);

    // Without a name the identifier stands in.
    EXPECT_EQ(build(nameless).find("ignoreApp")->title, "Don’t Show Zones for “org.example.tool”");
}

TEST_F(MenuBarMenuTest, IgnoreSwitchExistsOnlyForARunningApplicationWithAnIdentifier) {
    EXPECT_EQ(build(std::nullopt).find("ignoreApp"), nullptr);
    EXPECT_EQ(build(gone).find("ignoreApp"), nullptr);
    EXPECT_EQ(build(noIdentifier).find("ignoreApp"), nullptr);
    // Its group keeps the other two entries.
    EXPECT_EQ(ids(build(noIdentifier)).at(2),
              (std::vector<std::string>{"previewZones", "snapOnDrag"}));
}

TEST_F(MenuBarMenuTest, IgnoreSwitchIsOnOnlyForAnExactEntry) {
    storeIgnored("com.example.Notes.helper\ncom.example\nCOM.EXAMPLE.NOTES");
    EXPECT_FALSE(build(notes).find("ignoreApp")->checked);

    storeIgnored("org.other\n\ncom.example.Notes\n");
    EXPECT_TRUE(build(notes).find("ignoreApp")->checked);
}

TEST_F(MenuBarMenuTest, IgnoreSwitchIsShownButDisabledWhileDragToSnapIsOff) {
    storeIgnored("com.example.Notes");
    defaults.set(prefs::snapOnDrag, false);

    const auto menu = build(notes);
    const auto* entry = menu.find("ignoreApp");
    ASSERT_NE(entry, nullptr);
    EXPECT_FALSE(entry->enabled);
    EXPECT_TRUE(entry->checked);
}

TEST_F(MenuBarMenuTest, TextsComeFromTheLanguageInEffect) {
    auto tables = std::make_shared<StringTables>();
    ASSERT_EQ(tables->add("xx", R"({"Don’t Show Zones for “%@”": "Keine Zonen für „%@“",
                                    "Active Window": "Aktives Fenster",
                                    "Ctrl": "Strg"})"),
              "");
    const TableLocalizer other(tables, "xx");

    const auto menu = buildMenuBarContent({true, true}, notes, {}, workspace, defaults, other);
    EXPECT_EQ(menu.find("ignoreApp")->title, "Keine Zonen für „Notes“");
    EXPECT_EQ(menu.find("activeWindow")->title, "Aktives Fenster");
    EXPECT_EQ(menu.find("command.zoneLeft")->shortcut->linuxText, "Strg+Alt+←");
}

// --- Switching an application's exclusion ---

TEST(IgnoredAppsToggleTest, SwitchingOnAppendsAfterTheExistingEntries) {
    EXPECT_EQ(ignoredAppsToggled("org.a\norg.b", "com.c", true), "org.a\norg.b\ncom.c");
    EXPECT_EQ(ignoredAppsToggled("", "com.c", true), "com.c");
    // Already listed (twice, by hand): one copy, moved to the end.
    EXPECT_EQ(ignoredAppsToggled("com.c\norg.a\ncom.c\norg.b", "com.c", true),
              "org.a\norg.b\ncom.c");
}

TEST(IgnoredAppsToggleTest, SwitchingOffRemovesEveryCopyAndKeepsTheOrder) {
    EXPECT_EQ(ignoredAppsToggled("org.b\ncom.c\norg.a\ncom.c", "com.c", false), "org.b\norg.a");
    EXPECT_EQ(ignoredAppsToggled("com.c\ncom.c", "com.c", false), "");
    // Only exact matches go; empty pieces are dropped and no newline trails.
    EXPECT_EQ(ignoredAppsToggled("com.cc\n\ncom.c\nCOM.C\n", "com.c", false), "com.cc\nCOM.C");
    EXPECT_EQ(ignoredAppsToggled("org.a", "com.c", false), "org.a");
}

TEST_F(MenuBarMenuTest, ToggleStartsFromTheStoredList) {
    storeIgnored("org.a\ncom.example.Notes\norg.b");
    EXPECT_EQ(ignoredAppsToggled(defaults, "com.example.Notes", false), "org.a\norg.b");
    EXPECT_EQ(ignoredAppsToggled(defaults, "com.x", true),
              "org.a\ncom.example.Notes\norg.b\ncom.x");

    defaults.set(prefs::ignoredApps, std::int64_t{3});
    EXPECT_EQ(ignoredAppsToggled(defaults, "com.x", true), "com.x");
}

// --- The tray icon switch ---

TEST_F(MenuBarMenuTest, MenuBarIconIsOnUnlessSwitchedOff) {
    EXPECT_TRUE(showsMenuBarIcon(defaults));
    defaults.set(prefs::showsMenuBarIcon, false);
    EXPECT_FALSE(showsMenuBarIcon(defaults));
    defaults.set(prefs::showsMenuBarIcon, std::int64_t{0});
    EXPECT_FALSE(showsMenuBarIcon(defaults));
    defaults.set(prefs::showsMenuBarIcon, std::string("no"));
    EXPECT_TRUE(showsMenuBarIcon(defaults));
}
