#include "platform/sim/SimDesktop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace tessera {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr ProcessId editorPid = 101;
constexpr ProcessId terminalPid = 202;

class SimDesktopTest : public ::testing::Test {
protected:
    SimDesktopTest() {
        desktop.addApplication(editorPid, "com.example.editor", "Editor");
        desktop.addApplication(terminalPid, std::nullopt, "Terminal");
    }

    template <typename T>
    std::optional<T> read(const AccessibilityElement& element, std::string_view attribute) {
        const auto result = desktop.copyAttribute(element, attribute);
        if (!result.ok()) {
            return std::nullopt;
        }
        const auto* value = std::get_if<T>(&*result.value);
        return value ? std::optional<T>(*value) : std::nullopt;
    }

    std::optional<Rect> readFrame(const AccessibilityElement& window) {
        const auto position = read<Point>(window, ax::position);
        const auto size = read<Size>(window, ax::size);
        if (!position || !size) {
            return std::nullopt;
        }
        return Rect{position->x, position->y, size->width, size->height};
    }

    std::optional<AccessibilityElement> hit(Point p) {
        return desktop.elementAtPosition(p).element;
    }

    SimDesktop desktop;
};

TEST_F(SimDesktopTest, TheSameWindowReachedByEveryRouteIsEqualAndHashesAlike) {
    const auto window = desktop.addWindow(editorPid, {100, 100, 800, 600});
    const auto button = desktop.addCloseButton(window);
    const auto app = desktop.applicationElement(editorPid);

    EXPECT_EQ(app, desktop.applicationElement(editorPid));
    const std::vector<AccessibilityElement> lookups = {
        *hit({400, 400}),
        *read<AccessibilityElement>(app, ax::focusedWindow),
        *read<AccessibilityElement>(app, ax::mainWindow),
        read<std::vector<AccessibilityElement>>(app, ax::windows)->front(),
        *read<AccessibilityElement>(button, ax::parent),
    };
    for (const auto& found : lookups) {
        EXPECT_EQ(found, window);
        EXPECT_EQ(std::hash<AccessibilityElement>{}(found),
                  std::hash<AccessibilityElement>{}(window));
    }
    EXPECT_NE(window, app);
    EXPECT_NE(window, button);
}

TEST_F(SimDesktopTest, ApplicationElementsFollowTheProcessNotTheCall) {
    // Asked for before the process starts: the same element once it runs.
    const auto early = desktop.applicationElement(303);
    EXPECT_EQ(desktop.copyAttribute(early, ax::role).status, AccessibilityStatus::invalidElement);
    EXPECT_EQ(desktop.addApplication(303, "com.example.late", "Late"), early);
    EXPECT_EQ(read<std::string>(early, ax::role), "AXApplication");

    // A later process under the same id is another application.
    desktop.quitApplication(303);
    EXPECT_NE(desktop.addApplication(303, std::nullopt, "Reborn"), early);
    EXPECT_EQ(desktop.copyAttribute(early, ax::role).status, AccessibilityStatus::invalidElement);
}

TEST_F(SimDesktopTest, ParentChainLeadsFromNestedChildrenToTheWindowAndItsApplication) {
    const auto window =
        desktop.addWindow(editorPid, {100, 100, 800, 600}, SimWindowOptions{}.titled("Notes"));
    const auto toolbar = desktop.addChild(window, "AXToolbar", {0, 0, 800, 50});
    const auto button = desktop.addChild(toolbar, "AXButton", {100, 10, 30, 30}, "Bold");

    EXPECT_EQ(read<std::string>(button, ax::role), "AXButton");
    EXPECT_EQ(read<AccessibilityElement>(button, ax::parent), toolbar);
    EXPECT_EQ(read<AccessibilityElement>(toolbar, ax::parent), window);
    EXPECT_EQ(read<std::string>(window, ax::role), "AXWindow");
    EXPECT_EQ(read<std::string>(window, "AXTitle"), "Notes");
    EXPECT_EQ(read<AccessibilityElement>(window, ax::parent),
              desktop.applicationElement(editorPid));
    EXPECT_EQ(desktop.copyAttribute(desktop.applicationElement(editorPid), ax::parent).status,
              AccessibilityStatus::noValue);
    // Children report where they are on screen and follow their window.
    EXPECT_EQ(readFrame(button), (Rect{200, 110, 30, 30}));
    desktop.setFrame(window, {0, 0, 800, 600});
    EXPECT_EQ(readFrame(button), (Rect{100, 10, 30, 30}));
    EXPECT_EQ(desktop.processId(button), editorPid);
}

