#include "core/editor/ZoneCanvasModel.h"
#include "platform/sim/SimLocalizer.h"

#include <gtest/gtest.h>

#include <cmath>
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

TEST(ZoneCanvasGeometryTest, ClampedKeepsZonesInsideAndAboveMinimum) {
    auto zone = makeZone(-0.2, 0.9, 0.01, 1.5, "kept");
    zone.shortcut = KeyCombo{1, carbon::cmdKey, "⌘S"};
    const auto result = clamped(zone, 0.04);
    expectGeometry(result, 0, 0, 0.04, 1);
    EXPECT_EQ(result.id, zone.id);
    EXPECT_EQ(result.name, "kept");
    EXPECT_EQ(result.shortcut, zone.shortcut);

    // Pushed back inside rather than cut.
    expectGeometry(clamped(makeZone(0.8, 0.7, 0.3, 0.5), 0.04), 0.7, 0.5, 0.3, 0.5);
    // A size equal to the minimum stays the minimum.
    expectGeometry(clamped(makeZone(0.5, 0.5, 0.04, 0.2), 0.04), 0.5, 0.5, 0.04, 0.2);
}

TEST(ZoneCanvasGeometryTest, SnapRoundsHalvesAwayFromZero) {
    EXPECT_DOUBLE_EQ(snap(0.375, 4), 0.5);   // 1.5 cells → 2
    EXPECT_DOUBLE_EQ(snap(0.625, 4), 0.75);  // 2.5 cells → 3, not to even
    EXPECT_DOUBLE_EQ(snap(-0.375, 4), -0.5); // away from zero below zero too
    EXPECT_DOUBLE_EQ(snap(0.36, 4), 0.25);
    EXPECT_DOUBLE_EQ(snap(0.29, 12), 3.0 / 12);
    EXPECT_DOUBLE_EQ(snap(0.3, 6), 2.0 / 6);
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
    EXPECT_FALSE(hitZone({0.5, 0.5}, {}).has_value());
}

TEST(ZoneCanvasGeometryTest, ResizeRightEdgeSnapsToTheGrid) {
    const auto start = makeZone(0.25, 0.25, 0.25, 0.5);
    const auto live = draggedZone(start, CanvasHandle::e, 0.04, 0, grid12x6, false);
    expectGeometry(live, 0.25, 0.25, 0.29, 0.5);
    const auto snapped = draggedZone(start, CanvasHandle::e, 0.04, 0, grid12x6, true);
    expectGeometry(snapped, 0.25, 0.25, 0.25, 0.5);
    const auto further = draggedZone(start, CanvasHandle::e, 0.05, 0, grid12x6, true);
    EXPECT_NEAR(further.x + further.width, 7.0 / 12, 1e-12);
    EXPECT_NEAR(further.width, 1.0 / 3, 1e-12);
}

TEST(ZoneCanvasGeometryTest, ResizeNeverTurnsInsideOut) {
    const auto start = makeZone(0.25, 0.25, 0.25, 0.5);
    for (const bool snapped : {false, true}) {
        const auto left = draggedZone(start, CanvasHandle::w, 0.6, 0, grid12x6, snapped);
        EXPECT_NEAR(left.x, 0.5 - 1.0 / 12, 1e-12);
        EXPECT_NEAR(left.x + left.width, 0.5, 1e-12);

        const auto top = draggedZone(start, CanvasHandle::n, 0, 0.9, grid12x6, snapped);
        EXPECT_NEAR(top.y, 0.75 - 0.1, 1e-12); // min(1/6, 0.1)
        EXPECT_NEAR(top.y + top.height, 0.75, 1e-12);

        const auto right = draggedZone(start, CanvasHandle::e, -0.6, 0, grid12x6, snapped);
        expectGeometry(right, 0.25, 0.25, 1.0 / 12, 0.5);
        const auto bottom = draggedZone(start, CanvasHandle::s, 0, -0.9, grid12x6, snapped);
        expectGeometry(bottom, 0.25, 0.25, 0.25, 0.1);
    }
    // Past the outer borders the dragged edge stops on them.
    expectGeometry(draggedZone(start, CanvasHandle::nw, -0.9, -0.9, grid12x6, false), 0, 0, 0.5,
                   0.75);
    expectGeometry(draggedZone(start, CanvasHandle::se, 0.9, 0.9, grid12x6, true), 0.25, 0.25, 0.75,
                   0.75);
}

