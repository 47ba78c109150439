#include "ZoneCanvasViewModel.h"
#include "QtTestSupport.h"
#include "Strings.h"

#include "platform/sim/SimLocalizer.h"

#include <QVariantMap>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace tessera::test {
namespace {

using shell::ZoneCanvasViewModel;

// A 646 × 366 view leaves a 640 × 360 drawing area at (3, 3); boxes sit 3 points further in.
constexpr double viewWidth = 646;
constexpr double viewHeight = 366;
constexpr double areaOrigin = 3;
constexpr double areaWidth = 640;
constexpr double areaHeight = 360;
const ZoneGrid grid{12, 6};

Zone makeZone(std::string name, double x, double y, double width, double height) {
    return {Uuid::random(), std::move(name), x, y, width, height, std::nullopt};
}

QString text(const Uuid& id) {
    return QString::fromStdString(id.string());
}

// What the owner was told, in order.
struct Calls {
    std::vector<std::string> order;
    std::vector<std::vector<Zone>> zoneLists;
    std::vector<std::optional<Uuid>> selections;
    std::vector<std::pair<Zone, bool>> splits;
    std::vector<Zone> deletions;
    std::vector<Zone> creations;

    int count(const std::string& name) const {
        return static_cast<int>(std::count(order.begin(), order.end(), name));
    }
};

class ZoneCanvasViewModelTest : public ::testing::Test {
protected:
    explicit ZoneCanvasViewModelTest(std::string language = "en")
        : localizer(makeSimLocalizer(std::move(language))), strings(localizer) {}

    void SetUp() override {
        ZoneCanvasModel::Callbacks callbacks;
        callbacks.onBeginEdit = [this] { calls.order.push_back("beginEdit"); };
        callbacks.onZonesChanged = [this](const std::vector<Zone>& zones) {
            calls.order.push_back("zonesChanged");
            calls.zoneLists.push_back(zones);
        };
        callbacks.onSelectionChanged = [this](const std::optional<Uuid>& id) {
            calls.order.push_back("selection");
            calls.selections.push_back(id);
        };
        callbacks.onSplit = [this](const Zone& zone, bool leftAndRight) {
            calls.order.push_back("split");
            calls.splits.emplace_back(zone, leftAndRight);
        };
        callbacks.onDelete = [this](const Zone& zone) {
            calls.order.push_back("delete");
            calls.deletions.push_back(zone);
        };
        callbacks.onCreate = [this](const Zone& zone) {
            calls.order.push_back("create");
            calls.creations.push_back(zone);
        };
        canvas = std::make_unique<ZoneCanvasViewModel>(
            strings, std::move(callbacks), [](const Zone& zone) { return "Shown " + zone.name; });
        canvas->setViewWidth(viewWidth);
        canvas->setViewHeight(viewHeight);
    }

    // The view point at normalized (x, y) of the drawing area.
    static QPointF at(double x, double y) {
        return {areaOrigin + x * areaWidth, areaOrigin + y * areaHeight};
    }

    QVariantMap zoneEntry(const Uuid& id) const {
        for (const auto& value : canvas->zones()) {
            if (value.toMap().value("id").toString() == text(id)) {
                return value.toMap();
            }
        }
        return {};
    }

    QVariantMap handleEntry(const QString& handle) const {
        for (const auto& value : canvas->handles()) {
            if (value.toMap().value("handle").toString() == handle) {
                return value.toMap();
            }
        }
        return {};
    }

    static QPointF centre(const QVariantMap& box) {
        return {box.value("x").toDouble() + box.value("width").toDouble() / 2,
                box.value("y").toDouble() + box.value("height").toDouble() / 2};
    }

    TableLocalizer localizer;
    shell::Strings strings;
    Calls calls;
    std::unique_ptr<ZoneCanvasViewModel> canvas;