TEST_F(SimDesktopTest, HitTestFindsTheDeepestElementOfTheFrontmostWindow) {
    const auto back = desktop.addWindow(editorPid, {0, 0, 600, 400});
    const auto front = desktop.addWindow(terminalPid, {300, 200, 600, 400});
    const auto closeButton = desktop.addCloseButton(front);

    EXPECT_EQ(hit({400, 300}), front);
    EXPECT_EQ(hit({100, 100}), back);
    EXPECT_EQ(hit({312, 210}), closeButton);
    // The right and bottom edges lie outside a window.
    EXPECT_FALSE(hit({600, 100}));
    EXPECT_EQ(hit({600, 250}), front);
    EXPECT_EQ(desktop.elementAtPosition({2000, 2000}).status, AccessibilityStatus::noValue);

    EXPECT_EQ(desktop.performAction(back, ax::raiseAction), AccessibilityStatus::success);
    EXPECT_EQ(hit({400, 300}), back);
    EXPECT_THAT(desktop.windowsFrontToBack(), ElementsAre(back, front));

    desktop.setOnScreen(back, false);
    EXPECT_EQ(hit({400, 300}), front);
}

TEST_F(SimDesktopTest, AWindowThatFailsHitTestsHidesTheWindowsBehindIt) {
    desktop.addWindow(editorPid, {0, 0, 600, 400});
    desktop.addWindow(
        terminalPid, {0, 0, 600, 400},
        SimWindowFaults{}.failingHitTest().withFailureStatus(AccessibilityStatus::cannotComplete));
    const auto result = desktop.elementAtPosition({100, 100});
    EXPECT_EQ(result.status, AccessibilityStatus::cannotComplete);
    EXPECT_FALSE(result.element);
}

TEST_F(SimDesktopTest, WellBehavedWindowTakesEveryFrameAndFullScreenWrite) {
    const auto window =
        desktop.addWindow(editorPid, {100, 100, 800, 600}, SimWindowOptions{}.inFullScreen());
    EXPECT_EQ(desktop.setAttribute(window, ax::position, Point{10, 20}),
              AccessibilityStatus::success);
    EXPECT_EQ(desktop.setAttribute(window, ax::size, Size{500, 300}), AccessibilityStatus::success);
    EXPECT_EQ(readFrame(window), (Rect{10, 20, 500, 300}));

    EXPECT_EQ(read<bool>(window, ax::fullScreen), true);
    EXPECT_EQ(desktop.setAttribute(window, ax::fullScreen, false), AccessibilityStatus::success);
    EXPECT_EQ(read<bool>(window, ax::fullScreen), false);
    EXPECT_EQ(readFrame(window), (Rect{10, 20, 500, 300}));
}

TEST_F(SimDesktopTest, MalformedWritesAreRejectedWithoutChangingTheWindow) {
    const auto window = desktop.addWindow(editorPid, {100, 100, 800, 600});
    const auto button = desktop.addCloseButton(window);
    const double nan = std::numeric_limits<double>::quiet_NaN();

    EXPECT_EQ(desktop.setAttribute(window, ax::position, Size{1, 2}),
              AccessibilityStatus::illegalArgument);
    EXPECT_EQ(desktop.setAttribute(window, ax::size, Size{nan, 10}),
              AccessibilityStatus::illegalArgument);
    EXPECT_EQ(desktop.setAttribute(window, ax::fullScreen, std::string("no")),
              AccessibilityStatus::illegalArgument);
    EXPECT_EQ(desktop.setAttribute(window, "AXTitle", std::string("x")),
              AccessibilityStatus::attributeUnsupported);
    EXPECT_EQ(desktop.setAttribute(button, ax::position, Point{0, 0}),
              AccessibilityStatus::attributeUnsupported);
    EXPECT_EQ(desktop.performAction(button, ax::raiseAction),
              AccessibilityStatus::actionUnsupported);
    EXPECT_EQ(desktop.copyAttribute(button, ax::fullScreen).status,
              AccessibilityStatus::attributeUnsupported);
    EXPECT_EQ(desktop.frame(window), (Rect{100, 100, 800, 600}));
}