TEST(ZoneCanvasGeometryTest, OnlyTheHandlesEdgesMove) {
    // On the grid: columns 3...6 of 12, rows 2...5 of 6.
    const double y0 = 1.0 / 3;
    const auto start = makeZone(0.25, y0, 0.25, 0.5);
    const double dx = 1.0 / 12, dy = 1.0 / 6;
    expectGeometry(draggedZone(start, CanvasHandle::n, dx, dy, grid12x6, true), 0.25, y0 + dy, 0.25,
                   0.5 - dy);
    expectGeometry(draggedZone(start, CanvasHandle::e, dx, dy, grid12x6, true), 0.25, y0, 0.25 + dx,
                   0.5);
    expectGeometry(draggedZone(start, CanvasHandle::sw, dx, dy, grid12x6, true), 0.25 + dx, y0,
                   0.25 - dx, 0.5 + dy);
    expectGeometry(draggedZone(start, CanvasHandle::ne, dx, dy, grid12x6, true), 0.25, y0 + dy,
                   0.25 + dx, 0.5 - dy);
    // Undragged edges keep their off-grid values.
    const auto offGrid = makeZone(0.31, 0.27, 0.2, 0.3);
    const auto resized = draggedZone(offGrid, CanvasHandle::s, 0, 0.1, grid12x6, true);
    EXPECT_DOUBLE_EQ(resized.x, 0.31);
    EXPECT_DOUBLE_EQ(resized.y, 0.27);
    EXPECT_DOUBLE_EQ(resized.width, 0.2);
    EXPECT_NEAR(resized.y + resized.height, 4.0 / 6, 1e-12);
}

TEST(ZoneCanvasGeometryTest, MoveStaysInsideAndKeepsItsSize) {
    const auto start = makeZone(0.5, 0.5, 0.3, 0.25);
    expectGeometry(draggedZone(start, CanvasHandle::move, 0.5, 0.6, grid12x6, false), 0.7, 0.75,
                   0.3, 0.25);
    expectGeometry(draggedZone(start, CanvasHandle::move, -0.8, 0.01, grid12x6, true), 0, 0.5, 0.3,
                   0.25);
    expectGeometry(draggedZone(start, CanvasHandle::move, 0.03, 0.1, grid12x6, true), 0.5, 4.0 / 6,
                   0.3, 0.25);
}

TEST(ZoneCanvasGeometryTest, TallGridMinimumIsRaisedByClamping) {
    const ZoneGrid tall{24, 42};
    const auto start = makeZone(0.1, 0.5, 0.2, 0.2);
    const auto live = draggedZone(start, CanvasHandle::s, 0, -0.5, tall, false);
    EXPECT_NEAR(live.height, 0.04, 1e-12); // 1/42 from the resize, raised to 0.04
    const auto top = draggedZone(start, CanvasHandle::n, 0, 0.5, tall, false);
    EXPECT_NEAR(top.height, 0.04, 1e-12);
}

