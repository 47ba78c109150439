#include "core/ui/Overview.h"

#include "core/hotkeys/KeyCombos.h"
#include "core/placement/CommandShortcuts.h"
#include "core/store/BuiltInLayouts.h"
#include "core/store/DisplayNames.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimLocalizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace tessera;

namespace {

using Caps = std::vector<std::string>;

TEST(OverviewKeyCaps, ModifiersComeInLinuxOrderBeforeTheKey) {
    const auto en = makeSimLocalizer("en");
    const KeyCombo every{
        0, carbon::cmdKey | carbon::shiftKey | carbon::optionKey | carbon::controlKey, "⌃⌥⇧⌘A"};
    EXPECT_EQ(linuxKeyCaps(every, en), (Caps{"Ctrl", "Alt", "Shift", "Super", "A"}));
    EXPECT_EQ(linuxKeyCaps({123, carbon::controlKey | carbon::optionKey, "⌃⌥←"}, en),
              (Caps{"Ctrl", "Alt", "←"}));
    // Keys whose Mac glyph means little on a PC keyboard get their PC names.
    EXPECT_EQ(linuxKeyCaps({36, carbon::optionKey | carbon::cmdKey, "⌥⌘↩"}, en),
              (Caps{"Alt", "Super", "Return"}));
    EXPECT_EQ(linuxKeyCaps({122, 0, "F1"}, en), (Caps{"F1"}));
}

TEST(OverviewKeyCaps, CapsReadAsTheJoinedLinuxText) {
    const auto en = makeSimLocalizer("en");
    for (const auto command : allWindowCommands) {
        const auto combo = defaultShortcut(command, en);
        std::string joined;
        for (const auto& cap : linuxKeyCaps(combo, en)) {
            joined += (joined.empty() ? "" : "+") + cap;
        }
        EXPECT_EQ(joined, linuxShortcutText(combo, en)) << rawValue(command);
    }
}

TEST(OverviewKeyCaps, ModifierNamesFollowTheLanguage) {
    const auto ru = makeSimLocalizer("ru");
    const auto caps = linuxKeyCaps({49, carbon::controlKey, ""}, ru);
    ASSERT_EQ(caps.size(), 2u);
    EXPECT_EQ(caps[0], ru.localized("Ctrl"));
    EXPECT_EQ(caps[1], ru.localized("Space"));
}

TEST(OverviewCommandRows, ShowTheShortcutThatWorksNow) {
    const auto en = makeSimLocalizer("en");
    SimDefaults defaults;
    ASSERT_TRUE(setShortcut(WindowCommand::zoneUp, KeyCombo{0, carbon::shiftKey, "⇧A"}, defaults));
    ASSERT_TRUE(setShortcut(WindowCommand::nextDisplay, std::nullopt, defaults));

    ShortcutsHeldElsewhere held;
    held.commands = {WindowCommand::zoneLeft, WindowCommand::nextDisplay};
    const auto rows = commandOverviewRows(defaults, en, held);
    ASSERT_EQ(rows.size(), allWindowCommands.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].command, allWindowCommands[i]);
        EXPECT_EQ(rows[i].symbol, info(allWindowCommands[i]).symbol);
    }
    EXPECT_EQ(rows[0].title, "Fill Screen");
    // Nothing stored: the default, here held by another program, which the row says.
    EXPECT_EQ(rows[1].keyCaps, (Caps{"Ctrl", "Alt", "←"}));
    EXPECT_EQ(rows[1].heldElsewhereMessage,
              "Another application uses this shortcut, so it does nothing in Tessera.");
    EXPECT_EQ(rows[0].heldElsewhereMessage, std::nullopt);
    // A stored shortcut replaces the default.
    EXPECT_EQ(rows[3].keyCaps, (Caps{"Shift", "A"}));
    // A removed shortcut shows no keys rather than a default that no longer works, and has
    // nothing another program could hold.
    EXPECT_TRUE(rows[6].keyCaps.empty());
    EXPECT_EQ(rows[6].heldElsewhereMessage, std::nullopt);
}

