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

TEST_F(TemplatesTest, TemplatesHaveUniqueIdsLandscapeFirstAndStayInsideTheFreeArea) {
    const auto& all = LayoutPreset::all();
    std::set<std::string> ids;
    for (const auto& preset : all) {
        EXPECT_TRUE(ids.insert(preset.id).second) << preset.id;
    }
    EXPECT_EQ(ids.size(), 19u);
    const auto firstVertical = std::find_if(all.begin(), all.end(), [](const auto& p) {
        return p.orientation == Orientation::vertical;
    });
    EXPECT_TRUE(std::all_of(firstVertical, all.end(),
                            [](const auto& p) { return p.orientation == Orientation::vertical; }));

    // Only these three put a zone on top of the others; every other template tiles the area.
    const std::set<std::string> overlapping{"halvesCenter", "pictureInPicture", "verticalCenter"};
    for (const auto& preset : all) {
        double area = 0;
        for (const auto& zone : preset.zones) {
            EXPECT_TRUE(zone.x >= 0 && zone.y >= 0 && zone.width > 0 && zone.height > 0 &&
                        zone.x + zone.width <= 1 + 1e-12 && zone.y + zone.height <= 1 + 1e-12)
                << preset.id << " " << zone.name;
            area += zone.width * zone.height;
        }
        if (overlapping.count(preset.id) == 0) {
            EXPECT_NEAR(area, 1, 1e-12) << preset.id;
        } else {
            EXPECT_GT(area, 1) << preset.id;
        }
    }
}

TEST_F(TemplatesTest, ALayoutFromATemplateGetsFreshIdsAndNamesStoredInTheCurrentLanguage) {
    const auto& preset = presetWithID("mainSidebar");
    const auto first = makeLayout(preset, russian());
    const auto second = makeLayout(preset, russian());
    EXPECT_NE(first.id, second.id);
    EXPECT_EQ(first.name, "Главная + панель");
    ASSERT_EQ(first.zones.size(), 2u);
    EXPECT_EQ(first.zones[0].name, "Главная");
    EXPECT_EQ(first.zones[1].name, "Sidebar"); // untranslated: the English key
    for (std::size_t i = 0; i < preset.zones.size(); ++i) {
        auto expected = first.zones[i];
        expected.id = second.zones[i].id;
        EXPECT_NE(second.zones[i].id, first.zones[i].id);
        EXPECT_EQ(second.zones[i], expected);
        EXPECT_EQ(first.zones[i].x, preset.zones[i].x);
        EXPECT_EQ(first.zones[i].height, preset.zones[i].height);
    }
    // Not a built-in and not a legacy name, so switching back to English shows it as stored.
    EXPECT_EQ(displayName(first.id, first.name, english()), "Главная + панель");

    // Previews are named in the current language; the stored layout never reuses their ids.
    const auto previews = makePresetPreviews(russian());
    EXPECT_EQ(previews.at("halves").name, "Половины");
    EXPECT_NE(makeLayout(presetWithID("halves"), russian()).id, previews.at("halves").id);
}

TEST_F(TemplatesTest, PortraitDisplaysListVerticalFirst) {
    const std::vector<Orientation> landscapeFirst{Orientation::horizontal, Orientation::vertical};
    EXPECT_EQ(presetSectionOrder(screenOfSize(1080, 1920)),
              (std::vector<Orientation>{Orientation::vertical, Orientation::horizontal}));
    EXPECT_EQ(presetSectionOrder(screenOfSize(1200, 1200)), landscapeFirst);
    EXPECT_EQ(presetSectionOrder(std::nullopt), landscapeFirst);
}