TEST(ZoneCanvasGeometryTest, HandleTargetsAroundTheBox) {
    const Rect box{100, 100, 200, 100};
    const auto targets = resizeHandleTargets(box);
    ASSERT_EQ(targets.size(), 8u);
    EXPECT_EQ(targets[0].handle, CanvasHandle::nw);
    EXPECT_EQ(targets[0].rect, (Rect{91, 91, 18, 18}));
    EXPECT_EQ(targets[4].handle, CanvasHandle::n);
    EXPECT_EQ(targets[4].rect, (Rect{118, 95, 164, 10}));
    EXPECT_EQ(targets[5].rect, (Rect{295, 118, 10, 64}));

    EXPECT_EQ(resizeHandleAt({92, 92}, box), CanvasHandle::nw);
    EXPECT_EQ(resizeHandleAt({305, 205}, box), CanvasHandle::se);
    EXPECT_EQ(resizeHandleAt({200, 204}, box), CanvasHandle::s);
    EXPECT_EQ(resizeHandleAt({96, 150}, box), CanvasHandle::w);
    EXPECT_FALSE(resizeHandleAt({200, 150}, box).has_value());

    // Short edges keep a 4-point strip.
    const auto tiny = resizeHandleTargets(Rect{0, 0, 20, 20});
    EXPECT_DOUBLE_EQ(tiny[4].rect.width(), 4);
    EXPECT_DOUBLE_EQ(tiny[4].rect.minX(), 8);
}

TEST(ZoneCanvasGeometryTest, CanvasAreaAndBoxes) {
    const Rect area = canvasArea(viewSize);
    EXPECT_EQ(area, (Rect{3, 3, 600, 300}));
    const auto p = normalizedPoint({153, 78}, area);
    EXPECT_DOUBLE_EQ(p.x, 0.25);
    EXPECT_DOUBLE_EQ(p.y, 0.25);
    const auto zone = makeZone(0.5, 0.5, 0.25, 0.5);
    EXPECT_EQ(zoneFrame(zone, area), (Rect{303, 153, 150, 150}));
    EXPECT_EQ(zoneBox(zone, area), (Rect{306, 156, 144, 144}));
}

TEST(ZoneCanvasGeometryTest, CanvasGridLinesSitOnQuarterPoints) {
    const Rect area{3, 3, 601, 301};
    const auto lines = canvasGridLines(ZoneGrid{4, 2}, area);
    ASSERT_EQ(lines.size(), 4u);
    // 3 + 601 / 4 = 153.25 → 153 + 0.25; 3 + 601 / 2 = 303.5 → 304.25 (halves away from zero).
    EXPECT_EQ(lines[0], (CanvasGridLine{{153.25, 3}, {153.25, 304}}));
    EXPECT_EQ(lines[1].from.x, 304.25);
    EXPECT_EQ(lines[2].from.x, 454.25);
    EXPECT_EQ(lines[3], (CanvasGridLine{{3, 154.25}, {604, 154.25}}));
}

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
    EXPECT_DOUBLE_EQ(model.gridLineOpacity(), 0.40);

    // 40 of 600 points is 0.0667: live follows, snapped lands on 4/12.
    expectGeometry(*model.liveZone(), 0.25 + 40.0 / 600, 0.25, 0.25, 0.5);
    // The move lands both coordinates on the grid: y 0.25 lies between rows and goes to 2/6.
    expectGeometry(*model.snapZone(), 4.0 / 12, 2.0 / 6, 0.25, 0.5);
    EXPECT_EQ(recorder.beginEdits, 0) << "nothing is committed while dragging";
    // The shown zones carry the live zone.
    bool liveShown = false;
    for (const auto& zone : model.shownZones()) {
        liveShown |= zone == *model.liveZone();
    }
    EXPECT_TRUE(liveShown);

    model.zoneDragEnded(CanvasHandle::move);
    EXPECT_EQ(recorder.beginEdits, 1);
    ASSERT_EQ(recorder.changes.size(), 1u);
    EXPECT_TRUE(recorder.beginEditPrecededEveryChange);
    expectGeometry(stored(small.id), 4.0 / 12, 2.0 / 6, 0.25, 0.5);
    EXPECT_EQ(recorder.changes[0], model.zones());
    EXPECT_EQ(recorder.changes[0][0], big) << "other zones untouched, order kept";
    EXPECT_FALSE(model.dragStart() || model.activeHandle() || model.liveZone() || model.snapZone());
    EXPECT_DOUBLE_EQ(model.gridLineOpacity(), 0.16);
}