    // A left half with a shortcut, a top-right quarter and a smaller zone inside the left half.
    Zone left = [] {
        auto zone = makeZone("Left", 0, 0, 0.5, 1);
        zone.shortcut = KeyCombo{18, carbon::controlKey | carbon::optionKey, "⌃⌥1"};
        return zone;
    }();
    Zone topRight = makeZone("Top Right", 0.5, 0, 0.5, 0.5);
    Zone small = makeZone("Small", 0.1, 0.25, 0.3, 0.5);
};

TEST_F(ZoneCanvasViewModelTest, ZonesComeLargestFirstWithTheirDrawnBoxesInViewPoints) {
    canvas->setContent({small, topRight, left}, topRight.id, grid);

    EXPECT_EQ(canvas->area(), QRectF(areaOrigin, areaOrigin, areaWidth, areaHeight));
    const auto zones = canvas->zones();
    ASSERT_EQ(zones.size(), 3);
    // Areas 0.5, 0.25 and 0.15: the smallest on top, whatever the layout's own order.
    EXPECT_EQ(zones[0].toMap().value("id").toString(), text(left.id));
    EXPECT_EQ(zones[1].toMap().value("id").toString(), text(topRight.id));
    EXPECT_EQ(zones[2].toMap().value("id").toString(), text(small.id));

    const auto entry = zones[1].toMap();
    EXPECT_DOUBLE_EQ(entry.value("x").toDouble(), areaOrigin + 0.5 * areaWidth + 3);
    EXPECT_DOUBLE_EQ(entry.value("y").toDouble(), areaOrigin + 3);
    EXPECT_DOUBLE_EQ(entry.value("width").toDouble(), 0.5 * areaWidth - 6);
    EXPECT_DOUBLE_EQ(entry.value("height").toDouble(), 0.5 * areaHeight - 6);
    EXPECT_TRUE(entry.value("selected").toBool());
    EXPECT_FALSE(zones[0].toMap().value("selected").toBool());
    EXPECT_FALSE(entry.value("live").toBool());

    // Names come from the owner's display name; shortcuts in the Linux form, empty for none.
    EXPECT_EQ(zones[0].toMap().value("name").toString(), "Shown Left");
    EXPECT_EQ(zones[0].toMap().value("shortcut").toString(), "Ctrl+Alt+1");
    EXPECT_EQ(entry.value("shortcut").toString(), "");
}

TEST_F(ZoneCanvasViewModelTest, PointerTargetsNameTheZoneTheHandleAndItsCursor) {
    canvas->setContent({left, topRight, small}, topRight.id, grid);

    // Over the overlap of the left half and the small zone, the smaller one on top wins.
    const QPointF overlap = at(0.3, 0.5);
    auto target = canvas->pointerTarget(overlap.x(), overlap.y());
    EXPECT_EQ(target.value("zoneID").toString(), text(small.id));
    EXPECT_EQ(target.value("handle").toString(), "move");
    EXPECT_EQ(target.value("cursor").toInt(), Qt::OpenHandCursor);

    // The gap between two boxes is empty space.
    const QPointF gap = at(0.5, 0.75);
    EXPECT_TRUE(canvas->pointerTarget(gap.x() + 1, gap.y()).isEmpty());

    const std::vector<std::pair<QString, Qt::CursorShape>> expected{
        {"nw", Qt::SizeFDiagCursor}, {"se", Qt::SizeFDiagCursor}, {"ne", Qt::SizeBDiagCursor},
        {"sw", Qt::SizeBDiagCursor}, {"n", Qt::SizeVerCursor},    {"s", Qt::SizeVerCursor},
        {"e", Qt::SizeHorCursor},    {"w", Qt::SizeHorCursor},
    };
    for (const auto& [handle, cursor] : expected) {
        const auto entry = handleEntry(handle);
        ASSERT_FALSE(entry.isEmpty()) << handle.toStdString();
        EXPECT_EQ(entry.value("cursor").toInt(), cursor) << handle.toStdString();
        EXPECT_EQ(entry.value("corner").toBool(), handle.size() == 2) << handle.toStdString();
        const QPointF point = centre(entry);
        target = canvas->pointerTarget(point.x(), point.y());
        EXPECT_EQ(target.value("zoneID").toString(), text(topRight.id)) << handle.toStdString();
        EXPECT_EQ(target.value("handle").toString(), handle);
        EXPECT_EQ(target.value("cursor").toInt(), cursor) << handle.toStdString();
    }

    // The left half's corner is just its body: only the selected zone has handles.
    const auto leftBox = zoneEntry(left.id);
    target =
        canvas->pointerTarget(leftBox.value("x").toDouble() + 1, leftBox.value("y").toDouble() + 1);
    EXPECT_EQ(target.value("handle").toString(), "move");
}

TEST_F(ZoneCanvasViewModelTest, HandlesBelongToTheSelectedZoneAndFollowItsLiveBox) {
    canvas->setContent({left, topRight}, std::nullopt, grid);
    EXPECT_TRUE(canvas->handles().isEmpty());

    canvas->setContent({left, topRight}, Uuid::random(), grid);
    EXPECT_TRUE(canvas->handles().isEmpty()) << "a selection missing from the layout has none";

    canvas->setContent({left, topRight}, topRight.id, grid);
    ASSERT_EQ(canvas->handles().size(), 8);
    const auto box = zoneEntry(topRight.id);
    QPointF nw = centre(handleEntry("nw"));
    EXPECT_DOUBLE_EQ(nw.x(), box.value("x").toDouble());
    EXPECT_DOUBLE_EQ(nw.y(), box.value("y").toDouble());

    canvas->zoneDragChanged(text(topRight.id), "move", -40, 30);
    const auto live = zoneEntry(topRight.id);
    EXPECT_TRUE(live.value("live").toBool());
    EXPECT_DOUBLE_EQ(live.value("x").toDouble(), box.value("x").toDouble() - 40);
    nw = centre(handleEntry("nw"));
    EXPECT_DOUBLE_EQ(nw.x(), live.value("x").toDouble());
    EXPECT_DOUBLE_EQ(nw.y(), live.value("y").toDouble());
    const QPointF se = centre(handleEntry("se"));
    EXPECT_DOUBLE_EQ(se.x(), live.value("x").toDouble() + live.value("width").toDouble());
    EXPECT_DOUBLE_EQ(se.y(), live.value("y").toDouble() + live.value("height").toDouble());
}

TEST_F(ZoneCanvasViewModelTest, AMoveSurvivesNewContentAndCommitsOnce) {
    canvas->setContent({left, topRight}, std::nullopt, grid);
    canvas->zoneDragChanged(text(topRight.id), "move", 0, 30);
    ASSERT_EQ(calls.selections.size(), 1u);
    EXPECT_EQ(calls.selections[0], topRight.id) << "a drag selects its zone";
    EXPECT_TRUE(canvas->movingOrResizing());
    EXPECT_TRUE(canvas->snapRect().isValid());
    EXPECT_DOUBLE_EQ(canvas->gridLineOpacity(), 0.40);

    // The owner stores something else meanwhile (a rename, say) and hands it back.
    Zone renamed = left;
    renamed.name = "Renamed";
    canvas->setContent({renamed, topRight}, topRight.id, grid);
    EXPECT_TRUE(canvas->movingOrResizing());
    EXPECT_EQ(zoneEntry(left.id).value("name").toString(), "Shown Renamed");

    canvas->zoneDragChanged(text(topRight.id), "move", 0, 0.34 * areaHeight);
    // Another handle's gesture is ignored while this one runs.
    canvas->zoneDragChanged(text(topRight.id), "se", 200, 200);
    EXPECT_TRUE(calls.zoneLists.empty()) << "nothing is stored before the drag ends";
    canvas->zoneDragEnded("move");

    EXPECT_EQ(calls.order, (std::vector<std::string>{"selection", "beginEdit", "zonesChanged"}));
    ASSERT_EQ(calls.zoneLists.size(), 1u);
    const auto& stored = calls.zoneLists[0];
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0], renamed) << "the content handed in during the drag is kept";
    // 0.34 of the height lands on the nearest of six rows: two rows down.
    EXPECT_EQ(stored[1].id, topRight.id);
    EXPECT_DOUBLE_EQ(stored[1].x, topRight.x);
    EXPECT_DOUBLE_EQ(stored[1].y, snap(0.34, grid.rows));
    EXPECT_DOUBLE_EQ(stored[1].width, topRight.width);
    EXPECT_FALSE(canvas->movingOrResizing());
    EXPECT_FALSE(canvas->snapRect().isValid());
    EXPECT_DOUBLE_EQ(canvas->gridLineOpacity(), 0.16);
}

