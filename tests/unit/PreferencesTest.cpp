#include "core/app/Preferences.h"
#include "platform/sim/SimDefaults.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tessera;

namespace {

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override { registerPreferenceDefaults(defaults); }
    SimDefaults defaults;
};

} // namespace

TEST_F(PreferencesTest, AFreshUserReadsTheDefaults) {
    EXPECT_TRUE(preferenceBool(defaults, prefs::snapOnDrag));
    EXPECT_TRUE(preferenceBool(defaults, prefs::restoreOnDragOut));
    EXPECT_FALSE(preferenceBool(defaults, prefs::tightEdges));
    EXPECT_EQ(preferenceDouble(defaults, prefs::cardScale), 100.0);
    EXPECT_EQ(preferenceDouble(defaults, prefs::windowGap), 0.0);
    EXPECT_EQ(gridColumns(defaults), 12);
    EXPECT_TRUE(ignoredApps(defaults).empty());
    EXPECT_EQ(currentLanguage(defaults), AppLanguage::en);
    EXPECT_TRUE(defaults.persistentDomain().empty()) << "registered defaults are never stored";

    applyLanguage(defaults, currentLanguage(defaults));
    EXPECT_EQ(defaults.object(prefs::appleLanguages),
              DefaultsValue(std::vector<std::string>{"en"}));
}

TEST_F(PreferencesTest, TypedReadersFallBackOnWrongTypesAndClamp) {
    defaults.set(prefs::windowGap, std::string("8"));
    EXPECT_EQ(preferenceDouble(defaults, prefs::windowGap), 0.0);
    defaults.set(prefs::windowGap, std::int64_t{8});
    EXPECT_EQ(windowGap(defaults), 8.0) << "an integer is still a number";
    defaults.set(prefs::windowGap, 99.0);
    EXPECT_EQ(windowGap(defaults), 40.0);

    defaults.set(prefs::cardScale, 300.0);
    EXPECT_DOUBLE_EQ(cardScaleFactor(defaults), 1.6);
    defaults.set(prefs::cardScale, 10.0);
    EXPECT_DOUBLE_EQ(cardScaleFactor(defaults), 0.6);
    defaults.set(prefs::cardScale, std::nan(""));
    EXPECT_EQ(cardScaleFactor(defaults), 1.0) << "a NaN written by hand counts as 100 percent";
    defaults.set(prefs::windowGap, std::nan(""));
    EXPECT_EQ(windowGap(defaults), 0.0);

    defaults.set(prefs::snapOnDrag, std::string("false"));
    EXPECT_TRUE(preferenceBool(defaults, prefs::snapOnDrag));
    defaults.set(prefs::snapOnDrag, std::int64_t{0});
    EXPECT_FALSE(preferenceBool(defaults, prefs::snapOnDrag));
    defaults.set(prefs::snapOnDrag, std::int64_t{7});
    EXPECT_TRUE(preferenceBool(defaults, prefs::snapOnDrag)) << "7 is no Boolean: default";

    defaults.set(prefs::gridColumns, 8.5);
    EXPECT_EQ(gridColumns(defaults), 12);
}

TEST_F(PreferencesTest, IgnoredAppsSplitAtLineFeedsWithoutTrimming) {
    EXPECT_EQ(decodeIgnoredApps("com.a\n\ncom.b"), (std::vector<std::string>{"com.a", "com.b"}));
    EXPECT_EQ(decodeIgnoredApps("\ncom.a \n"), (std::vector<std::string>{"com.a "}));
    EXPECT_TRUE(decodeIgnoredApps("").empty());
    EXPECT_EQ(encodeIgnoredApps({"com.a", "com.b"}), "com.a\ncom.b");

    ASSERT_TRUE(setIgnoredApps(defaults, {"org.gimp.GIMP"}));
    EXPECT_EQ(ignoredApps(defaults), (std::vector<std::string>{"org.gimp.GIMP"}));
    ASSERT_TRUE(setIgnoredApps(defaults, {}));
    EXPECT_EQ(defaults.object(prefs::ignoredApps), DefaultsValue(std::string()))
        << "removing the last one stores the empty string";
}

TEST_F(PreferencesTest, LanguageChoiceAndTheLanguageInEffect) {
    const std::vector<std::string> shipped{"en", "ru", "fr", "es", "el", "de"};
    defaults.set(prefs::appLanguage, std::string("it"));
    EXPECT_EQ(currentLanguage(defaults), AppLanguage::en);
    defaults.set(prefs::appLanguage, std::string("el"));
    EXPECT_EQ(currentLanguage(defaults), AppLanguage::el);
    applyLanguage(defaults, currentLanguage(defaults));
    EXPECT_EQ(languageInEffect(defaults, "de_DE.UTF-8", shipped), "el");

    applyLanguage(defaults, AppLanguage::system);
    EXPECT_FALSE(defaults.object(prefs::appleLanguages)) << "system removes the override";
    EXPECT_EQ(languageInEffect(defaults, "de_DE.UTF-8", shipped), "de");
    EXPECT_EQ(languageInEffect(defaults, "el-GR", shipped), "el");
    EXPECT_EQ(languageInEffect(defaults, "C", shipped), "en");
    EXPECT_EQ(languageInEffect(defaults, "", shipped), "en");

    defaults.set(prefs::appleLanguages, std::vector<std::string>{"it"});
    EXPECT_EQ(languageInEffect(defaults, "ru_RU", shipped), "ru");

    // The interface follows the choice, and only "system" looks at the locale.
    defaults.set(prefs::appLanguage, std::string("fr"));
    EXPECT_EQ(interfaceLanguage(defaults, "ru_RU", shipped), "fr");
    defaults.set(prefs::appLanguage, std::string("system"));
    EXPECT_EQ(interfaceLanguage(defaults, "ru_RU", shipped), "ru");
    defaults.remove(prefs::appLanguage);
    EXPECT_EQ(interfaceLanguage(defaults, "ru_RU", shipped), "en") << "unset means English";

    EXPECT_EQ(appLanguageFromRaw("system"), AppLanguage::system);
    EXPECT_EQ(rawValue(AppLanguage::de), "de");
    EXPECT_EQ(appearanceFromRaw("dark"), AppearanceChoice::dark);
    EXPECT_EQ(appearanceFromRaw("Dark"), std::nullopt);
    // The desktop decides for "system" and for anything unrecognised, never for a choice made.
    EXPECT_TRUE(usesDarkScheme("dark", false));
    EXPECT_FALSE(usesDarkScheme("light", true));
    EXPECT_TRUE(usesDarkScheme("system", true));
    EXPECT_FALSE(usesDarkScheme("Dark", false));
    EXPECT_TRUE(usesDarkScheme("", true));
}