TEST(ZoneCanvasOwnerTest, TheOwnerMayHandNewContentBackFromInsideItsCallbacks) {
    // Like the editor page: it stores what it hears and refreshes the canvas before returning,
    // which frees the list the canvas was working on.
    const Zone big = makeZone(0, 0, 0.5, 1, "big");
    const Zone small = makeZone(0.25, 0.25, 0.25, 0.5, "small");
    ZoneCanvasModel model{{big, small}, grid12x6, viewSize};
    std::vector<Zone> stored;
    model.callbacks.onSelectionChanged = [&](const std::optional<Uuid>& id) {
        model.setZones({big, small});
        model.setSelectedID(id);
    };
    model.callbacks.onZonesChanged = [&](const std::vector<Zone>& zones) {
        model.setZones({big});
        stored = zones;
    };

    model.zoneDragChanged(small.id, CanvasHandle::move, {40, 0});
    EXPECT_EQ(model.dragStart(), small);
    model.zoneDragEnded(CanvasHandle::move);

    ASSERT_EQ(stored.size(), 2u) << "the list handed over stays what the canvas stored";
    EXPECT_EQ(stored[0], big);
    expectGeometry(stored[1], 4.0 / 12, 2.0 / 6, 0.25, 0.5);
}

TEST_F(ZoneCanvasModelTest, ResizeIsComputedFromDragStartWithoutDrift) {
    // Many small steps back and forth end where one jump to the same translation would.
    for (int i = 1; i <= 200; ++i) {
        const double t = 0.37 * i + (i % 2 ? 3.3 : -2.9);
        model.zoneDragChanged(small.id, CanvasHandle::se, {t, t / 3});
    }
    const Size last{0.37 * 200 - 2.9, (0.37 * 200 - 2.9) / 3};
    const auto expected =
        draggedZone(small, CanvasHandle::se, last.width / 600, last.height / 300, grid12x6, true);
    EXPECT_EQ(*model.snapZone(), expected);
    EXPECT_EQ(*model.dragStart(), small);

    model.zoneDragEnded(CanvasHandle::se);
    EXPECT_EQ(stored(small.id), expected);
    EXPECT_EQ(recorder.beginEdits, 1);
    EXPECT_EQ(recorder.changes.size(), 1u);
}

TEST_F(ZoneCanvasModelTest, GestureEndingWhereItBeganCommitsNothing) {
    // On the grid, so snapping alone does not move it.
    small = makeZone(0.25, 1.0 / 6, 0.25, 0.5, "small");
    model.setZones({big, small, other});
    model.zoneDragChanged(small.id, CanvasHandle::move, {80, 40});
    model.zoneDragChanged(small.id, CanvasHandle::move, {0, 0});
    model.zoneDragEnded(CanvasHandle::move);
    // A nudge smaller than half a cell snaps back as well.
    model.zoneDragChanged(small.id, CanvasHandle::e, {10, 0});
    model.zoneDragEnded(CanvasHandle::e);

    EXPECT_EQ(recorder.beginEdits, 0);
    EXPECT_TRUE(recorder.changes.empty());
    EXPECT_EQ(stored(small.id), small);
    EXPECT_EQ(model.selectedID(), small.id);
}

TEST_F(ZoneCanvasModelTest, OnlyTheActiveHandleIsHonoured) {
    model.zoneDragChanged(small.id, CanvasHandle::e, {100, 0});
    const auto snapped = *model.snapZone();
    model.zoneDragChanged(small.id, CanvasHandle::move, {-200, 100});
    model.zoneDragChanged(other.id, CanvasHandle::e, {-50, 0});
    EXPECT_EQ(*model.snapZone(), snapped);
    EXPECT_EQ(model.activeHandle(), CanvasHandle::e);

    model.zoneDragEnded(CanvasHandle::e);
    EXPECT_EQ(recorder.beginEdits, 1);
    expectGeometry(stored(small.id), 0.25, 0.25, 5.0 / 12, 0.5);
    EXPECT_EQ(stored(other.id), other);
}