TEST_F(ZoneCanvasViewModelTest, TheOwnerMayHandNewContentBackWhileStoring) {
    // Like the page: store the list, then refresh the canvas before the callback returns.
    std::vector<Zone> stored;
    ZoneCanvasModel::Callbacks callbacks;
    callbacks.onZonesChanged = [&](const std::vector<Zone>& zones) {
        canvas->setContent({left}, left.id, grid);
        stored = zones;
    };
    canvas = std::make_unique<ZoneCanvasViewModel>(strings, std::move(callbacks), nullptr);
    canvas->setViewWidth(viewWidth);
    canvas->setViewHeight(viewHeight);
    canvas->setContent({left, topRight}, topRight.id, grid);

    EXPECT_TRUE(canvas->arrowKey(Qt::Key_Down));
    ASSERT_EQ(stored.size(), 2u) << "the list handed over stays what the canvas stored";
    EXPECT_EQ(stored[0], left);
    EXPECT_EQ(stored[1].id, topRight.id);
    EXPECT_NEAR(stored[1].y, 1.0 / grid.rows, 1e-9);
    EXPECT_EQ(zoneEntry(left.id).value("name").toString(), "Left") << "the stored name without "
                                                                      "a display-name function";
}

TEST_F(ZoneCanvasViewModelTest, GesturesThatChangeNothingStoreNothing) {
    canvas->setContent({left, topRight}, topRight.id, grid);

    // Back to where it began.
    canvas->zoneDragChanged(text(topRight.id), "e", 80, 0);
    canvas->zoneDragChanged(text(topRight.id), "e", 0, 0);
    canvas->zoneDragEnded("e");
    // Names that mean nothing to the canvas.
    canvas->zoneDragChanged("not an id", "move", 50, 50);
    canvas->zoneDragChanged(text(topRight.id), "middle", 50, 50);
    canvas->menuAction("explode", text(topRight.id));
    canvas->menuAction("remove", "not an id");
    canvas->menuAction("remove", text(Uuid::random()));

    EXPECT_EQ(calls.count("beginEdit"), 0);
    EXPECT_TRUE(calls.zoneLists.empty());
    EXPECT_TRUE(calls.deletions.empty());
    EXPECT_FALSE(canvas->movingOrResizing());
}

