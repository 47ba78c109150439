#include "core/ui/SettingsRules.h"

#include "core/app/Preferences.h"
#include "core/model/StringTables.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimLocalizer.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace tessera;

namespace {

class SettingsRulesTest : public ::testing::Test {
protected:
    void SetUp() override { registerPreferenceDefaults(defaults); }
    SimDefaults defaults;
};

using Languages = std::vector<std::string>;

} // namespace

TEST_F(SettingsRulesTest, ChoosingALanguageSavesTheChoiceAndItsOverride) {
    EXPECT_EQ(chooseLanguage(defaults, AppLanguage::el), "");
    EXPECT_EQ(defaults.persistentDomain().at("appLanguage"), DefaultsValue(std::string("el")));
    EXPECT_EQ(defaults.persistentDomain().at("AppleLanguages"), DefaultsValue(Languages{"el"}));
    EXPECT_EQ(chosenLanguage(defaults), AppLanguage::el);

    // The system's own list must apply again: an empty override would pin no language at all.
    EXPECT_EQ(chooseLanguage(defaults, AppLanguage::system), "");
    EXPECT_EQ(defaults.persistentDomain().at("appLanguage"), DefaultsValue(std::string("system")));
    EXPECT_EQ(defaults.persistentDomain().count("AppleLanguages"), 0u);
    EXPECT_FALSE(defaults.object("AppleLanguages").has_value());
    EXPECT_EQ(chosenLanguage(defaults), AppLanguage::system);
}

TEST_F(SettingsRulesTest, AMissingOrUnknownChoiceShowsEnglishAndAFailedSaveSaysWhy) {
    EXPECT_EQ(chosenLanguage(defaults), AppLanguage::en);
    defaults.set("appLanguage", std::string("klingon"));
    EXPECT_EQ(chosenLanguage(defaults), AppLanguage::en);
    defaults.set("appLanguage", true);
    EXPECT_EQ(chosenLanguage(defaults), AppLanguage::en);

    defaults.failWrites(true);
    const auto error = chooseLanguage(defaults, AppLanguage::de);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error, defaults.lastError());
    // It still holds for this run, as every preference write does.
    EXPECT_EQ(chosenLanguage(defaults), AppLanguage::de);
}

TEST_F(SettingsRulesTest, LanguagesAreNamedInTheirOwnTongueExceptTheSystemEntry) {
    const auto german = makeSimLocalizer("de");
    std::set<AppLanguage> offered;
    for (const auto& option : languageOptions) {
        offered.insert(option.language);
        const auto title = languageTitle(option, german);
        if (option.language == AppLanguage::system) {
            EXPECT_EQ(title, german.localized("System Language"));
        } else {
            EXPECT_EQ(title, option.title) << "native names are never translated";
        }
    }
    EXPECT_EQ(offered.size(), 7u) << "every language once";
}

TEST_F(SettingsRulesTest, TheFooterNamesHowManyCopiesAreKept) {
    const auto english = makeSimLocalizer("en");
    EXPECT_EQ(automaticCopiesFooter(english),
              "Before every import Tessera saves the current state as an automatic copy. The "
              "last 5 are kept.");
    const auto russian = makeSimLocalizer("ru");
    EXPECT_NE(automaticCopiesFooter(russian).find('5'), std::string::npos);
    EXPECT_EQ(automaticCopiesFooter(russian).find("%lld"), std::string::npos);
}