TEST_F(ZoneCanvasModelTest, EndOfAnotherGestureAbandonsTheDrag) {
    model.zoneDragChanged(small.id, CanvasHandle::move, {100, 0});
    model.zoneDragEnded(CanvasHandle::n);
    EXPECT_FALSE(model.dragStart() || model.liveZone() || model.snapZone());
    model.zoneDragEnded(CanvasHandle::move);
    EXPECT_EQ(recorder.beginEdits, 0);
    EXPECT_EQ(stored(small.id), small);
}

TEST_F(ZoneCanvasModelTest, CommitForAVanishedZoneIsDropped) {
    model.zoneDragChanged(small.id, CanvasHandle::move, {100, 0});
    model.setZones({big, other});
    model.zoneDragEnded(CanvasHandle::move);
    EXPECT_EQ(recorder.beginEdits, 0);
    EXPECT_TRUE(recorder.changes.empty());
    EXPECT_EQ(model.zones(), (std::vector<Zone>{big, other}));
}

TEST_F(ZoneCanvasModelTest, DrawingNeedsMoreThanFourPoints) {
    model.backgroundDragChanged({100, 100}, {104, 100});
    model.backgroundDragChanged({100, 100}, {102.8, 102.8}); // hypot 3.96
    EXPECT_FALSE(model.drawnZone().has_value());
    model.backgroundDragEnded({102.8, 102.8});
    EXPECT_TRUE(recorder.creates.empty());
}

TEST_F(ZoneCanvasModelTest, DrawingSpansWholeCellsAndAtLeastOne) {
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
    EXPECT_EQ(model.drawnZone()->name, "");
    EXPECT_FALSE(model.drawnZone()->shortcut.has_value());

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

TEST_F(ZoneCanvasModelTest, ClickSelectsTheSmallestOrClears) {
    // (0.3, 0.5) lies in both big and small.
    model.backgroundDragChanged({183, 153}, {183, 153});
    model.backgroundDragEnded({183, 153});
    EXPECT_EQ(model.selectedID(), small.id);
    model.backgroundDragEnded({63, 273});
    EXPECT_EQ(model.selectedID(), big.id);
    model.backgroundDragEnded({500, 250});
    EXPECT_FALSE(model.selectedID().has_value());
    EXPECT_EQ(recorder.selections.size(), 3u);
    EXPECT_EQ(recorder.beginEdits, 0);
    EXPECT_TRUE(recorder.creates.empty());
}

TEST_F(ZoneCanvasModelTest, ArrowKeysMoveACellAndAreConsumedWhenSelected) {
    EXPECT_FALSE(model.arrowKey(ArrowKey::left)) << "passes on without a selection";

    model.setSelectedID(big.id);
    EXPECT_TRUE(model.arrowKey(ArrowKey::left));
    EXPECT_TRUE(model.arrowKey(ArrowKey::up));
    EXPECT_TRUE(model.arrowKey(ArrowKey::down)); // full height: nowhere to go
    EXPECT_EQ(recorder.beginEdits, 0);
    EXPECT_EQ(stored(big.id), big);

    EXPECT_TRUE(model.arrowKey(ArrowKey::right));
    expectGeometry(stored(big.id), 1.0 / 12, 0, 0.5, 1);
    EXPECT_EQ(recorder.beginEdits, 1);
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

TEST_F(ZoneCanvasModelTest, DeleteAndMenuActionsGoToTheOwner) {
    EXPECT_FALSE(model.deleteCommand());
    EXPECT_TRUE(recorder.deletes.empty());
    model.setSelectedID(small.id);
    EXPECT_TRUE(model.deleteCommand());
    ASSERT_EQ(recorder.deletes.size(), 1u);
    EXPECT_EQ(recorder.deletes[0], small);

    model.performMenuAction(ZoneMenuAction::splitLeftRight, other.id);
    model.performMenuAction(ZoneMenuAction::splitTopBottom, big.id);
    model.performMenuAction(ZoneMenuAction::remove, other.id);
    model.performMenuAction(ZoneMenuAction::remove, Uuid::random());
    ASSERT_EQ(recorder.splits.size(), 2u);
    EXPECT_EQ(recorder.splits[0], std::make_pair(other, true));
    EXPECT_EQ(recorder.splits[1], std::make_pair(big, false));
    ASSERT_EQ(recorder.deletes.size(), 2u);
    EXPECT_EQ(recorder.deletes[1], other);
    EXPECT_EQ(recorder.beginEdits, 0) << "the owner records these";

    const auto& items = zoneMenuItems();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].title, "Split Left and Right");
    EXPECT_EQ(items[1].image, "rectangle.split.1x2");
    EXPECT_TRUE(items[2].destructive && items[2].dividerBefore);
    EXPECT_EQ(items[2].action, ZoneMenuAction::remove);
}