TEST_F(ZoneCanvasViewModelTest, ArrowKeysMapQtKeysToOneGridCell) {
    canvas->setContent({left, topRight}, std::nullopt, grid);
    EXPECT_FALSE(canvas->arrowKey(Qt::Key_Left)) << "without a selection the key passes on";

    canvas->setContent({left, topRight}, topRight.id, grid);
    EXPECT_FALSE(canvas->arrowKey(Qt::Key_A));
    EXPECT_FALSE(canvas->arrowKey(Qt::Key_Delete));

    const std::vector<std::tuple<int, double, double>> moves{
        {Qt::Key_Down, 0, 1.0 / grid.rows},
        {Qt::Key_Left, -1.0 / grid.columns, 0},
        {Qt::Key_Up, 0, -1.0 / grid.rows},
        {Qt::Key_Right, 1.0 / grid.columns, 0},
    };
    Zone current = topRight;
    for (const auto& [key, dx, dy] : moves) {
        calls = {};
        EXPECT_TRUE(canvas->arrowKey(key));
        ASSERT_EQ(calls.order, (std::vector<std::string>{"beginEdit", "zonesChanged"})) << key;
        const Zone moved = calls.zoneLists.back()[1];
        EXPECT_NEAR(moved.x, current.x + dx, 1e-9) << key;
        EXPECT_NEAR(moved.y, current.y + dy, 1e-9) << key;
        current = moved;
        canvas->setContent({left, moved}, topRight.id, grid);
    }

    // Already at the top: consumed, but nothing to record.
    calls = {};
    EXPECT_TRUE(canvas->arrowKey(Qt::Key_Up));
    EXPECT_TRUE(calls.order.empty());
}

