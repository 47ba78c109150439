#include "core/store/DisplayNames.h"
#include "core/model/StringTables.h"
#include "core/store/BuiltInLayouts.h"
#include "core/store/Templates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

using namespace tessera;

namespace {
// The double prime earlier versions wrote after the screen size, spelled out byte by byte so a
// look-alike quotation mark in the table cannot pass.
const std::string doublePrime = "\xE2\x80\xB3";

const Uuid topLeftZone = Uuid::fromLiteral("11111111-aaaa-1111-1111-111111111111");
const Uuid bottomLeftZone = Uuid::fromLiteral("11111111-bbbb-1111-1111-111111111111");
const Uuid halfStackLeftZone = Uuid::fromLiteral("22222222-aaaa-2222-2222-222222222222");

// Small tables of our own, so these tests do not follow the shipped translations around. The
// Russian texts are deliberately not legacy names, so only the translation path can match them.
std::shared_ptr<const StringTables> testTables() {
    auto tables = std::make_shared<StringTables>();
    EXPECT_EQ(tables->add("en", "{}"), "");
    EXPECT_EQ(tables->add("ru", R"({
        "Top Left": "Вверху слева",
        "Bottom Left": "Внизу слева",
        "Top Right": "Вверху справа",
        "Left": "Левый край",
        "Stack + Half": "Стопка + половина",
        "Main": "Главное",
        "%@ Top": "Верх: %1$@",
        "%@ Left": "%@ слева"
    })"),
              "");
    return tables;
}

class DisplayNamesTest : public ::testing::Test {
protected:
    std::shared_ptr<const StringTables> tables = testTables();
    TableLocalizer en{tables, "en"};
    TableLocalizer ru{tables, "ru"};
};
} // namespace

// What a stored name shows in each language: a built-in's own name follows the language, so do
// names earlier versions stored (legacy names, with a legacy suffix as a format key), and a name
// of the user's own stays as it is.
TEST_F(DisplayNamesTest, StoredNamesShowInTheLanguageWhereTheyAreOurs) {
    const Uuid user = Uuid::random();
    const std::string legacyLayoutName = "27" + doublePrime + " Browser & Telegram";
    struct Case {
        Uuid id;
        std::string stored;
        const TableLocalizer& localizer;
        std::string shown;
    };
    const Case cases[] = {
        {topLeftZone, "Top Left", ru, "Вверху слева"},
        {stackHalfLayoutID(), legacyLayoutName, ru, "Стопка + половина"},
        // A legacy name on a built-in shows that built-in's own name, not the table's target.
        {halfStackLeftZone, "Browser Right", ru, "Левый край"},
        // Stored as the user saw it in Russian.
        {topLeftZone, "Вверху слева", en, "Top Left"},
        // Names of the user's own, and another built-in's translation.
        {topLeftZone, "Mail", ru, "Mail"},
        {topLeftZone, "Внизу слева", en, "Внизу слева"},
        {user, "Top Left", ru, "Top Left"},
        // "Telegram" is a legacy name only on the built-in zone, also before a suffix.
        {user, "Telegram", ru, "Telegram"},
        {bottomLeftZone, "Telegram", ru, "Внизу слева"},
        {user, "Telegram верх", en, "Telegram верх"},
        {topLeftZone, "Telegram верх", en, "Bottom Left Top"},
        // Legacy names on any item.
        {user, "Чат сверху", ru, "Вверху справа"},
        // Suffixes become format keys; Russian puts the argument last through its position.
        {user, "Основное верх", ru, "Верх: Главное"},
        // A format key missing from a table falls back to the English key.
        {user, "Основное низ", ru, "Главное Bottom"},
        // Only the suffix at the end is stripped; " верх" before it is part of the rest.
        {user, "Код верх лево", ru, "Верх: Левый край слева"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(displayName(c.id, c.stored, c.localizer), c.shown)
            << c.stored << " in " << c.localizer.language();
    }
    // A rest of the user's own before the ending suffix makes the whole name the user's own.
    EXPECT_EQ(legacyName("Основное низ Mail лево", false, en), std::nullopt);
    EXPECT_EQ(legacyName("Код низ верх", false, en), "Left Bottom Top");
}

namespace {
class TemplatesTest : public ::testing::Test {
protected:
    std::shared_ptr<StringTables> tables = std::make_shared<StringTables>();
    void SetUp() override {
        ASSERT_EQ(tables->add("en", "{}"), "");
        ASSERT_EQ(tables->add("ru", R"({
            "Main + Sidebar": "Главная + панель",
            "Main": "Главная"
        })"),
                  "");
    }
    TableLocalizer english() const { return TableLocalizer(tables, "en"); }
    TableLocalizer russian() const { return TableLocalizer(tables, "ru"); }
};
} // namespace

TEST_F(TemplatesTest, TemplatesAreLandscapeFirstUnlessPortraitAndStayInsideTheFreeArea) {
    // A portrait display lists the vertical ones first.
    const std::vector<Orientation> landscapeFirst{Orientation::horizontal, Orientation::vertical};
    ScreenInfo screen;
    screen.pointWidth = 1080;
    screen.pointHeight = 1920;
    EXPECT_EQ(presetSectionOrder(screen),
              (std::vector<Orientation>{Orientation::vertical, Orientation::horizontal}));
    screen.pointWidth = 1920;
    EXPECT_EQ(presetSectionOrder(screen), landscapeFirst);
    EXPECT_EQ(presetSectionOrder(std::nullopt), landscapeFirst);

    for (const auto& preset : LayoutPreset::all()) {
        for (const auto& zone : preset.zones) {
            EXPECT_TRUE(zone.x >= 0 && zone.y >= 0 && zone.width > 0 && zone.height > 0 &&
                        zone.x + zone.width <= 1 + 1e-12 && zone.y + zone.height <= 1 + 1e-12)
                << preset.id << " " << zone.name;
        }
    }
}

TEST_F(TemplatesTest, ALayoutFromATemplateGetsFreshIdsAndNamesStoredInTheCurrentLanguage) {
    const auto& all = LayoutPreset::all();
    const auto found =
        std::find_if(all.begin(), all.end(), [](const auto& p) { return p.id == "mainSidebar"; });
    ASSERT_NE(found, all.end());
    const auto& preset = *found;
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
}