TEST_F(ZoneCanvasModelTest, SmallerZonesAreOnTopAndTakeThePointer) {
    const auto twin = makeZone(0.75, 0.5, 0.25, 0.5);
    model.setZones({small, big, other, twin});
    const auto shown = model.shownZones();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0], big);
    EXPECT_EQ(shown[1], small);
    EXPECT_EQ(shown[2], other);
    EXPECT_EQ(shown[3], twin);

    // (0.3, 0.5) in view points: inside both big and small.
    EXPECT_EQ(model.pointerTarget({183, 153}), (PointerTarget{small.id, CanvasHandle::move}));
    EXPECT_EQ(model.pointerTarget({63, 273}), (PointerTarget{big.id, CanvasHandle::move}));
    // The 6-point gap between neighbours belongs to no zone.
    EXPECT_FALSE(model.pointerTarget({303, 20}).has_value());

    // Handles only on the selected zone; the nw corner of small sits at (156, 81).
    EXPECT_EQ(model.pointerTarget({158, 83}), (PointerTarget{small.id, CanvasHandle::move}));
    model.setSelectedID(small.id);
    EXPECT_EQ(model.pointerTarget({158, 83}), (PointerTarget{small.id, CanvasHandle::nw}));
    EXPECT_EQ(model.pointerTarget({152, 150}), (PointerTarget{small.id, CanvasHandle::w}));
}

TEST_F(ZoneCanvasModelTest, SizeLabelShowsOnlyOnLargeEnoughBoxes) {
    const auto localizer = makeSimLocalizer("en");
    EXPECT_FALSE(model.sizeLabel(localizer).has_value());
    model.setSelectedID(big.id);
    EXPECT_EQ(model.sizeLabel(localizer), "50% × 100%");
    EXPECT_EQ(zoneSizeLabel(makeZone(0, 0, 1.0 / 3, 0.125), localizer), "33% × 13%");
    EXPECT_EQ(zoneSizeLabel(makeZone(0, 0, 1e300, -4e-320), localizer), "1000000% × 0%");

    // A quarter of a 384-point area, less the 6-point inset, is exactly 90: not wider.
    const auto narrow = makeZone(0, 0, 0.25, 0.5);
    model.setZones({narrow});
    model.setSelectedID(narrow.id);
    model.setViewSize({390, 306});
    EXPECT_FALSE(model.sizeLabel(localizer).has_value());
    model.setViewSize({391, 306});
    EXPECT_TRUE(model.sizeLabel(localizer).has_value());
    model.setViewSize({391, 124}); // 0.5 × 118 − 6 = 53
    EXPECT_TRUE(model.sizeLabel(localizer).has_value());
    model.setViewSize({391, 118}); // 0.5 × 112 − 6 = 50
    EXPECT_FALSE(model.sizeLabel(localizer).has_value());
}

} // namespace
} // namespace tessera