TEST_F(ZoneCanvasViewModelTest, BackgroundGesturesSelectClearAndCreate) {
    canvas->setContent({left, topRight}, std::nullopt, grid);
    EXPECT_FALSE(canvas->focused());

    // A click on a zone selects it; one on empty space clears the selection.
    const QPointF inLeft = at(0.2, 0.5);
    canvas->backgroundDragEnded(inLeft.x(), inLeft.y());
    EXPECT_TRUE(canvas->focused());
    const QPointF empty = at(0.75, 0.75);
    canvas->backgroundDragEnded(empty.x(), empty.y());
    EXPECT_EQ(calls.selections, (std::vector<std::optional<Uuid>>{left.id, std::nullopt}));

    // Drawing from one cell corner to another creates that zone.
    const QPointF from = at(7.0 / 12, 4.0 / 6);
    const QPointF to = at(10.0 / 12, 5.0 / 6);
    canvas->backgroundDragChanged(from.x(), from.y(), to.x(), to.y());
    ASSERT_TRUE(canvas->drawnRect().isValid());
    const auto drawn = canvas->drawnRect().toMap();
    EXPECT_DOUBLE_EQ(drawn.value("x").toDouble(), from.x() + 3);
    EXPECT_DOUBLE_EQ(drawn.value("width").toDouble(), to.x() - from.x() - 6);
    EXPECT_FALSE(canvas->showsEmptyState());
    canvas->backgroundDragEnded(to.x(), to.y());

    ASSERT_EQ(calls.creations.size(), 1u);
    const Zone& created = calls.creations[0];
    EXPECT_NEAR(created.x, 7.0 / 12, 1e-9);
    EXPECT_NEAR(created.y, 4.0 / 6, 1e-9);
    EXPECT_NEAR(created.width, 3.0 / 12, 1e-9);
    EXPECT_NEAR(created.height, 1.0 / 6, 1e-9);
    EXPECT_FALSE(canvas->drawnRect().isValid());
    EXPECT_EQ(calls.count("beginEdit"), 0) << "the owner records the step for a new zone";
    EXPECT_EQ(calls.selections.size(), 2u) << "the drawing's end is no click";
}

TEST_F(ZoneCanvasViewModelTest, DeleteAndTheMenuHandTheZoneToTheOwner) {
    canvas->setContent({left, topRight}, std::nullopt, grid);
    EXPECT_FALSE(canvas->deleteCommand());
    EXPECT_TRUE(calls.deletions.empty());

    canvas->setContent({left, topRight}, left.id, grid);
    EXPECT_TRUE(canvas->deleteCommand());
    ASSERT_EQ(calls.deletions.size(), 1u);
    EXPECT_EQ(calls.deletions[0], left);

    // The menu acts on the zone it was opened on, selected or not.
    canvas->menuAction("splitLeftRight", text(topRight.id));
    canvas->menuAction("splitTopBottom", text(left.id));
    canvas->menuAction("remove", text(topRight.id));
    ASSERT_EQ(calls.splits.size(), 2u);
    EXPECT_EQ(calls.splits[0], std::make_pair(topRight, true));
    EXPECT_EQ(calls.splits[1], std::make_pair(left, false));
    ASSERT_EQ(calls.deletions.size(), 2u);
    EXPECT_EQ(calls.deletions[1], topRight);
    EXPECT_EQ(calls.count("beginEdit"), 0);
}

TEST_F(ZoneCanvasViewModelTest, ChangedComesOnlyWhenSomethingShownChanges) {
    canvas->setContent({left, topRight}, topRight.id, grid);
    const auto id = text(topRight.id);

    EXPECT_EQ(emissions(canvas.get(), &ZoneCanvasViewModel::changed,
                        [&] {
                            canvas->setContent({left, topRight}, topRight.id, grid);
                        }),
              0);
    EXPECT_EQ(emissions(canvas.get(), &ZoneCanvasViewModel::changed,
                        [&] {
                            canvas->setContent({left, topRight}, left.id, grid);
                        }),
              1);
    EXPECT_EQ(emissions(canvas.get(), &ZoneCanvasViewModel::changed,
                        [&] {
                            canvas->setContent({left, topRight}, left.id, ZoneGrid{24, 12});
                        }),
              1);
    EXPECT_EQ(
        emissions(canvas.get(), &ZoneCanvasViewModel::changed, [&] { canvas->setViewWidth(800); }),
        1);
    EXPECT_EQ(emissions(canvas.get(), &ZoneCanvasViewModel::changed,
                        [&] { canvas->setViewHeight(viewHeight); }),
              0);
    EXPECT_EQ(
        emissions(canvas.get(), &ZoneCanvasViewModel::changed, [&] { canvas->setFocused(true); }),
        1);
    // Under a point of travel a drag has not begun yet.
    EXPECT_EQ(emissions(canvas.get(), &ZoneCanvasViewModel::changed,
                        [&] { canvas->zoneDragChanged(id, "move", 0.5, 0); }),
              0);
    EXPECT_EQ(emissions(canvas.get(), &ZoneCanvasViewModel::changed,
                        [&] { canvas->zoneDragChanged(id, "move", -5, 0); }),
              1);
    EXPECT_EQ(emissions(canvas.get(), &ZoneCanvasViewModel::changed,
                        [&] { canvas->zoneDragChanged(id, "move", -9, 0); }),
              1);
    EXPECT_EQ(emissions(canvas.get(), &ZoneCanvasViewModel::changed,
                        [&] { canvas->zoneDragEnded("move"); }),
              1);
    // Four points of travel on empty space draw nothing.
    EXPECT_EQ(emissions(canvas.get(), &ZoneCanvasViewModel::changed,
                        [&] { canvas->backgroundDragChanged(10, 10, 14, 10); }),
              0);
}