TEST(OverviewCommandRows, TitlesAreLocalized) {
    const auto de = makeSimLocalizer("de");
    SimDefaults defaults;
    const auto rows = commandOverviewRows(defaults, de, {});
    EXPECT_EQ(rows[0].title, de.localized("Fill Screen"));
}

ScreenInfo screen(ScreenInsets insets) {
    ScreenInfo info;
    info.id = "1000x500 Test 2000x1000";
    info.name = "Test";
    info.pointWidth = 1000;
    info.pointHeight = 500;
    info.visibleInsets = insets;
    return info;
}

TEST(OverviewPreview, ZonesSitInTheFreeAreaLargestFirst) {
    const auto en = makeSimLocalizer("en");
    Layout layout{Uuid::random(), "Mine", {}};
    layout.zones.push_back({Uuid::random(), "Small", 0.5, 0.5, 0.5, 0.5, std::nullopt});
    layout.zones.push_back({Uuid::random(), "Big", 0, 0, 0.5, 1, std::nullopt});

    const auto zones = previewZones(layout, screen({0.1, 0.2, 0.1, 0}), en);
    ASSERT_EQ(zones.size(), 2u);
    EXPECT_EQ(zones[0].name, "Big");
    EXPECT_DOUBLE_EQ(zones[0].x, 0.2);
    EXPECT_DOUBLE_EQ(zones[0].y, 0.1);
    EXPECT_DOUBLE_EQ(zones[0].width, 0.4);
    EXPECT_DOUBLE_EQ(zones[0].height, 0.8);
    EXPECT_EQ(zones[1].name, "Small");
    EXPECT_DOUBLE_EQ(zones[1].x, 0.6);
    EXPECT_DOUBLE_EQ(zones[1].y, 0.5);
    EXPECT_DOUBLE_EQ(zones[1].width, 0.4);
    EXPECT_DOUBLE_EQ(zones[1].height, 0.4);

    // Without insets the zones are the stored fractions.
    const auto plain = previewZones(layout, screen({}), en);
    EXPECT_DOUBLE_EQ(plain[1].x, 0.5);
    EXPECT_DOUBLE_EQ(plain[1].height, 0.5);
}

TEST(OverviewPreview, BuiltInZoneNamesAreShownInTheLanguage) {
    const auto ru = makeSimLocalizer("ru");
    const auto layout = builtInLayouts().front();
    ASSERT_FALSE(layout.zones.empty());
    const auto zones = previewZones(layout, screen({}), ru);
    std::vector<std::string> expected;
    for (const auto& zone : layout.zones) {
        expected.push_back(displayName(zone.id, zone.name, ru));
    }
    for (const auto& zone : zones) {
        EXPECT_NE(std::find(expected.begin(), expected.end(), zone.name), expected.end())
            << zone.name;
    }
}

TEST(OverviewPreview, AspectFollowsThePointSize) {
    auto info = screen({});
    EXPECT_DOUBLE_EQ(previewAspect(info), 2.0);
    info.pointWidth = 1080;
    info.pointHeight = 1920;
    EXPECT_DOUBLE_EQ(previewAspect(info), 1080.0 / 1920.0);
    info.pointHeight = 0;
    EXPECT_DOUBLE_EQ(previewAspect(info), 1.6);
}

TEST(OverviewThumbnail, LongerSideIsCappedAndProportionsKept) {
    using Size = std::pair<std::int64_t, std::int64_t>;
    EXPECT_EQ(thumbnailSize(3840, 2160, 1600), (Size{1600, 900}));
    EXPECT_EQ(thumbnailSize(2160, 3840, 1600), (Size{900, 1600}));
    EXPECT_EQ(thumbnailSize(4000, 4000, 1600), (Size{1600, 1600}));
    // Small pictures are not enlarged.
    EXPECT_EQ(thumbnailSize(800, 600, 1600), (Size{800, 600}));
    EXPECT_EQ(thumbnailSize(1600, 10, 1600), (Size{1600, 10}));
    // A very thin picture keeps at least one pixel.
    EXPECT_EQ(thumbnailSize(100000, 2, 1600), (Size{1600, 1}));
    EXPECT_EQ(thumbnailSize(0, 600, 1600), (Size{0, 0}));
    EXPECT_EQ(thumbnailSize(-5, 600, 1600), (Size{0, 0}));
}

