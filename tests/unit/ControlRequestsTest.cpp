// What a script may ask of the running Tessera, on the simulated desktop: the same placements,
// commands and assignments the application makes, and a typed failure for every wrong name.

#include "AppTestSupport.h"

#include "core/app/ControlRequests.h"
#include "core/app/Preferences.h"
#include "core/hotkeys/HotkeyCenter.h"
#include "core/model/Screens.h"
#include "core/placement/AccessibilityWindowMover.h"
#include "core/store/LayoutStore.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace tessera;
using apptest::SimApp;
using placementtest::sameFrame;
using placementtest::zone;

namespace {
constexpr ProcessId editor = 501;
constexpr ProcessId ignored = 502;

class ControlRequestsTest : public ::testing::Test, protected SimApp {
protected:
    ControlRequestsTest() : SimApp(simscreens::sideBySide()) {}
    void SetUp() override {
        state = std::make_unique<AppState>(ports(), temp / "layouts.json");
        state->store().upsert(halves);
        // The second display shows the halves; the first keeps its built-in layout.
        state->assignLayout(halves.id, state->screens().at(1));
        scheduler.runPending();
        requests = std::make_unique<ControlRequests>(*state, ports());
        desktop.addApplication(editor, "com.example.editor", "Editor");
        desktop.addApplication(ignored, "com.example.ignored", "Ignored");
        defaults.set(prefs::ignoredApps, encodeIgnoredApps({"com.example.ignored"}));
        other = desktop.addWindow(ignored, {40, 40, 300, 200});
        window = desktop.addWindow(editor, {100, 100, 400, 300});
        desktop.setFrontmostApplication(editor);
    }
    SystemDisplay display(std::size_t index) const {
        return desktop.displays().screens().at(index);
    }
    Rect frameIn(std::size_t zoneIndex) const {
        return state->mover().zoneWindowFrame(halves.zones.at(zoneIndex), display(1));
    }

    const Layout halves{
        Uuid::random(), "Halves", {zone(0, 0, 0.5, 1, "Left"), zone(0.5, 0, 0.5, 1, "Right")}};
    AccessibilityElement window;
    AccessibilityElement other;
    std::unique_ptr<AppState> state;
    std::unique_ptr<ControlRequests> requests;
};

TEST_F(ControlRequestsTest, PlacesCommandsAndAssignmentsActAsTheApplicationsOwnAndPlacingSaysSo) {
    std::vector<std::pair<std::optional<Uuid>, std::string>> placed;
    const auto watch =
        requests->onPlaced([&](const std::optional<Uuid>& zone, const std::string& screen) {
            placed.emplace_back(zone, screen);
        });

    EXPECT_EQ(requests->place(halves.zones[1].id.string()), std::nullopt);
    EXPECT_TRUE(sameFrame(*desktop.frame(window), frameIn(1)));
    EXPECT_EQ(requests->place("Halves:1"), std::nullopt);
    EXPECT_TRUE(sameFrame(*desktop.frame(window), frameIn(0)));
    // The mover remembers the first frame, as for a shortcut: a drag out gives it back.
    EXPECT_EQ(state->mover().placements().at(window).original, Rect(100, 100, 400, 300));

    const auto second = desktop.addWindow(editor, {0, 0, 200, 200});
    desktop.setFrontmostApplication(editor);
    EXPECT_EQ(requests->place(halves.id.string() + ":2", std::to_string(window.id)), std::nullopt);
    EXPECT_TRUE(sameFrame(*desktop.frame(window), frameIn(1)));
    EXPECT_EQ(*desktop.frame(second), Rect(0, 0, 200, 200));

    const auto screen = makeScreenInfo(display(1)).id;
    EXPECT_EQ(placed, (decltype(placed){{halves.zones[1].id, screen},
                                        {halves.zones[0].id, screen},
                                        {halves.zones[1].id, screen}}));

    bool moved = false;
    EXPECT_EQ(requests->perform("fillScreen", &moved), std::nullopt);
    EXPECT_TRUE(moved);
    EXPECT_TRUE(sameFrame(*desktop.frame(window), state->mover().fillWindowFrame(display(1))));
    // A display by its shown name as by its position.
    EXPECT_EQ(requests->assign(display(0).name, halves.id.string()), std::nullopt);
    EXPECT_EQ(state->layoutIDForDisplay(makeScreenInfo(display(0))), halves.id);
}

// Every failure is typed, with a message for the script, and moves nothing.
TEST_F(ControlRequestsTest, FailuresAreTypedWithAMessageAndMoveNothing) {
    const struct {
        std::function<ControlResult()> request;
        ControlFailure failure;
        const char* message;
    } cases[] = {
        {[&] { return requests->place("Left"); }, ControlFailure::unknownZone,
         "unknown zone \"Left\" (give a zone id or LAYOUT:INDEX)"},
        {[&] { return requests->place("Halves:0"); }, ControlFailure::unknownZone,
         "unknown zone \"Halves:0\": layout \"Halves\" has zones 1 to 2"},
        {[&] { return requests->place("Halves:1", "99999"); }, ControlFailure::unknownWindow,
         "unknown window \"99999\""},
        {[&] {
             desktop.setFrontmostApplication(std::nullopt);
             return requests->place("Halves:1");
         },
         ControlFailure::noActiveWindow, "no active window"},
        {[&] {
             desktop.setFrontmostApplication(ignored);
             return requests->place("Halves:1");
         },
         ControlFailure::excluded, "the window's application (com.example.ignored) is excluded"},
        {[&] { return requests->perform("zoneSideways"); }, ControlFailure::unknownCommand,
         "unknown command \"zoneSideways\" (one of fillScreen, zoneLeft, zoneRight, zoneUp, "
         "zoneDown, previousDisplay, nextDisplay)"},
        {[&] { return requests->assign("3", "Halves"); }, ControlFailure::unknownDisplay,
         "unknown display \"3\""},
        {[&] { return requests->showMainWindow("help"); }, ControlFailure::unknownPage,
         "unknown page \"help\""},
    };
    const auto before = desktop.frame(window);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const auto result = c.request();
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->failure, c.failure);
        EXPECT_EQ(result->message, c.message);
        EXPECT_EQ(desktop.frame(window), before);
    }
}
} // namespace
