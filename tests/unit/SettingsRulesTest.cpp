#include "core/ui/SettingsRules.h"
#include "core/app/Preferences.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimLocalizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace tessera;

namespace {
class SettingsRulesTest : public ::testing::Test {
protected:
    void SetUp() override { registerPreferenceDefaults(defaults); }
    SimDefaults defaults;
};

} // namespace

// What the pane writes (appLanguage and its AppleLanguages override, a failed write's message) is
// checked where it is chosen: tst_general.qml and SettingsPanes.
TEST_F(SettingsRulesTest, AnUnknownChoiceShowsEnglishAndAFailedSaveStillHoldsForThisRun) {
    EXPECT_EQ(chosenLanguage(defaults), AppLanguage::en);
    defaults.set("appLanguage", std::string("klingon"));
    EXPECT_EQ(chosenLanguage(defaults), AppLanguage::en);

    defaults.failWrites(true);
    EXPECT_FALSE(chooseLanguage(defaults, AppLanguage::de).empty());
    EXPECT_EQ(chosenLanguage(defaults), AppLanguage::de);
}

TEST_F(SettingsRulesTest, TypedReadersFallBackOnWrongTypesAndClamp) {
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

    defaults.set(prefs::snapOnDrag, std::int64_t{0});
    EXPECT_FALSE(preferenceBool(defaults, prefs::snapOnDrag));
}

TEST_F(SettingsRulesTest, LanguageChoiceAndTheLanguageInEffect) {
    const std::vector<std::string> shipped{"en", "ru", "fr", "es", "el", "de"};
    defaults.set(prefs::appLanguage, std::string("el"));
    EXPECT_EQ(currentLanguage(defaults), AppLanguage::el);
    applyLanguage(defaults, currentLanguage(defaults));
    EXPECT_EQ(languageInEffect(defaults, "de_DE.UTF-8", shipped), "el");

    applyLanguage(defaults, AppLanguage::system);
    EXPECT_EQ(languageInEffect(defaults, "de_DE.UTF-8", shipped), "de");
    EXPECT_EQ(languageInEffect(defaults, "el-GR", shipped), "el");
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

    // The desktop decides for anything unrecognised (light, dark and system: Looks in ThemeTest).
    EXPECT_FALSE(usesDarkScheme("Dark", false));
    EXPECT_TRUE(usesDarkScheme("", true));
}