TEST_F(ZoneCanvasViewModelTest, TheEmptyLayoutShowsItsEmptyStateUntilAZoneIsDrawn) {
    canvas->setContent({}, std::nullopt, grid);
    EXPECT_TRUE(canvas->showsEmptyState());
    EXPECT_TRUE(canvas->zones().isEmpty());
    EXPECT_EQ(canvas->columns(), 12);
    EXPECT_EQ(canvas->rows(), 6);
    EXPECT_EQ(canvas->gridLines().size(), 11 + 5);
    const auto first = canvas->gridLines()[0].toList();
    ASSERT_EQ(first.size(), 4);
    EXPECT_EQ(first[0], first[2]) << "columns come first, as vertical lines";
    EXPECT_DOUBLE_EQ(first[1].toDouble(), areaOrigin);
    EXPECT_DOUBLE_EQ(first[3].toDouble(), areaOrigin + areaHeight);

    canvas->backgroundDragChanged(20, 20, 200, 150);
    EXPECT_FALSE(canvas->showsEmptyState());
}

TEST_F(ZoneCanvasViewModelTest, TheSizeLabelNeedsASelectedZoneLargeEnough) {
    canvas->setContent({left, topRight}, std::nullopt, grid);
    EXPECT_EQ(canvas->sizeLabel(), "");
    canvas->setContent({left, topRight}, left.id, grid);
    EXPECT_EQ(canvas->sizeLabel(), "50% × 100%");
    canvas->setViewWidth(150);
    EXPECT_EQ(canvas->sizeLabel(), "") << "a box 66 points wide is too narrow";
}

class ZoneCanvasViewModelRussianTest : public ZoneCanvasViewModelTest {
protected:
    ZoneCanvasViewModelRussianTest() : ZoneCanvasViewModelTest("ru") {}
};

TEST_F(ZoneCanvasViewModelRussianTest, MenuItemsAreLocalizedInOrder) {
    const auto items = canvas->menuItems();
    ASSERT_EQ(items.size(), 3);
    const std::vector<std::tuple<QString, std::string, QString>> expected{
        {"splitLeftRight", "Split Left and Right", "rectangle.split.2x1"},
        {"splitTopBottom", "Split Top and Bottom", "rectangle.split.1x2"},
        {"remove", "Delete Zone", "trash"},
    };
    for (qsizetype i = 0; i < items.size(); ++i) {
        const auto item = items[i].toMap();
        const auto& [action, key, image] = expected[static_cast<std::size_t>(i)];
        EXPECT_EQ(item.value("action").toString(), action);
        EXPECT_EQ(item.value("title").toString().toStdString(), localizer.localized(key));
        EXPECT_NE(item.value("title").toString().toStdString(), key) << "translated";
        EXPECT_EQ(item.value("image").toString(), image);
        EXPECT_EQ(item.value("destructive").toBool(), action == "remove");
        EXPECT_EQ(item.value("dividerBefore").toBool(), action == "remove");
    }

    // The size label follows the language too.
    canvas->setContent({left}, left.id, grid);
    EXPECT_EQ(canvas->sizeLabel().toStdString(),
              localizedFormat(localizer, "%lld%% × %lld%%", {"50", "100"}));
}

} // namespace
} // namespace tessera::test