TEST_F(SimDesktopTest, RefusedWritesFailAndLeaveTheWindowAlone) {
    const auto sizeOnly =
        desktop.addWindow(editorPid, {100, 100, 800, 600}, SimWindowFaults::onlySizeAccepted());
    EXPECT_EQ(desktop.setAttribute(sizeOnly, ax::position, Point{0, 0}),
              AccessibilityStatus::cannotComplete);
    EXPECT_EQ(desktop.setAttribute(sizeOnly, ax::size, Size{400, 300}),
              AccessibilityStatus::success);
    EXPECT_EQ(desktop.frame(sizeOnly), (Rect{100, 100, 400, 300}));

    const auto stubborn = desktop.addWindow(
        editorPid, {100, 100, 800, 600},
        SimWindowOptions{}.inFullScreen().withFaults(
            SimWindowFaults{}.refusingSize().refusingFullScreen().withFailureStatus(
                AccessibilityStatus::failure)));
    EXPECT_EQ(desktop.setAttribute(stubborn, ax::size, Size{400, 300}),
              AccessibilityStatus::failure);
    EXPECT_EQ(desktop.setAttribute(stubborn, ax::fullScreen, false), AccessibilityStatus::failure);
    EXPECT_EQ(desktop.frame(stubborn), (Rect{100, 100, 800, 600}));
    EXPECT_TRUE(desktop.isFullScreen(stubborn));
}

TEST_F(SimDesktopTest, SizeLimitsAndCellsChangeTheSizeButReportSuccess) {
    const auto window = desktop.addWindow(
        terminalPid, {0, 0, 800, 600},
        SimWindowFaults{}.withMinimumSize({300, 200}).withMaximumSize({1000, 700}));
    EXPECT_EQ(desktop.setAttribute(window, ax::size, Size{100, 900}), AccessibilityStatus::success);
    EXPECT_EQ(read<Size>(window, ax::size), (Size{300, 700}));

    const auto terminal =
        desktop.addWindow(terminalPid, {0, 0, 800, 600},
                          SimWindowFaults{}.withMinimumSize({70, 0}).withSizeIncrement({7, 16}));
    desktop.setAttribute(terminal, ax::size, Size{500, 333});
    EXPECT_EQ(read<Size>(terminal, ax::size), (Size{497, 320}));
    desktop.setAttribute(terminal, ax::size, Size{20, 5});
    EXPECT_EQ(read<Size>(terminal, ax::size), (Size{70, 0}));
}

TEST_F(SimDesktopTest, FailingFrameReadsStillLetTheWindowMove) {
    const auto window = desktop.addWindow(editorPid, {100, 100, 800, 600},
                                          SimWindowFaults{}.failingFrameReads().withFailureStatus(
                                              AccessibilityStatus::attributeUnsupported));
    EXPECT_EQ(desktop.copyAttribute(window, ax::position).status,
              AccessibilityStatus::attributeUnsupported);
    EXPECT_EQ(desktop.copyAttribute(window, ax::size).status,
              AccessibilityStatus::attributeUnsupported);
    EXPECT_EQ(read<std::string>(window, ax::role), "AXWindow");
    EXPECT_EQ(desktop.setAttribute(window, ax::position, Point{5, 5}),
              AccessibilityStatus::success);
    EXPECT_EQ(desktop.frame(window), (Rect{5, 5, 800, 600}));

    desktop.setFaults(window, {});
    EXPECT_EQ(readFrame(window), (Rect{5, 5, 800, 600}));
}

TEST_F(SimDesktopTest, OverriddenAttributesAnswerInsteadOfTheModel) {
    const auto window = desktop.addWindow(editorPid, {0, 0, 800, 600});
    const auto button = desktop.addCloseButton(window);
    desktop.overrideAttribute(button, std::string(ax::parent),
                              AttributeResult{AccessibilityStatus::success, std::string("odd")});
    EXPECT_EQ(read<std::string>(button, ax::parent), "odd");
    desktop.overrideAttribute(button, std::string(ax::parent), std::nullopt);
    EXPECT_EQ(read<AccessibilityElement>(button, ax::parent), window);
}

