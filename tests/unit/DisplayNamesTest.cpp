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

TEST_F(DisplayNamesTest, LegacyTablesPointAtCurrentNames) {
    const auto& names = legacyNames();
    ASSERT_EQ(names.size(), 31u);

    std::set<std::string> stored;
    std::set<std::string> canonical{"Main", "New Zone", "New Layout"};
    for (const auto& [id, name] : builtInNames()) {
        canonical.insert(name);
    }
    for (const auto& [from, to] : names) {
        EXPECT_TRUE(stored.insert(from).second) << "stored twice: " << from;
        EXPECT_EQ(canonical.count(to), 1u) << from << " -> " << to;
    }
    // The example layouts of earlier versions come first and are named by screen size.
    std::set<std::string> layoutNames;
    for (const auto& layout : builtInLayouts()) {
        layoutNames.insert(layout.name);
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        const bool sized = names[i].first.starts_with("27" + doublePrime + " ") ||
                           names[i].first.starts_with("34" + doublePrime + " ");
        EXPECT_EQ(sized, i < 8) << names[i].first;
        EXPECT_EQ(layoutNames.count(names[i].second) == 1, i < 8) << names[i].first;
    }

    const auto& suffixes = legacySuffixes();
    ASSERT_EQ(suffixes.size(), 4u);
    const std::pair<std::string, std::string> expected[] = {
        {" верх", "%@ Top"}, {" низ", "%@ Bottom"}, {" лево", "%@ Left"}, {" право", "%@ Right"}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(suffixes[i], expected[i]);
    }
}

TEST_F(DisplayNamesTest, BuiltInNamesFollowTheLanguage) {
    EXPECT_EQ(displayName(topLeftZone, "Top Left", en), "Top Left");
    EXPECT_EQ(displayName(topLeftZone, "Top Left", ru), "Вверху слева");
    EXPECT_EQ(displayName(topLeftZone, "Top Left", de), "Oben links");

    // Written by an earlier version; the stored text itself is left alone.
    const std::string legacyLayoutName = "27" + doublePrime + " Browser & Telegram";
    EXPECT_EQ(displayName(stackHalfLayoutID(), legacyLayoutName, ru), "Стопка + половина");
    EXPECT_EQ(displayName(stackHalfLayoutID(), legacyLayoutName, en), "Stack + Half");
    EXPECT_EQ(legacyLayoutName, "27″ Browser & Telegram");

    // A legacy name on a built-in shows that built-in's own name, not the table's target.
    EXPECT_EQ(displayName(halfStackLeftZone, "Browser Right", de), "Links");

    // Stored as the user saw it in Russian, now shown in English or German.
    EXPECT_EQ(displayName(topLeftZone, "Вверху слева", en), "Top Left");
    EXPECT_EQ(displayName(topLeftZone, "Вверху слева", de), "Oben links");
}

TEST_F(DisplayNamesTest, NamesOfTheUsersOwnStay) {
    EXPECT_EQ(displayName(topLeftZone, "Mail", ru), "Mail");
    EXPECT_EQ(displayName(topLeftZone, "", ru), "");
    // Another built-in's translation is not this built-in's name.
    EXPECT_EQ(displayName(topLeftZone, "Внизу слева", en), "Внизу слева");
    EXPECT_EQ(displayName(Uuid::random(), "Top Left", ru), "Top Left");
    EXPECT_EQ(displayName(Uuid::random(), "Projekt верх", ru), "Projekt верх");
    EXPECT_EQ(displayName(Uuid::random(), " верх", ru), " верх");
}

TEST_F(DisplayNamesTest, TelegramIsOnlyRenamedOnTheBuiltInZone) {
    EXPECT_EQ(displayName(Uuid::random(), "Telegram", ru), "Telegram");
    EXPECT_EQ(displayName(bottomLeftZone, "Telegram", ru), "Внизу слева");
    EXPECT_EQ(displayName(bottomLeftZone, "Telegram", en), "Bottom Left");

    EXPECT_EQ(legacyName("Telegram", false, ru), std::nullopt);
    EXPECT_EQ(legacyName("Telegram", true, ru), "Внизу слева");
    // The rule holds for the part before a suffix as well.
    EXPECT_EQ(displayName(Uuid::random(), "Telegram верх", en), "Telegram верх");
    EXPECT_EQ(displayName(topLeftZone, "Telegram верх", en), "Bottom Left Top");
}

TEST_F(DisplayNamesTest, LegacyNamesOnAnyItem) {
    const Uuid userZone = Uuid::random();
    EXPECT_EQ(displayName(userZone, "Чат сверху", ru), "Вверху справа");
    EXPECT_EQ(displayName(userZone, "Чат сверху", en), "Top Right");
    EXPECT_EQ(displayName(userZone, "Новая раскладка", de), "New Layout");
    EXPECT_EQ(legacyName("Not a legacy name", false, en), std::nullopt);
}

TEST_F(DisplayNamesTest, LegacySuffixesBecomeFormatKeys) {
    const Uuid userZone = Uuid::random();
    EXPECT_EQ(displayName(userZone, "Основное верх", en), "Main Top");
    EXPECT_EQ(displayName(userZone, "Основное верх", de), "Haupt oben");
    // The Russian text puts the argument after the words, through the positional form.
    EXPECT_EQ(displayName(userZone, "Основное верх", ru), "Верх: Главное");

    EXPECT_EQ(displayName(userZone, "Код лево", en), "Left Left");
    EXPECT_EQ(displayName(userZone, "Код лево", ru), "Левый край слева");
    EXPECT_EQ(displayName(userZone, "Код лево", de), "Links (Links)");

    // A format key missing from a table falls back to the English key.
    EXPECT_EQ(displayName(userZone, "Основное низ", ru), "Главное Bottom");
    EXPECT_EQ(displayName(userZone, "Превью право", en), "Center Right");
}

TEST_F(DisplayNamesTest, OnlyTheSuffixAtTheEndIsStripped) {
    const Uuid userZone = Uuid::random();
    // " лево" is the ending; " верх" earlier in the table also occurs, but only inside the rest.
    EXPECT_EQ(displayName(userZone, "Код верх лево", en), "Left Top Left");
    EXPECT_EQ(displayName(userZone, "Код верх лево", ru), "Верх: Левый край слева");
    // Once the ending suffix is found, a rest of the user's own makes the whole name the user's
    // own, even though its beginning would read as a legacy name.
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
