#include "core/ui/WindowSettings.h"

#include "core/model/StringTables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

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