TEST(OverviewDesktopPicture, ReadsTheFileOfGSettingsOutput) {
    EXPECT_EQ(pictureFileFromGSettings("'file:///usr/share/backgrounds/gnome/blobs-l.svg'\n"),
              "/usr/share/backgrounds/gnome/blobs-l.svg");
    EXPECT_EQ(pictureFileFromGSettings("'file://localhost/home/me/pic.png'"), "/home/me/pic.png");
    EXPECT_EQ(pictureFileFromGSettings("'FILE:///a.jpg'"), "/a.jpg");
    // Addresses are percent-encoded; paths are not.
    EXPECT_EQ(pictureFileFromGSettings("'file:///home/me/My%20Pictures/%C3%A9t%C3%A9.jpg'"),
              "/home/me/My Pictures/été.jpg");
    // Older settings held a bare path.
    EXPECT_EQ(pictureFileFromGSettings("'/home/me/wall 1.png'"), "/home/me/wall 1.png");
    // A value with a single quote comes in double quotes, or escaped.
    EXPECT_EQ(pictureFileFromGSettings("\"file:///home/me/it's.png\""), "/home/me/it's.png");
    EXPECT_EQ(pictureFileFromGSettings(R"('file:///home/me/it\'s.png')"), "/home/me/it's.png");
    EXPECT_EQ(pictureFileFromGSettings("'file:///a.png#frag'"), "/a.png");
}

TEST(OverviewDesktopPicture, AnythingElseIsNoPicture) {
    EXPECT_EQ(pictureFileFromGSettings(""), std::nullopt);
    EXPECT_EQ(pictureFileFromGSettings("''\n"), std::nullopt);
    EXPECT_EQ(pictureFileFromGSettings("'https://example.com/a.jpg'"), std::nullopt);
    EXPECT_EQ(pictureFileFromGSettings("'file://otherhost/a.jpg'"), std::nullopt);
    EXPECT_EQ(pictureFileFromGSettings("'relative/a.jpg'"), std::nullopt);
    EXPECT_EQ(pictureFileFromGSettings("file:///unquoted.jpg"), std::nullopt);
    EXPECT_EQ(pictureFileFromGSettings("'file:///a.jpg' trailing"), std::nullopt);
    EXPECT_EQ(pictureFileFromGSettings("'file:///a'b.jpg'"), std::nullopt);
    EXPECT_EQ(pictureFileFromGSettings("'file:///a\\nb.jpg'"), std::nullopt);
    // Broken or NUL escapes would name some other file.
    EXPECT_EQ(pictureFileFromGSettings("'file:///a%2.jpg'"), std::nullopt);
    EXPECT_EQ(pictureFileFromGSettings("'file:///a%zz.jpg'"), std::nullopt);
    EXPECT_EQ(pictureFileFromGSettings("'file:///a%00.jpg'"), std::nullopt);
    EXPECT_EQ(pictureFileFromGSettings("'file:///a%'"), std::nullopt);
    // So would a raw NUL, in an address or a bare path.
    using namespace std::string_view_literals;
    EXPECT_EQ(pictureFileFromGSettings("'file:///a\0b.jpg'"sv), std::nullopt);
    EXPECT_EQ(pictureFileFromGSettings("'/a\0b.jpg'"sv), std::nullopt);
    EXPECT_EQ(pictureFileFromGSettings("No such schema “org.gnome.desktop.background”"),
              std::nullopt);
}

} // namespace
