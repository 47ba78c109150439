#include "core/editor/ZoneCanvasModel.h"
#include "platform/sim/SimLocalizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace tessera {
namespace {
Zone makeZone(double x, double y, double w, double h, std::string name = "") {
    return Zone{Uuid::random(), std::move(name), x, y, w, h, std::nullopt};
}

void expectGeometry(const Zone& zone, double x, double y, double w, double h) {
    EXPECT_NEAR(zone.x, x, 1e-9);
    EXPECT_NEAR(zone.y, y, 1e-9);
    EXPECT_NEAR(zone.width, w, 1e-9);
    EXPECT_NEAR(zone.height, h, 1e-9);
}

// The view is 606 × 306 points, so the drawing area is (3, 3, 600, 300).
constexpr Size viewSize{606, 306};
constexpr ZoneGrid grid12x6{12, 6};

TEST(ZoneCanvasGeometryTest, ClampingPushesZonesBackInsideAndSnapRoundsHalvesAwayFromZero) {
    auto zone = makeZone(-0.2, 0.9, 0.01, 1.5, "kept");
    zone.shortcut = KeyCombo{1, carbon::cmdKey, "⌘S"};
    const auto result = clamped(zone, 0.04);
    expectGeometry(result, 0, 0, 0.04, 1);
    EXPECT_EQ(result.shortcut, zone.shortcut);
    expectGeometry(clamped(makeZone(0.8, 0.7, 0.3, 0.5), 0.04), 0.7, 0.5, 0.3, 0.5);

    EXPECT_DOUBLE_EQ(snap(0.375, 4), 0.5);   // 1.5 cells → 2
    EXPECT_DOUBLE_EQ(snap(0.625, 4), 0.75);  // 2.5 cells → 3, not to even
    EXPECT_DOUBLE_EQ(snap(-0.375, 4), -0.5); // away from zero below zero too
    EXPECT_DOUBLE_EQ(snap(0.36, 4), 0.25);
}

TEST(ZoneCanvasGeometryTest, HitZonePrefersTheSmallestThenTheEarliest) {
    const auto big = makeZone(0, 0, 1, 1);
    const auto small = makeZone(0.5, 0.5, 0.25, 0.25);
    const auto twin = makeZone(0.5, 0.5, 0.25, 0.25);
    const auto right = makeZone(0.75, 0, 0.25, 0.5);
    const std::vector<Zone> zones{big, small, twin, right};
    EXPECT_EQ(hitZone({0.6, 0.6}, zones)->id, small.id);
    EXPECT_EQ(hitZone({0.75, 0.75}, zones)->id, small.id); // corner is inside
    EXPECT_EQ(hitZone({0.75, 0.25}, zones)->id, right.id); // shared edge: smaller wins
    EXPECT_EQ(hitZone({0.1, 0.9}, zones)->id, big.id);
    EXPECT_FALSE(hitZone({0.5, 0.5}, {right}).has_value());
}

// A drag of a handle by (dx, dy) of the canvas from where the gesture began moves only that
// handle's edges, lands them on the grid when snapping, never turns the zone inside out (at least
// one cell, or the minimum size on a dense grid) and stops at the canvas's borders.
TEST(ZoneCanvasGeometryTest, DraggedHandlesMoveTheirEdgesOnly) {
    struct Case {
        const char* what;
        Zone start;
        CanvasHandle handle;
        double dx, dy;
        bool snapped;
        ZoneGrid grid;
        double x, y, w, h;
    };
    const auto start = makeZone(0.25, 0.25, 0.25, 0.5);
    const auto onGrid = makeZone(0.25, 1.0 / 3, 0.25, 0.5); // columns 3-6, rows 2-5
    const double cx = 1.0 / 12, cy = 1.0 / 6, y0 = 1.0 / 3;
    const ZoneGrid tall{24, 42};
    const Case cases[] = {
        {"live edge", start, CanvasHandle::e, 0.04, 0, false, grid12x6, 0.25, 0.25, 0.29, 0.5},
        {"snapped back", start, CanvasHandle::e, 0.04, 0, true, grid12x6, 0.25, 0.25, 0.25, 0.5},
        {"snapped on", start, CanvasHandle::e, 0.05, 0, true, grid12x6, 0.25, 0.25, 1.0 / 3, 0.5},
        {"n", onGrid, CanvasHandle::n, cx, cy, true, grid12x6, 0.25, y0 + cy, 0.25, 0.5 - cy},
        {"sw", onGrid, CanvasHandle::sw, cx, cy, true, grid12x6, 0.25 + cx, y0, 0.25 - cx,
         0.5 + cy},
        {"off-grid edges stay", makeZone(0.31, 0.27, 0.2, 0.3), CanvasHandle::s, 0, 0.1, true,
         grid12x6, 0.31, 0.27, 0.2, 4.0 / 6 - 0.27},
        {"w past e", start, CanvasHandle::w, 0.6, 0, true, grid12x6, 0.5 - cx, 0.25, cx, 0.5},
        {"n past s", start, CanvasHandle::n, 0, 0.9, false, grid12x6, 0.25, 0.65, 0.25, 0.1},
        {"nw past border", start, CanvasHandle::nw, -0.9, -0.9, false, grid12x6, 0, 0, 0.5, 0.75},
        {"se past border", start, CanvasHandle::se, 0.9, 0.9, true, grid12x6, 0.25, 0.25, 0.75,
         0.75},
        {"dense grid minimum", makeZone(0.1, 0.5, 0.2, 0.2), CanvasHandle::s, 0, -0.5, false, tall,
         0.1, 0.5, 0.2, 0.04},
        {"move", makeZone(0.5, 0.5, 0.3, 0.25), CanvasHandle::move, 0.5, 0.6, false, grid12x6, 0.7,
         0.75, 0.3, 0.25},
        {"move snapped", makeZone(0.5, 0.5, 0.3, 0.25), CanvasHandle::move, -0.8, 0.01, true,
         grid12x6, 0, 0.5, 0.3, 0.25},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        expectGeometry(draggedZone(c.start, c.handle, c.dx, c.dy, c.grid, c.snapped), c.x, c.y, c.w,
                       c.h);
    }
}

// Records what the canvas reports to its owner.
struct Recorder {
    int beginEdits = 0;
    std::vector<std::vector<Zone>> changes;
    std::vector<std::optional<Uuid>> selections;
    std::vector<std::pair<Zone, bool>> splits;
    std::vector<Zone> deletes;
    std::vector<Zone> creates;
    // The owner's undo step must come before the list it belongs to.
    bool beginEditPrecededEveryChange = true;

