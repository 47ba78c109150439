#include "core/store/DisplayNames.h"
#include "core/model/StringTables.h"
#include "core/store/BuiltInLayouts.h"
#include "core/store/Templates.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
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
    EXPECT_EQ(tables->add("de", R"json({
        "Top Left": "Oben links",
        "Bottom Left": "Unten links",
        "Left": "Links",
        "Main": "Haupt",
        "%@ Top": "%@ oben",
        "%@ Left": "Links (%1$@)"
    })json"),
              "");
    return tables;
}

class DisplayNamesTest : public ::testing::Test {
protected:
    std::shared_ptr<const StringTables> tables = testTables();
    TableLocalizer en{tables, "en"};
    TableLocalizer ru{tables, "ru"};
    TableLocalizer de{tables, "de"};
};

// Records every key the code under test asks for.
class RecordingLocalizer final : public Localizer {
public:
    explicit RecordingLocalizer(const Localizer& inner) : inner_(inner) {}

    std::string language() const override { return inner_.language(); }
    std::string localized(std::string_view key) const override {
        keys.emplace(key);
        return inner_.localized(key);
    }
    std::vector<std::string> languages() const override { return inner_.languages(); }
    std::optional<std::string> lookup(std::string_view key,
                                      std::string_view language) const override {
        keys.emplace(key);
        return inner_.lookup(key, language);
    }

    mutable std::set<std::string> keys;

private:
    const Localizer& inner_;
};

} // namespace

TEST_F(DisplayNamesTest, EveryLegacyNamePointsAtACurrentName) {
    std::set<std::string> canonical{"Main", "New Zone", "New Layout"};
    for (const auto& [id, name] : builtInNames()) {
        canonical.insert(name);
    }
    std::set<std::string> stored;
    for (const auto& [from, to] : legacyNames()) {
        EXPECT_TRUE(stored.insert(from).second) << "stored twice: " << from;
        EXPECT_EQ(canonical.count(to), 1u) << from << " -> " << to;
    }
}

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
        {topLeftZone, "Top Left", en, "Top Left"},
        {topLeftZone, "Top Left", ru, "Вверху слева"},
        {topLeftZone, "Top Left", de, "Oben links"},
        {stackHalfLayoutID(), legacyLayoutName, ru, "Стопка + половина"},
        {stackHalfLayoutID(), legacyLayoutName, en, "Stack + Half"},
        // A legacy name on a built-in shows that built-in's own name, not the table's target.
        {halfStackLeftZone, "Browser Right", de, "Links"},
        // Stored as the user saw it in Russian.
        {topLeftZone, "Вверху слева", en, "Top Left"},
        {topLeftZone, "Вверху слева", de, "Oben links"},
        // Names of the user's own, and another built-in's translation.
        {topLeftZone, "Mail", ru, "Mail"},
        {topLeftZone, "", ru, ""},
        {topLeftZone, "Внизу слева", en, "Внизу слева"},
        {user, "Top Left", ru, "Top Left"},
        {user, "Projekt верх", ru, "Projekt верх"},
        {user, " верх", ru, " верх"},
        // "Telegram" is a legacy name only on the built-in zone, also before a suffix.
        {user, "Telegram", ru, "Telegram"},
        {bottomLeftZone, "Telegram", ru, "Внизу слева"},
        {bottomLeftZone, "Telegram", en, "Bottom Left"},
        {user, "Telegram верх", en, "Telegram верх"},
        {topLeftZone, "Telegram верх", en, "Bottom Left Top"},
        // Legacy names on any item.
        {user, "Чат сверху", ru, "Вверху справа"},
        {user, "Чат сверху", en, "Top Right"},
        {user, "Новая раскладка", de, "New Layout"},
        // Suffixes become format keys; Russian puts the argument last through its position.
        {user, "Основное верх", en, "Main Top"},
        {user, "Основное верх", de, "Haupt oben"},
        {user, "Основное верх", ru, "Верх: Главное"},
        {user, "Код лево", ru, "Левый край слева"},
        {user, "Код лево", de, "Links (Links)"},
        // A format key missing from a table falls back to the English key.
        {user, "Основное низ", ru, "Главное Bottom"},
        {user, "Превью право", en, "Center Right"},
        // Only the suffix at the end is stripped; " верх" before it is part of the rest.
        {user, "Код верх лево", en, "Left Top Left"},
        {user, "Код верх лево", ru, "Верх: Левый край слева"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(displayName(c.id, c.stored, c.localizer), c.shown)
            << c.stored << " in " << c.localizer.language();
    }
    EXPECT_EQ(legacyName("Telegram", false, ru), std::nullopt);
    EXPECT_EQ(legacyName("Not a legacy name", false, en), std::nullopt);
    // A rest of the user's own before the ending suffix makes the whole name the user's own.
    EXPECT_EQ(legacyName("Основное низ Mail лево", false, en), std::nullopt);
    EXPECT_EQ(legacyName("Код низ верх", false, en), "Left Bottom Top");
}

TEST_F(DisplayNamesTest, TranslationsCoverEveryShippedLanguage) {
    EXPECT_EQ(translations("Top Left", en),
              (std::set<std::string>{"Top Left", "Вверху слева", "Oben links"}));
    // Russian has "Top Right", English and German fall back to the key.
    EXPECT_EQ(translations("Top Right", de), (std::set<std::string>{"Top Right", "Вверху справа"}));
    EXPECT_EQ(translations("Sidebar", ru), (std::set<std::string>{"Sidebar"}));

    auto onlyRussian = std::make_shared<StringTables>();
    ASSERT_EQ(onlyRussian->add("ru", R"({"Top Left": "Вверху слева"})"), "");
    const TableLocalizer russian(onlyRussian, "ru");
    EXPECT_EQ(translations("Top Left", russian), (std::set<std::string>{"Вверху слева"}));
}

// The shipped tables are checked for every key that can be enumerated through the public
// tables; any other key looked up here would go untranslated unnoticed.
TEST_F(DisplayNamesTest, EveryLookedUpKeyIsEnumerable) {
    std::set<std::string> enumerable;
    for (const auto& [id, name] : builtInNames()) {
        enumerable.insert(name);
    }
    for (const auto& [from, to] : legacyNames()) {
        enumerable.insert(to);
    }
    for (const auto& [suffix, key] : legacySuffixes()) {
        enumerable.insert(key);
    }
    for (const auto& preset : LayoutPreset::all()) {
        enumerable.insert(preset.title);
        for (const auto& zone : preset.zones) {
            enumerable.insert(zone.name);
        }
    }

    RecordingLocalizer recorder(ru);
    std::vector<Uuid> ids(builtInIDs().begin(), builtInIDs().end());
    ids.push_back(Uuid::random());
    std::vector<std::string> names;
    for (const auto& [id, name] : builtInNames()) {
        names.push_back(name);
    }
    for (const auto& [from, to] : legacyNames()) {
        names.push_back(from);
        for (const auto& [suffix, key] : legacySuffixes()) {
            names.push_back(from + suffix);
        }
    }
    names.push_back("Mail");
    for (const auto& id : ids) {
        for (const auto& name : names) {
            displayName(id, name, recorder);
        }
    }
    for (const auto& preset : LayoutPreset::all()) {
        makeLayout(preset, recorder);
    }

    EXPECT_TRUE(recorder.keys.count("%@ Right") && recorder.keys.count("New Zone"));
    for (const auto& key : recorder.keys) {
        EXPECT_EQ(enumerable.count(key), 1u) << "looked up but not enumerable: " << key;
    }
}
