#include "core/store/Templates.h"
#include "core/model/StringTables.h"
#include "core/store/DisplayNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>

using namespace tessera;

namespace {

const LayoutPreset& presetWithID(const std::string& id) {
    const auto& all = LayoutPreset::all();
    const auto it = std::find_if(all.begin(), all.end(), [&](const auto& p) { return p.id == id; });
    if (it == all.end()) {
        ADD_FAILURE() << "no template " << id;
        return all.front();
    }
    return *it;
}

ScreenInfo screenOfSize(std::int64_t width, std::int64_t height) {
    ScreenInfo screen;
    screen.pointWidth = width;
    screen.pointHeight = height;
    screen.pixelWidth = width * 2;
    screen.pixelHeight = height * 2;
    screen.scale = 2;
    return screen;
}

class TemplatesTest : public ::testing::Test {
protected:
    std::shared_ptr<StringTables> tables = std::make_shared<StringTables>();
    void SetUp() override {
        ASSERT_EQ(tables->add("en", "{}"), "");
        ASSERT_EQ(tables->add("ru", R"({
            "Main + Sidebar": "Главная + панель",
            "Main": "Главная",
            "Halves": "Половины"
        })"),
                  "");
    }
    TableLocalizer english() const { return TableLocalizer(tables, "en"); }
    TableLocalizer russian() const { return TableLocalizer(tables, "ru"); }
};

} // namespace

TEST_F(TemplatesTest, NineteenTemplatesWithUniqueIds) {
    const auto& all = LayoutPreset::all();
    ASSERT_EQ(all.size(), 19u);
    std::set<std::string> ids;
    for (const auto& preset : all) {
        EXPECT_TRUE(ids.insert(preset.id).second) << preset.id;
        EXPECT_FALSE(preset.title.empty());
        EXPECT_FALSE(preset.zones.empty());
    }
    // Landscape templates first, then the portrait ones.
    const auto firstVertical = std::find_if(all.begin(), all.end(), [](const auto& p) {
        return p.orientation == Orientation::vertical;
    });
    EXPECT_EQ(firstVertical - all.begin(), 13);
    EXPECT_TRUE(std::all_of(firstVertical, all.end(),
                            [](const auto& p) { return p.orientation == Orientation::vertical; }));
    EXPECT_EQ(all.front().id, "halves");
    EXPECT_EQ(all[12].id, "pictureInPicture");
    EXPECT_EQ(all[13].id, "rows");
    EXPECT_EQ(all.back().id, "verticalCenter");
    EXPECT_EQ(&LayoutPreset::all(), &all);
}

TEST_F(TemplatesTest, RowsOfTheTable) {
    const auto third = 1.0 / 3.0;
    const auto twoThirds = 2.0 / 3.0;
    EXPECT_EQ(presetWithID("thirds"), (LayoutPreset{"thirds",
                                                    Orientation::horizontal,
                                                    "Thirds",
                                                    {{"Left", 0, 0, third, 1},
                                                     {"Center", third, 0, third, 1},
                                                     {"Right", twoThirds, 0, third, 1}}}));
    EXPECT_EQ(presetWithID("focus"), (LayoutPreset{"focus",
                                                   Orientation::horizontal,
                                                   "Focus Center",
                                                   {{"Left", 0, 0, 0.25, 1},
                                                    {"Focus", 0.25, 0, 0.5, 1},
                                                    {"Right", 0.75, 0, 0.25, 1}}}));
    EXPECT_EQ(presetWithID("pictureInPicture"),
              (LayoutPreset{"pictureInPicture",
                            Orientation::horizontal,
                            "Picture in Picture",
                            {{"Main", 0, 0, 1, 1}, {"Corner", 0.7, 0.65, 0.3, 0.35}}}));
    EXPECT_EQ(presetWithID("verticalCenter"), (LayoutPreset{"verticalCenter",
                                                            Orientation::vertical,
                                                            "Stack + Center",
                                                            {{"Top", 0, 0, 1, 0.5},
                                                             {"Bottom", 0, 0.5, 1, 0.5},
                                                             {"Center", 0.1, 0.25, 0.8, 0.5}}}));
    const auto& sixGrid = presetWithID("sixGrid");
    ASSERT_EQ(sixGrid.zones.size(), 6u);
    EXPECT_EQ(sixGrid.zones[4], (PresetZone{"Bottom Center", third, 0.5, third, 0.5}));
    const auto& meeting = presetWithID("meeting");
    ASSERT_EQ(meeting.zones.size(), 3u);
    EXPECT_EQ(meeting.zones[2], (PresetZone{"Chat", 0.6, 0.6, 0.4, 0.4}));
    EXPECT_EQ(presetWithID("readerChat").title, "Reader + Chat");
    EXPECT_EQ(presetWithID("fourRows").zones[3], (PresetZone{"Row 4", 0, 0.75, 1, 0.25}));
}