    void attach(ZoneCanvasModel& model) {
        model.callbacks.onBeginEdit = [this] { ++beginEdits; };
        model.callbacks.onZonesChanged = [this](const std::vector<Zone>& zones) {
            if (beginEdits != static_cast<int>(changes.size()) + 1) {
                beginEditPrecededEveryChange = false;
            }
            changes.push_back(zones);
        };
        model.callbacks.onSelectionChanged = [this](const auto& id) { selections.push_back(id); };
        model.callbacks.onSplit = [this](const Zone& z, bool lr) { splits.emplace_back(z, lr); };
        model.callbacks.onDelete = [this](const Zone& z) { deletes.push_back(z); };
        model.callbacks.onCreate = [this](const Zone& z) { creates.push_back(z); };
    }
};

class ZoneCanvasModelTest : public ::testing::Test {
protected:
    Zone big = makeZone(0, 0, 0.5, 1, "big");
    Zone small = makeZone(0.25, 0.25, 0.25, 0.5, "small");
    Zone other = makeZone(0.75, 0, 0.25, 0.5, "other");
    ZoneCanvasModel model{{big, small, other}, grid12x6, viewSize};
    Recorder recorder;

    void SetUp() override { recorder.attach(model); }

    const Zone& stored(const Uuid& id) const {
        for (const auto& zone : model.zones()) {
            if (zone.id == id) {
                return zone;
            }
        }
        throw std::runtime_error("zone missing");
    }
};

TEST_F(ZoneCanvasModelTest, MoveGestureBeginsSelectsAndCommitsOnce) {
    model.zoneDragChanged(small.id, CanvasHandle::move, {0.5, 0});
    EXPECT_FALSE(model.dragStart().has_value()) << "under a point of travel is no drag yet";

    model.zoneDragChanged(small.id, CanvasHandle::move, {40, 0});
    EXPECT_EQ(model.dragStart(), small);
    EXPECT_EQ(model.activeHandle(), CanvasHandle::move);
    EXPECT_EQ(model.selectedID(), small.id);
    EXPECT_TRUE(model.focused());
    ASSERT_EQ(recorder.selections.size(), 1u);
    // 40 of 600 points: live follows, snapped lands on 4/12, and y 0.25 on 2/6.
    expectGeometry(*model.liveZone(), 0.25 + 40.0 / 600, 0.25, 0.25, 0.5);
    expectGeometry(*model.snapZone(), 4.0 / 12, 2.0 / 6, 0.25, 0.5);
    EXPECT_EQ(recorder.beginEdits, 0) << "nothing is committed while dragging";
    const auto shown = model.shownZones();
    EXPECT_NE(std::find(shown.begin(), shown.end(), *model.liveZone()), shown.end());

    // Another handle or zone is ignored while this gesture runs.
    model.zoneDragChanged(small.id, CanvasHandle::e, {-200, 100});
    model.zoneDragChanged(other.id, CanvasHandle::move, {-50, 0});
    expectGeometry(*model.snapZone(), 4.0 / 12, 2.0 / 6, 0.25, 0.5);

    model.zoneDragEnded(CanvasHandle::move);
    EXPECT_EQ(recorder.beginEdits, 1);
    ASSERT_EQ(recorder.changes.size(), 1u);
    EXPECT_TRUE(recorder.beginEditPrecededEveryChange);
    expectGeometry(stored(small.id), 4.0 / 12, 2.0 / 6, 0.25, 0.5);
    EXPECT_EQ(recorder.changes[0], model.zones());
    EXPECT_EQ(recorder.changes[0][0], big) << "other zones untouched, order kept";
    EXPECT_EQ(stored(other.id), other);
    EXPECT_FALSE(model.dragStart() || model.activeHandle() || model.liveZone() || model.snapZone());
}

TEST_F(ZoneCanvasModelTest, DrawingNeedsMoreThanFourPointsAndSpansWholeCells) {
    model.backgroundDragChanged({100, 100}, {102.8, 102.8}); // hypot 3.96
    EXPECT_FALSE(model.drawnZone().has_value());
    model.backgroundDragEnded({102.8, 102.8});
    EXPECT_TRUE(recorder.creates.empty());

    model.setZones({});
    EXPECT_TRUE(model.showsEmptyState());
    // From (0.2, 0.1) to (0.21, 0.12): less than a cell, still one full cell.
    model.backgroundDragChanged({123, 33}, {129, 39});
    ASSERT_TRUE(model.drawnZone().has_value());
    EXPECT_FALSE(model.showsEmptyState());
    expectGeometry(*model.drawnZone(), 2.0 / 12, 1.0 / 6, 1.0 / 12, 1.0 / 6);
    const auto id = model.drawnZone()->id;
    // Dragging up and left of the start: corners swap, edges land on the grid.
    model.backgroundDragChanged({453, 228}, {183, 83}); // (0.75, 0.75) to (0.3, 0.2667)
    expectGeometry(*model.drawnZone(), 4.0 / 12, 2.0 / 6, 5.0 / 12, 3.0 / 6);
    EXPECT_EQ(model.drawnZone()->id, id) << "one drawn zone per gesture";
    // Beyond the canvas the corners are held on its border.
    model.backgroundDragChanged({453, 228}, {900, 900});
    expectGeometry(*model.drawnZone(), 9.0 / 12, 5.0 / 6, 3.0 / 12, 1.0 / 6);

    model.backgroundDragEnded({900, 900});
    ASSERT_EQ(recorder.creates.size(), 1u);
    EXPECT_EQ(recorder.creates[0].id, id);
    EXPECT_FALSE(model.drawnZone().has_value());
    EXPECT_TRUE(model.focused());
    EXPECT_EQ(recorder.beginEdits, 0) << "the owner records adding the zone";
}

TEST_F(ZoneCanvasModelTest, ArrowKeysMoveACellAndAreConsumedWhenSelected) {
    EXPECT_FALSE(model.arrowKey(ArrowKey::left)) << "passes on without a selection";
    model.setSelectedID(big.id);
    EXPECT_TRUE(model.arrowKey(ArrowKey::left));
    EXPECT_TRUE(model.arrowKey(ArrowKey::down)); // full height: nowhere to go
    EXPECT_EQ(recorder.beginEdits, 0);
    EXPECT_TRUE(model.arrowKey(ArrowKey::right));
    expectGeometry(stored(big.id), 1.0 / 12, 0, 0.5, 1);
    EXPECT_EQ(recorder.changes.size(), 1u);

    // An off-grid zone lands on the grid.
    const auto loose = makeZone(0.3, 0.3, 0.2, 0.2);
    model.setZones({loose});
    model.setSelectedID(loose.id);
    EXPECT_TRUE(model.arrowKey(ArrowKey::down));
    expectGeometry(model.zones()[0], 0.3, 3.0 / 6, 0.2, 0.2);
    EXPECT_TRUE(model.arrowKey(ArrowKey::left));
    expectGeometry(model.zones()[0], 3.0 / 12, 0.5, 0.2, 0.2);
    EXPECT_TRUE(model.arrowKey(ArrowKey::up));
    expectGeometry(model.zones()[0], 3.0 / 12, 2.0 / 6, 0.2, 0.2);
    EXPECT_EQ(recorder.beginEdits, 4);
    EXPECT_TRUE(recorder.beginEditPrecededEveryChange);

    model.setSelectedID(Uuid::random());
    EXPECT_FALSE(model.arrowKey(ArrowKey::right)) << "a selection of a missing zone is none";
}
} // namespace
} // namespace tessera
