// What the zone canvas's view model does that tst_zonecanvas.qml can't see through the user's
// events: the boxes and handles in view points, when it announces changes, content handed in
// during a drag, what it hands its owner, and names and keys it doesn't act on.

#include "ZoneCanvasViewModel.h"
#include "QtTestSupport.h"
#include "Strings.h"
#include "ZoneBoxModel.h"

#include "platform/sim/SimLocalizer.h"

#include <QVariantMap>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace tessera::test {
namespace {

using shell::ZoneBox;
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
};

class ZoneCanvasViewModelTest : public ::testing::Test {
protected:
    ZoneCanvasViewModelTest() : localizer(makeSimLocalizer("en")), strings(localizer) {}

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
        callbacks.onSplit = [this](const Zone&, bool) { calls.order.push_back("split"); };
        callbacks.onDelete = [this](const Zone&) { calls.order.push_back("delete"); };
        callbacks.onCreate = [this](const Zone&) { calls.order.push_back("create"); };
        canvas = std::make_unique<ZoneCanvasViewModel>(
            strings, std::move(callbacks), [](const Zone& zone) { return "Shown " + zone.name; });
        canvas->setViewWidth(viewWidth);
        canvas->setViewHeight(viewHeight);
    }

    const ZoneBox& zoneEntry(const Uuid& id) const {
        const auto& boxes = canvas->zoneBoxes()->boxes();
        const auto found = std::find_if(boxes.begin(), boxes.end(),
                                        [&](const ZoneBox& box) { return box.id == text(id); });
        EXPECT_NE(found, boxes.end()) << "the canvas shows the zone";
        static const ZoneBox none;
        return found == boxes.end() ? none : *found;
    }
    QVariantMap handleEntry(const QString& name) const {
        for (const auto& entry : canvas->handles()) {
            if (entry.toMap().value("handle").toString() == name) {
                return entry.toMap();
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
    canvas->setContent({small, topRight, left}, Uuid::random(), grid);
    EXPECT_TRUE(canvas->handles().isEmpty()) << "a selection missing from the layout has none";
    canvas->setContent({small, topRight, left}, topRight.id, grid);

    const auto& zones = canvas->zoneBoxes()->boxes();
    ASSERT_EQ(zones.size(), 3U);
    // Areas 0.5, 0.25 and 0.15: the smallest on top, whatever the layout's own order.
    EXPECT_EQ(zones[0].id, text(left.id));
    EXPECT_EQ(zones[1].id, text(topRight.id));
    EXPECT_EQ(zones[2].id, text(small.id));
    EXPECT_EQ(zones[1].box, QRectF(areaOrigin + 0.5 * areaWidth + 3, areaOrigin + 3,
                                   0.5 * areaWidth - 6, 0.5 * areaHeight - 6));
    EXPECT_TRUE(zones[1].selected && !zones[0].selected);
    // Names come from the owner's display name; shortcuts in the Linux form, empty for none.
    EXPECT_EQ(zones[0].name, "Shown Left");
    EXPECT_EQ(zones[0].shortcut, "Ctrl+Alt+1");
    EXPECT_EQ(zones[1].shortcut, "");

    // Grid lines: the inner columns first, as vertical lines across the area, then the rows.
    EXPECT_EQ(canvas->gridLines().size(), 11 + 5);
    const auto first = canvas->gridLines()[0].toList();
    ASSERT_EQ(first.size(), 4);
    EXPECT_EQ(first[0], first[2]);
    EXPECT_EQ(first[1].toDouble(), areaOrigin);
    EXPECT_EQ(first[3].toDouble(), areaOrigin + areaHeight);
}

TEST_F(ZoneCanvasViewModelTest, AMoveSurvivesNewContentCarriesItsHandlesAndCommitsOnce) {
    canvas->setContent({left, topRight}, std::nullopt, grid);
    canvas->zoneDragChanged(text(topRight.id), "move", 0, 30);
    ASSERT_TRUE(canvas->movingOrResizing());
    ASSERT_TRUE(zoneEntry(topRight.id).live);
    const QRectF live = zoneEntry(topRight.id).box;
    EXPECT_EQ(centre(handleEntry("nw")), live.topLeft());
    EXPECT_EQ(centre(handleEntry("se")), live.bottomRight());

    // The owner stores something else meanwhile (a rename, say) and hands it back.
    Zone renamed = left;
    renamed.name = "Renamed";
    canvas->setContent({renamed, topRight}, topRight.id, grid);
    EXPECT_TRUE(canvas->movingOrResizing());
    EXPECT_EQ(zoneEntry(left.id).name, "Shown Renamed");

    canvas->zoneDragChanged(text(topRight.id), "move", 0, 0.34 * areaHeight);
    // Another handle's gesture is ignored while this one runs.
    canvas->zoneDragChanged(text(topRight.id), "se", 200, 200);
    EXPECT_TRUE(calls.zoneLists.empty()) << "nothing is stored before the drag ends";
    canvas->zoneDragEnded("move");

    EXPECT_EQ(calls.order, (std::vector<std::string>{"selection", "beginEdit", "zonesChanged"}));
    EXPECT_EQ(calls.selections, std::vector<std::optional<Uuid>>{topRight.id});
    ASSERT_EQ(calls.zoneLists.size(), 1u);
    auto moved = topRight;
    moved.y = snap(0.34, grid.rows);
    EXPECT_EQ(calls.zoneLists[0], (std::vector{renamed, moved}))
        << "the content handed in during the drag is kept";
    EXPECT_FALSE(canvas->movingOrResizing());
}

TEST_F(ZoneCanvasViewModelTest, KeysAndNamesTheCanvasDoesNotActOnPassOnAndStoreNothing) {
    canvas->setContent({left, topRight}, std::nullopt, grid);
    // Without a selection, arrows and Delete are the window's.
    EXPECT_FALSE(canvas->arrowKey(Qt::Key_Left) || canvas->deleteCommand());

    canvas->setContent({left, topRight}, topRight.id, grid);
    EXPECT_FALSE(canvas->arrowKey(Qt::Key_A) || canvas->arrowKey(Qt::Key_Delete));
    canvas->zoneDragChanged("not an id", "move", 50, 50);
    canvas->zoneDragChanged(text(topRight.id), "middle", 50, 50);
    canvas->zoneDragEnded("middle");
    canvas->menuAction("explode", text(topRight.id));
    canvas->menuAction("remove", "not an id");
    canvas->menuAction("remove", text(Uuid::random()));
    EXPECT_TRUE(calls.order.empty());
    EXPECT_FALSE(canvas->movingOrResizing());
}

TEST_F(ZoneCanvasViewModelTest, ChangedComesOnlyWhenSomethingShownChanges) {
    canvas->setContent({left, topRight}, topRight.id, grid);
    const auto id = text(topRight.id);
    const auto show = [&](const Uuid& selected, ZoneGrid zoneGrid) {
        return [=, this] { canvas->setContent({left, topRight}, selected, zoneGrid); };
    };
    const std::vector<std::tuple<std::string, std::function<void()>, int>> steps{
        {"the same content", show(topRight.id, grid), 0},
        {"another selection", show(left.id, grid), 1},
        {"another grid", show(left.id, ZoneGrid{24, 12}), 1},
        {"another width", [&] { canvas->setViewWidth(800); }, 1},
        {"the same height", [&] { canvas->setViewHeight(viewHeight); }, 0},
        {"focus", [&] { canvas->setFocused(true); }, 1},
        // Under a point of travel a drag has not begun yet.
        {"half a point", [&] { canvas->zoneDragChanged(id, "move", 0.5, 0); }, 0},
        {"a drag", [&] { canvas->zoneDragChanged(id, "move", -5, 0); }, 1},
        {"the drag going on", [&] { canvas->zoneDragChanged(id, "move", -9, 0); }, 1},
        {"the drop", [&] { canvas->zoneDragEnded("move"); }, 1},
        // Four points of travel on empty space draw nothing.
        {"four points on empty space", [&] { canvas->backgroundDragChanged(10, 10, 14, 10); }, 0},
    };
    for (const auto& [what, act, expected] : steps) {
        EXPECT_EQ(emissions(canvas.get(), &ZoneCanvasViewModel::changed, act), expected) << what;
    }
}

// The list QML draws the boxes from keeps each zone's row across new content, so its delegate
// lives on and animates; and a box's `live` changes before its place, so a box that starts
// following the pointer doesn't animate to it.
TEST(ZoneBoxModel, RowsStayWithTheirZoneAndLiveChangesFirst) {
    shell::ZoneBoxModel model;
    const auto box = [](const char* id, double x, bool live = false) {
        return shell::ZoneBox{id, id, {}, false, live, QRectF(x, 0, 10, 10)};
    };
    model.show({box("a", 0), box("b", 10), box("c", 20)});
    std::vector<std::string> events;
    QObject::connect(&model, &QAbstractItemModel::rowsRemoved, [&](auto, int first, int) {
        events.push_back("remove " + std::to_string(first));
    });
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&](auto, int first, int) {
        events.push_back("insert " + std::to_string(first));
    });
    QObject::connect(
        &model, &QAbstractItemModel::rowsMoved, [&](auto, int from, int, auto, int to) {
            events.push_back("move " + std::to_string(from) + " " + std::to_string(to));
        });
    QObject::connect(&model, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& at, auto, const QList<int>& roles) {
                         events.push_back(
                             "change " + std::to_string(at.row()) +
                             (roles.contains(shell::ZoneBoxModel::LiveRole) ? " live" : ""));
                     });

    // Reordered: the zone that moved keeps its row, and nothing else changes.
    model.show({box("c", 20), box("a", 0), box("b", 10)});
    EXPECT_EQ(events, std::vector<std::string>{"move 2 0"});
    // b gone, d new, a now live and elsewhere.
    events.clear();
    model.show({box("c", 20), box("d", 30), box("a", 5, true)});
    EXPECT_EQ(events,
              (std::vector<std::string>{"remove 2", "insert 1", "change 2 live", "change 2"}));
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.boxes(), (std::vector{box("c", 20), box("d", 30), box("a", 5, true)}));
    EXPECT_EQ(model.data(model.index(2), shell::ZoneBoxModel::BoxXRole).toDouble(), 5);
    EXPECT_EQ(model.roleNames().value(shell::ZoneBoxModel::ZoneIDRole), "zoneID");

    events.clear();
    model.show(model.boxes());
    EXPECT_TRUE(events.empty());
}

} // namespace
} // namespace tessera::test