TEST_F(TemplatesTest, ZonesStayInsideTheFreeArea) {
    // Only these three put a zone on top of the others; every other template tiles the area.
    const std::set<std::string> overlapping{"halvesCenter", "pictureInPicture", "verticalCenter"};
    for (const auto& preset : LayoutPreset::all()) {
        double area = 0;
        for (const auto& zone : preset.zones) {
            EXPECT_GE(zone.x, 0) << preset.id << " " << zone.name;
            EXPECT_GE(zone.y, 0) << preset.id << " " << zone.name;
            EXPECT_GT(zone.width, 0) << preset.id << " " << zone.name;
            EXPECT_GT(zone.height, 0) << preset.id << " " << zone.name;
            EXPECT_LE(zone.x + zone.width, 1 + 1e-12) << preset.id << " " << zone.name;
            EXPECT_LE(zone.y + zone.height, 1 + 1e-12) << preset.id << " " << zone.name;
            area += zone.width * zone.height;
        }
        if (overlapping.count(preset.id) == 0) {
            EXPECT_NEAR(area, 1, 1e-12) << preset.id;
        } else {
            EXPECT_GT(area, 1) << preset.id;
        }
    }
}

TEST_F(TemplatesTest, MakeLayoutGivesFreshIdsAndTheSameNames) {
    const auto localizer = english();
    const auto& preset = presetWithID("developer");
    const auto first = makeLayout(preset, localizer);
    const auto second = makeLayout(preset, localizer);

    EXPECT_NE(first.id, second.id);
    EXPECT_EQ(first.name, "Developer");
    EXPECT_EQ(second.name, first.name);
    ASSERT_EQ(first.zones.size(), preset.zones.size());
    ASSERT_EQ(second.zones.size(), preset.zones.size());
    std::set<Uuid> ids{first.id, second.id};
    for (std::size_t i = 0; i < preset.zones.size(); ++i) {
        const auto& source = preset.zones[i];
        for (const auto* layout : {&first, &second}) {
            const auto& zone = layout->zones[i];
            EXPECT_TRUE(ids.insert(zone.id).second);
            EXPECT_EQ(zone.name, source.name);
            EXPECT_EQ(zone.x, source.x);
            EXPECT_EQ(zone.y, source.y);
            EXPECT_EQ(zone.width, source.width);
            EXPECT_EQ(zone.height, source.height);
            EXPECT_FALSE(zone.shortcut.has_value());
        }
    }
}

TEST_F(TemplatesTest, NamesAreStoredTranslated) {
    const auto localizer = russian();
    const auto layout = makeLayout(presetWithID("mainSidebar"), localizer);
    EXPECT_EQ(layout.name, "Главная + панель");
    ASSERT_EQ(layout.zones.size(), 2u);
    EXPECT_EQ(layout.zones[0].name, "Главная");
    EXPECT_EQ(layout.zones[1].name, "Sidebar"); // untranslated: the English key

    // Not a built-in and not a legacy name, so switching back to English shows it as stored.
    EXPECT_EQ(displayName(layout.id, layout.name, english()), "Главная + панель");
    EXPECT_EQ(displayName(layout.zones[0].id, layout.zones[0].name, english()), "Главная");
}

TEST_F(TemplatesTest, PortraitDisplaysListVerticalFirst) {
    const std::vector<Orientation> landscapeFirst{Orientation::horizontal, Orientation::vertical};
    const std::vector<Orientation> portraitFirst{Orientation::vertical, Orientation::horizontal};
    EXPECT_EQ(presetSectionOrder(screenOfSize(1080, 1920)), portraitFirst);
    EXPECT_EQ(presetSectionOrder(screenOfSize(2560, 1440)), landscapeFirst);
    EXPECT_EQ(presetSectionOrder(screenOfSize(1200, 1200)), landscapeFirst);
    EXPECT_EQ(presetSectionOrder(std::nullopt), landscapeFirst);
}

TEST_F(TemplatesTest, PreviewsCoverEveryTemplate) {
    const auto localizer = russian();
    const auto previews = makePresetPreviews(localizer);
    ASSERT_EQ(previews.size(), LayoutPreset::all().size());
    for (const auto& preset : LayoutPreset::all()) {
        const auto it = previews.find(preset.id);
        ASSERT_NE(it, previews.end()) << preset.id;
        EXPECT_EQ(it->second.name, localizer.localized(preset.title));
        EXPECT_EQ(it->second.zones.size(), preset.zones.size());
    }
    EXPECT_EQ(previews.at("halves").name, "Половины");

    // The layout the editor stores comes from its own call, never from a preview.
    const auto stored = makeLayout(presetWithID("halves"), localizer);
    EXPECT_NE(stored.id, previews.at("halves").id);
    EXPECT_EQ(stored.name, previews.at("halves").name);
}