TEST_F(SimDesktopTest, ApplicationWindowAttributesFollowStackingUnlessPinned) {
    const auto app = desktop.applicationElement(editorPid);
    EXPECT_EQ(desktop.copyAttribute(app, ax::focusedWindow).status, AccessibilityStatus::noValue);
    EXPECT_THAT(*read<std::vector<AccessibilityElement>>(app, ax::windows), IsEmpty());

    const auto first = desktop.addWindow(editorPid, {0, 0, 400, 300});
    const auto second = desktop.addWindow(editorPid, {50, 50, 400, 300});
    desktop.addWindow(terminalPid, {0, 0, 400, 300});
    const auto minimized =
        desktop.addWindow(editorPid, {0, 0, 400, 300}, SimWindowOptions{}.offScreen());
    EXPECT_EQ(read<AccessibilityElement>(app, ax::focusedWindow), second);
    EXPECT_THAT(*read<std::vector<AccessibilityElement>>(app, ax::windows),
                ElementsAre(minimized, second, first));
    desktop.performAction(first, ax::raiseAction);
    EXPECT_EQ(read<AccessibilityElement>(app, ax::mainWindow), first);

    desktop.setFocusedWindow(editorPid, std::nullopt);
    desktop.setMainWindow(editorPid, second);
    desktop.setWindowsAttribute(editorPid, std::nullopt);
    EXPECT_EQ(desktop.copyAttribute(app, ax::focusedWindow).status, AccessibilityStatus::noValue);
    EXPECT_EQ(read<AccessibilityElement>(app, ax::mainWindow), second);
    EXPECT_EQ(desktop.copyAttribute(app, ax::windows).status, AccessibilityStatus::noValue);

    desktop.resetApplicationAttributes(editorPid);
    EXPECT_EQ(read<AccessibilityElement>(app, ax::focusedWindow), first);
}

TEST_F(SimDesktopTest, ClosedWindowFailsEveryCallAndVanishesEverywhere) {
    const auto behind = desktop.addWindow(editorPid, {0, 0, 800, 600});
    const auto window = desktop.addWindow(editorPid, {0, 0, 800, 600});
    const auto button = desktop.addCloseButton(window);
    desktop.setFocusedWindow(editorPid, window);
    const auto app = desktop.applicationElement(editorPid);

    desktop.closeWindow(window);
    for (const auto& element : {window, button}) {
        EXPECT_EQ(desktop.copyAttribute(element, ax::role).status,
                  AccessibilityStatus::invalidElement);
        EXPECT_EQ(desktop.setAttribute(element, ax::position, Point{1, 1}),
                  AccessibilityStatus::invalidElement);
        EXPECT_EQ(desktop.performAction(element, ax::raiseAction),
                  AccessibilityStatus::invalidElement);
        EXPECT_FALSE(desktop.processId(element));
    }
    EXPECT_EQ(hit({10, 10}), behind);
    EXPECT_EQ(desktop.copyAttribute(app, ax::focusedWindow).status, AccessibilityStatus::noValue);
    EXPECT_THAT(*read<std::vector<AccessibilityElement>>(app, ax::windows), ElementsAre(behind));
    EXPECT_THAT(desktop.onScreenWindows(),
                ElementsAre(WindowListEntry{editorPid, 0, {0, 0, 800, 600}}));
    // A new window never takes over the closed one's identity.
    EXPECT_NE(desktop.addWindow(editorPid, {0, 0, 800, 600}), window);
}

TEST_F(SimDesktopTest, QuitApplicationTakesItsElementsAndItsPlaceInFrontWithIt) {
    const auto window = desktop.addWindow(terminalPid, {0, 0, 800, 600});
    const auto other = desktop.addWindow(editorPid, {900, 0, 400, 300});
    const auto app = desktop.applicationElement(terminalPid);
    desktop.setFrontmostApplication(terminalPid);

    desktop.quitApplication(terminalPid);
    EXPECT_FALSE(desktop.runningApplication(terminalPid));
    EXPECT_FALSE(desktop.frontmostApplication());
    EXPECT_EQ(desktop.copyAttribute(window, ax::position).status,
              AccessibilityStatus::invalidElement);
    EXPECT_EQ(desktop.copyAttribute(app, ax::windows).status, AccessibilityStatus::invalidElement);
    EXPECT_EQ(desktop.elementAtPosition({10, 10}).status, AccessibilityStatus::noValue);
    EXPECT_THAT(desktop.windowsFrontToBack(), ElementsAre(other));
    EXPECT_TRUE(desktop.isAlive(other));
}

