#include "core/ui/SettingsRules.h"
#include "core/ui/WindowSettings.h"

#include "core/app/Preferences.h"
#include "core/model/StringTables.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimLocalizer.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
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

namespace tessera {
namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

TEST(WindowSettingsTest, ControlsStayWithinTheirRangeOnWholeSteps) {
    EXPECT_EQ(cardScaleRange.controlValue(100), 100);
    EXPECT_EQ(cardScaleRange.controlValue(300), 160);
    EXPECT_EQ(cardScaleRange.controlValue(10), 60);
    EXPECT_EQ(cardScaleRange.controlValue(104), 100);
    EXPECT_EQ(cardScaleRange.controlValue(105), 110);
    EXPECT_EQ(cardScaleRange.controlValue(notANumber), 60);

    EXPECT_EQ(windowGapRange.controlValue(-5), 0);
    EXPECT_EQ(windowGapRange.controlValue(41), 40);
    EXPECT_EQ(windowGapRange.controlValue(7.2), 8);
    EXPECT_EQ(windowGapRange.controlValue(6.9), 6);
    EXPECT_EQ(windowGapRange.controlValue(39.9), 40);
}

TEST(WindowSettingsTest, LabelsShowWholeNumbers) {
    EXPECT_EQ(cardScaleText(100), "100%");
    EXPECT_EQ(cardScaleText(300), "160%");
    EXPECT_EQ(cardScaleText(63), "60%");

    auto tables = std::make_shared<StringTables>();
    ASSERT_EQ(tables->add("en", R"({"%lld pt": "%lld pt"})"), "");
    ASSERT_EQ(tables->add("ru", R"({"%lld pt": "%lld пт"})"), "");
    EXPECT_EQ(windowGapText(TableLocalizer(tables, "en"), 12), "12 pt");
    EXPECT_EQ(windowGapText(TableLocalizer(tables, "en"), 0), "0 pt");
    EXPECT_EQ(windowGapText(TableLocalizer(tables, "en"), 55), "40 pt");
    EXPECT_EQ(windowGapText(TableLocalizer(tables, "ru"), 4), "4 пт");
}

TEST(WindowSettingsTest, TightEdgesNeedAGapAndTheCardPreviewFollowsTheClampedScale) {
    EXPECT_FALSE(tightEdgesEditable(0));
    EXPECT_FALSE(tightEdgesEditable(notANumber));
    EXPECT_TRUE(tightEdgesEditable(0.5));
    EXPECT_EQ(cardPreviewSize(100), (Size{260, 110}));
    EXPECT_EQ(cardPreviewSize(10), (Size{156, 66}));
    EXPECT_EQ(cardPreviewSize(300), (Size{416, 176}));
}

TEST(WindowSettingsTest, GapPreviewPlacesTwoWindowsLikeTheMover) {
    const auto none = gapPreview(0, false);
    EXPECT_EQ(none.left, (Rect{0, 0, 320, 400}));
    EXPECT_EQ(none.right, (Rect{320, 0, 320, 400}));

    const auto gap = gapPreview(20, false);
    EXPECT_EQ(gap.left, (Rect{20, 20, 290, 360}));
    EXPECT_EQ(gap.right, (Rect{330, 20, 290, 360}));
    EXPECT_EQ(gap.right.minX() - gap.left.maxX(), 20);

    // Tight edges: the windows reach the display's edges and keep the gap between them.
    const auto tight = gapPreview(20, true);
    EXPECT_EQ(tight.left, (Rect{0, 0, 310, 400}));
    EXPECT_EQ(tight.right, (Rect{330, 0, 310, 400}));
}

} // namespace
} // namespace tessera
