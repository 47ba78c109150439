#include "core/ui/Overview.h"

#include "core/hotkeys/KeyCombos.h"
#include "core/placement/CommandShortcuts.h"
#include "core/store/BuiltInLayouts.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimLocalizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace tessera;

namespace {

using Caps = std::vector<std::string>;

TEST(OverviewKeyCaps, ModifiersComeInLinuxOrderBeforeTheKeyAndReadAsTheLinuxText) {
    const auto en = makeSimLocalizer("en");
    const KeyCombo every{
        0, carbon::cmdKey | carbon::shiftKey | carbon::optionKey | carbon::controlKey, "⌃⌥⇧⌘A"};
    EXPECT_EQ(linuxKeyCaps(every, en), (Caps{"Ctrl", "Alt", "Shift", "Super", "A"}));
    // Keys whose Mac glyph means little on a PC keyboard get their PC names.
    EXPECT_EQ(linuxKeyCaps({36, carbon::optionKey | carbon::cmdKey, "⌥⌘↩"}, en),
              (Caps{"Alt", "Super", "Return"}));
    for (const auto command : allWindowCommands) {
        const auto combo = defaultShortcut(command, en);
        std::string joined;
        for (const auto& cap : linuxKeyCaps(combo, en)) {
            joined += (joined.empty() ? "" : "+") + cap;
        }
        EXPECT_EQ(joined, linuxShortcutText(combo, en)) << rawValue(command);
    }
    const auto ru = makeSimLocalizer("ru");
    EXPECT_EQ(linuxKeyCaps({49, carbon::controlKey, ""}, ru),
              (Caps{ru.localized("Ctrl"), ru.localized("Space")}));
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
    }
    EXPECT_EQ(rows[0].title, "Fill Screen");
    EXPECT_EQ(commandOverviewRows(defaults, makeSimLocalizer("de"), {})[0].title,
              makeSimLocalizer("de").localized("Fill Screen"));
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

ScreenInfo screen(ScreenInsets insets) {
    ScreenInfo info;
    info.id = "1000x500 Test 2000x1000";
    info.name = "Test";
    info.pointWidth = 1000;
    info.pointHeight = 500;
    info.visibleInsets = insets;
    return info;
}

TEST(OverviewPreview, ZonesSitInTheFreeAreaLargestFirstWithTranslatedNames) {
    const auto en = makeSimLocalizer("en");
    const Zone small{Uuid::random(), "Small", 0.5, 0.5, 0.5, 0.5, std::nullopt};
    const Zone big{Uuid::random(), "Big", 0, 0, 0.5, 1, std::nullopt};
    const Layout layout{Uuid::random(), "Mine", {small, big}};
    const auto zones = previewZones(layout, screen({0.1, 0.2, 0.1, 0}), en);
    ASSERT_EQ(zones.size(), 2u);
    const auto expect = [](const auto& zone, std::string name, double x, double y, double w,
                           double h) {
        EXPECT_EQ(zone.name, name);
        EXPECT_DOUBLE_EQ(zone.x, x);
        EXPECT_DOUBLE_EQ(zone.y, y);
        EXPECT_DOUBLE_EQ(zone.width, w);
        EXPECT_DOUBLE_EQ(zone.height, h);
    };
    expect(zones[0], "Big", 0.2, 0.1, 0.4, 0.8);
    expect(zones[1], "Small", 0.6, 0.5, 0.4, 0.4);
    expect(previewZones(layout, screen({}), en)[1], "Small", 0.5, 0.5, 0.5, 0.5);

    const auto builtIn = builtInLayouts().front();
    const auto translated = previewZones(builtIn, screen({}), makeSimLocalizer("ru"));
    ASSERT_FALSE(translated.empty());
    EXPECT_TRUE(std::none_of(builtIn.zones.begin(), builtIn.zones.end(),
                             [&](const Zone& z) { return z.name == translated[0].name; }))
        << "shown untranslated: " << translated[0].name;
}

TEST(OverviewPreview, PicturesKeepTheirProportionsWithinTheirLimits) {
    auto info = screen({});
    EXPECT_DOUBLE_EQ(previewAspect(info), 2.0);
    info.pointHeight = 0;
    EXPECT_DOUBLE_EQ(previewAspect(info), 1.6);

    using Size = std::pair<std::int64_t, std::int64_t>;
    EXPECT_EQ(thumbnailSize(3840, 2160, 1600), (Size{1600, 900}));
    EXPECT_EQ(thumbnailSize(2160, 3840, 1600), (Size{900, 1600}));
    // Small pictures are not enlarged; a very thin one keeps at least one pixel.
    EXPECT_EQ(thumbnailSize(800, 600, 1600), (Size{800, 600}));
    EXPECT_EQ(thumbnailSize(100000, 2, 1600), (Size{1600, 1}));
    EXPECT_EQ(thumbnailSize(0, 600, 1600), (Size{0, 0}));
    EXPECT_EQ(thumbnailSize(-5, 600, 1600), (Size{0, 0}));
}

TEST(OverviewDesktopPicture, ReadsTheFileOfGSettingsOutputAndNothingElse) {
    using namespace std::string_view_literals;
    const std::vector<std::pair<std::string_view, std::optional<std::string>>> cases{
        {"'file:///usr/share/backgrounds/gnome/blobs-l.svg'\n",
         "/usr/share/backgrounds/gnome/blobs-l.svg"},
        {"'file://localhost/home/me/pic.png'", "/home/me/pic.png"},
        {"'FILE:///a.jpg'", "/a.jpg"},
        // Addresses are percent-encoded; paths are not, and older settings held a bare path.
        {"'file:///home/me/My%20Pictures/%C3%A9t%C3%A9.jpg'", "/home/me/My Pictures/été.jpg"},
        {"'/home/me/wall 1.png'", "/home/me/wall 1.png"},
        // A value with a single quote comes in double quotes, or escaped.
        {"\"file:///home/me/it's.png\"", "/home/me/it's.png"},
        {R"('file:///home/me/it\'s.png')", "/home/me/it's.png"},
        {"'file:///a.png#frag'", "/a.png"},
        {"", std::nullopt},
        {"''\n", std::nullopt},
        {"'https://example.com/a.jpg'", std::nullopt},
        {"'file://otherhost/a.jpg'", std::nullopt},
        {"'relative/a.jpg'", std::nullopt},
        {"file:///unquoted.jpg", std::nullopt},
        {"'file:///a.jpg' trailing", std::nullopt},
        {"'file:///a'b.jpg'", std::nullopt},
        {"'file:///a\\nb.jpg'", std::nullopt},
        // Broken or NUL escapes, or a raw NUL, would name some other file.
        {"'file:///a%2.jpg'", std::nullopt},
        {"'file:///a%zz.jpg'", std::nullopt},
        {"'file:///a%00.jpg'", std::nullopt},
        {"'file:///a%'", std::nullopt},
        {"'file:///a\0b.jpg'"sv, std::nullopt},
        {"'/a\0b.jpg'"sv, std::nullopt},
        {"No such schema “org.gnome.desktop.background”", std::nullopt},
    };
    for (const auto& [output, file] : cases) {
        EXPECT_EQ(pictureFileFromGSettings(output), file) << output;
    }
}

} // namespace