TEST_F(SimDesktopTest, UntrustedProcessGetsNothingButIsStillRecorded) {
    const auto window = desktop.addWindow(editorPid, {0, 0, 800, 600});
    desktop.setTrusted(false);

    EXPECT_FALSE(desktop.isProcessTrusted());
    EXPECT_FALSE(desktop.isProcessTrustedWithPrompt(false));
    EXPECT_EQ(desktop.copyAttribute(window, ax::role).status, AccessibilityStatus::apiDisabled);
    EXPECT_EQ(desktop.setAttribute(window, ax::position, Point{5, 5}),
              AccessibilityStatus::apiDisabled);
    EXPECT_EQ(desktop.performAction(window, ax::raiseAction), AccessibilityStatus::apiDisabled);
    EXPECT_EQ(desktop.elementAtPosition({10, 10}).status, AccessibilityStatus::apiDisabled);
    EXPECT_FALSE(desktop.processId(window));
    EXPECT_EQ(desktop.frame(window), (Rect{0, 0, 800, 600}));
    EXPECT_EQ(desktop.count(SimCallKind::trustCheck), 2u);
    EXPECT_EQ(desktop.calls()[1].value, std::optional<AttributeValue>(false));

    desktop.setTrusted(true);
    EXPECT_TRUE(desktop.isProcessTrusted());
    EXPECT_EQ(desktop.processId(window), editorPid);
}

TEST_F(SimDesktopTest, RecordsWritesInOrderWithTheirValuesAndOutcomes) {
    const auto window =
        desktop.addWindow(editorPid, {0, 0, 800, 600}, SimWindowFaults::onlySizeAccepted());
    const auto other = desktop.addWindow(terminalPid, {0, 0, 800, 600});
    desktop.performAction(window, ax::raiseAction);
    desktop.setAttribute(window, ax::position, Point{10, 20});
    desktop.copyAttribute(other, ax::size);
    desktop.setAttribute(window, ax::size, Size{300, 200});
    desktop.setAttribute(window, ax::position, Point{10, 20});
    desktop.beep();
    desktop.performAction(other, ax::raiseAction);

    EXPECT_THAT(desktop.writeNames(window),
                ElementsAre("AXRaise", "AXPosition", "AXSize", "AXPosition"));
    const auto writes = desktop.writesTo(window);
    EXPECT_EQ(writes[1].value, std::optional<AttributeValue>(Point{10, 20}));
    EXPECT_EQ(writes[1].status, AccessibilityStatus::cannotComplete);
    EXPECT_EQ(writes[2].status, AccessibilityStatus::success);
    EXPECT_EQ(desktop.count(SimCallKind::performAction, ax::raiseAction), 2u);
    EXPECT_EQ(desktop.beepCount(), 1u);
    EXPECT_EQ(desktop.callsOn(other).front().value, std::optional<AttributeValue>(Size{800, 600}));
    EXPECT_EQ(desktop.calls().size(), 7u);

    std::ostringstream printed;
    PrintTo(writes[1], &printed);
    EXPECT_EQ(printed.str(),
              "setAttribute #" + std::to_string(window.id) + " AXPosition (10, 20) -> -25204");

    desktop.clearCalls();
    EXPECT_THAT(desktop.calls(), IsEmpty());
    EXPECT_EQ(desktop.beepCount(), 0u);
}

TEST_F(SimDesktopTest, CallHookStagesChangesBetweenTwoCallsOfOneOperation) {
    const auto window = desktop.addWindow(editorPid, {0, 0, 800, 600});
    int hookRuns = 0;
    desktop.setCallHook([&](const SimCall& call) {
        ++hookRuns;
        if (call.kind == SimCallKind::setAttribute) {
            // Port calls from inside the hook are recorded but don't re-enter it.
            desktop.copyAttribute(window, ax::role);
            desktop.closeWindow(window);
        }
    });
    EXPECT_EQ(desktop.setAttribute(window, ax::size, Size{300, 200}), AccessibilityStatus::success);
    EXPECT_EQ(desktop.copyAttribute(window, ax::size).status, AccessibilityStatus::invalidElement);
    EXPECT_EQ(hookRuns, 2);
    EXPECT_EQ(desktop.calls().size(), 3u);
}

TEST_F(SimDesktopTest, WorkspaceReportsApplicationsActivationAndWindowList) {
    EXPECT_EQ(
        desktop.runningApplication(terminalPid),
        (RunningApplication{terminalPid, std::nullopt, "Terminal", ActivationPolicy::regular}));
    desktop.addApplication(404, "com.example.agent", "Agent", ActivationPolicy::accessory);
    EXPECT_EQ(desktop.runningApplication(404)->activationPolicy, ActivationPolicy::accessory);

    std::vector<ProcessId> activated;
    auto connection =
        desktop.onDidActivateApplication([&](ProcessId p) { activated.push_back(p); });
    desktop.setFrontmostApplication(editorPid);
    EXPECT_EQ(desktop.frontmostApplication(), editorPid);
    EXPECT_THAT(activated, IsEmpty());
    desktop.activateApplication(terminalPid);
    desktop.activateApplication(terminalPid);
    EXPECT_EQ(desktop.frontmostApplication(), terminalPid);
    EXPECT_THAT(activated, ElementsAre(terminalPid, terminalPid));

    const auto back = desktop.addWindow(editorPid, {0, 0, 100, 100});
    desktop.addWindow(404, {10, 0, 50, 25}, SimWindowOptions{}.onLayer(25));
    desktop.addWindow(terminalPid, {5, 5, 100, 100}, SimWindowOptions{}.offScreen());
    desktop.bringToFront(back);
    EXPECT_THAT(desktop.onScreenWindows(),
                ElementsAre(WindowListEntry{editorPid, 0, {0, 0, 100, 100}},
                            WindowListEntry{404, 25, {10, 0, 50, 25}}));
    desktop.sendToBack(back);
    EXPECT_EQ(desktop.onScreenWindows().back().ownerPID, editorPid);

    EXPECT_TRUE(desktop.openURL("x-settings:privacy"));
    desktop.setOpenURLResult(false);
    EXPECT_FALSE(desktop.openURL("x-unknown:"));
    EXPECT_THAT(desktop.openedURLs(), ElementsAre("x-settings:privacy", "x-unknown:"));
    desktop.revealInFileBrowser({"/tmp/a.json"});
    EXPECT_EQ(desktop.calls().back().items, std::vector<std::filesystem::path>{"/tmp/a.json"});
}

TEST_F(SimDesktopTest, TestSideMisuseIsReportedLoudly) {
    EXPECT_THROW(desktop.addApplication(editorPid, std::nullopt, "Twice"), std::invalid_argument);
    EXPECT_THROW(desktop.addWindow(999, {0, 0, 10, 10}), std::invalid_argument);
    const auto window = desktop.addWindow(editorPid, {0, 0, 10, 10});
    desktop.closeWindow(window);
    EXPECT_THROW(desktop.setFrame(window, {0, 0, 5, 5}), std::invalid_argument);
    EXPECT_THROW(desktop.addCloseButton(window), std::invalid_argument);
}

TEST(SimDesktopDisplaysTest, DisplayFramesConvertToWindowCoordinates) {
    SimDesktop negative(simscreens::negativeOrigin());
    EXPECT_EQ(negative.topLeftFrame(1), (Rect{-1920, -180, 1920, 1080}));
    EXPECT_EQ(negative.topLeftVisibleFrame(0), (Rect{0, 25, 1440, 875}));

    SimDesktop stacked(simscreens::stacked());
    EXPECT_EQ(stacked.topLeftFrame(1), (Rect{0, -1080, 1920, 1080}));

    stacked.setPointerTopLeft({100, -500});
    EXPECT_EQ(stacked.displays().mouseLocation(), (Point{100, 1400}));
}

} // namespace
} // namespace tessera
