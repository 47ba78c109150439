#include "PlacementTestSupport.h"
#include "TempDir.h"

#include "core/app/Preferences.h"
#include "core/placement/AccessibilityWindowMover.h"
#include "core/placement/ZoneMemory.h"
#include "core/store/LayoutStore.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimScheduler.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace tessera;
using placementtest::zone;

namespace fs = std::filesystem;

namespace {

constexpr ProcessId editor = 501;
constexpr ProcessId viewer = 502;
const Rect elsewhere{10, 10, 400, 300};

class ZoneMemoryTest : public ::testing::Test {
protected:
    ZoneMemoryTest() {
        registerPreferenceDefaults(defaults);
        desktop.displays().setScreens(simscreens::sideBySide());
        store.upsert(layout);
        store.assign(layout.id, makeScreenInfo(external()));
        desktop.addApplication(editor, "org.example.Editor", "Editor");
        desktop.addApplication(viewer, "org.example.Viewer", "Viewer");
        start();
    }
    void start() {
        memory.reset();
        memory =
            std::make_unique<ZoneMemory>(ZoneMemoryContext{desktop, desktop, desktop.displays(),
                                                           defaults, scheduler, log, store, mover},
                                         file);
        memory->start();
    }
    static SystemDisplay external() { return simscreens::sideBySide()[1]; }
    AccessibilityElement open(ProcessId process, std::string title, std::string role = {}) {
        const auto window = desktop.addWindow(
            process, elsewhere, SimWindowOptions{}.titled(std::move(title)).ofClass("Ed", role));
        scheduler.runPending();
        return window;
    }
    void place(const AccessibilityElement& window, std::size_t index) {
        mover.placeInZone(window, layout.zones[index], external());
    }
    bool inZone(const AccessibilityElement& window, std::size_t index) {
        const auto& current = store.layouts();
        const auto now = std::find_if(current.begin(), current.end(),
                                      [&](const Layout& l) { return l.id == layout.id; });
        return framesMatch(*desktop.frame(window),
                           mover.zoneWindowFrame(now->zones[index], external()));
    }
    void setDisplays(std::vector<SystemDisplay> screens) {
        desktop.displays().setScreens(std::move(screens));
        scheduler.runPending();
    }

    test::TempDir temp{"tessera-zonememory"};
    fs::path file = temp / "state" / "Tessera" / "windows.json";
    SimDesktop desktop;
    SimDefaults defaults;
    SimScheduler scheduler;
    SimLog log;
    LayoutStore store{temp / "layouts.json"};
    AccessibilityWindowMover mover{desktop, desktop, desktop.displays(), defaults};
    Layout layout{Uuid::random(),
                  "Thirds",
                  {zone(0, 0, 0.3, 1, "A"), zone(0.3, 0, 0.3, 1, "B"), zone(0.6, 0, 0.4, 1, "C")}};
    std::unique_ptr<ZoneMemory> memory;
};

TEST_F(ZoneMemoryTest, ADisplayThatComesBackGetsItsWindowsBackAsItsLayoutNowHasThem) {
    const auto moved = open(editor, "moved");
    const auto deleted = open(editor, "deleted zone");
    const auto ignored = open(viewer, "ignored");
    const auto stays = open(editor, "on the display that stays");
    place(moved, 0);
    place(deleted, 1);
    place(ignored, 2);
    const auto builtIn = simscreens::sideBySide()[0];
    mover.placeInZone(stays, store.layoutFor(makeScreenInfo(builtIn)).zones[0], builtIn);
    ASSERT_EQ(memory->windows().size(), 4u);

    // Meanwhile zone A grows, zone B goes and the viewer is ignored.
    auto edited = layout;
    edited.zones[0].width = 0.5;
    edited.zones.erase(edited.zones.begin() + 1);
    store.upsert(edited);
    setIgnoredApps(defaults, {"org.example.Viewer"});
    setDisplays({simscreens::sideBySide()[0]});
    for (const auto& window : {moved, deleted, ignored, stays}) {
        desktop.setFrame(window, elsewhere);
    }
    setDisplays(simscreens::sideBySide());

    EXPECT_TRUE(inZone(moved, 0));
    EXPECT_EQ(desktop.frame(deleted), elsewhere);
    EXPECT_EQ(desktop.frame(ignored), elsewhere);
    EXPECT_EQ(desktop.frame(stays), elsewhere) << "its display never left";

    // The window manager may move a window away before the display's report comes: that
    // move is not the user's.
    desktop.setFrame(moved, elsewhere);
    setDisplays({simscreens::sideBySide()[0]});
    scheduler.advance(moveSettleSeconds);
    setDisplays(simscreens::sideBySide());
    EXPECT_TRUE(inZone(moved, 0));

    // Displays that change without one coming back, or with the switch off, move nothing.
    desktop.setFrame(moved, elsewhere);
    setDisplays(simscreens::sideBySide());
    defaults.set(prefs::returnToZonesOnReconnect, DefaultsValue{false});
    setDisplays({simscreens::sideBySide()[0]});
    setDisplays(simscreens::sideBySide());
    EXPECT_EQ(desktop.frame(moved), elsewhere);
}

TEST_F(ZoneMemoryTest, AReopenedWindowOpensInItsZoneOnlyWhenAskedAndOnlyWhenPlacedBefore) {
    const auto first = open(editor, "Notes", "main");
    place(first, 2);
    const auto byTitle = open(editor, "Report");
    place(byTitle, 1);
    desktop.closeWindow(first);
    desktop.closeWindow(byTitle);

    EXPECT_EQ(desktop.frame(open(editor, "Notes", "main")), elsewhere) << "the switch is off";
    defaults.set(prefs::openInLastZone, DefaultsValue{true});
    start(); // a later run, from the file
    EXPECT_TRUE(inZone(open(editor, "Other title", "main"), 2)) << "same class and role";
    EXPECT_EQ(desktop.frame(open(editor, "Notes", "main")), elsewhere) << "already open";
    EXPECT_EQ(desktop.frame(open(editor, "Never placed", "dialog")), elsewhere);
    EXPECT_EQ(desktop.frame(open(viewer, "Report")), elsewhere) << "another application";
    setIgnoredApps(defaults, {"org.example.Editor"});
    EXPECT_EQ(desktop.frame(open(editor, "Report")), elsewhere) << "ignored";
    setIgnoredApps(defaults, {});
    EXPECT_TRUE(inZone(open(editor, "Report"), 1)) << "no role: same title";
    EXPECT_EQ(memory->windows().size(), 2u) << "each record taken by the window that reopened";
}

TEST_F(ZoneMemoryTest, AWindowTakenOutOfItsZoneIsForgottenAndAClosedOneIsKept) {
    const auto byHand = open(editor, "by hand");
    const auto draggedOut = open(editor, "dragged out");
    const auto filled = open(editor, "filled");
    const auto closed = open(editor, "closed");
    const auto byKeys = open(editor, "moved with the window manager's keys");
    const auto nudged = open(editor, "nudged");
    for (const auto& window : {byHand, draggedOut, filled, closed, byKeys, nudged}) {
        place(window, 0);
    }
    mover.windowMovedByHand(byHand);
    mover.restoreSizeAfterDragOut(draggedOut, desktop.frame(draggedOut));
    desktop.activateApplication(editor);
    desktop.bringToFront(filled);
    mover.fillScreen(0, std::nullopt);
    desktop.closeWindow(closed);
    desktop.setFrame(byKeys, elsewhere);
    // A few points off, or at its corner with another size, it is still in its zone.
    auto slightly = *desktop.frame(nudged);
    slightly.origin.x += 4;
    slightly.size.width += 300;
    desktop.setFrame(nudged, slightly);
    scheduler.advance(moveSettleSeconds);

    ASSERT_EQ(memory->windows().size(), 2u);
    EXPECT_EQ(memory->windows()[0].identity.title, "closed");
    EXPECT_EQ(memory->windows()[1].identity.title, "nudged");
    EXPECT_EQ(memory->windows()[0].layoutID, layout.id);
    start();
    EXPECT_EQ(memory->windows().size(), 2u) << "as written";
}

TEST_F(ZoneMemoryTest, AnUnreadableFileIsKeptAsACopyAndTheMemoryStartsEmpty) {
    const std::string valid = R"({"version": 1, "windows": [{"application": "a", "class": "",
        "role": "", "title": "", "screen": "s", "layout": "%", "zone": "%"}]})";
    const auto withIDs = [&](std::string text) {
        for (auto at = text.find('%'); at != std::string::npos; at = text.find('%')) {
            text.replace(at, 1, Uuid::random().string());
        }
        return text;
    };
    ASSERT_TRUE(decodeRememberedWindows(withIDs(valid))) << decodeRememberedWindows(valid).error;
    for (const auto& bad : {std::string("not json"), withIDs(R"({"version": 2, "windows": []})"),
                            withIDs(valid.substr(0, valid.find("\"layout\""))) + "\"zone\": 1}]}",
                            std::string(maximumWindowsFileBytes + 1, ' ')}) {
        SCOPED_TRACE(bad.substr(0, 60));
        fs::remove_all(file.parent_path());
        test::writeTestFile(file, bad);
        start();
        EXPECT_TRUE(memory->windows().empty());
        ASSERT_TRUE(memory->keptCopy());
        EXPECT_EQ(test::readTestFile(*memory->keptCopy()), bad);
        place(open(editor, "after"), 0);
        EXPECT_TRUE(decodeRememberedWindows(test::readTestFile(file)));
    }

    // The file keeps the most recent windows only.
    std::vector<RememberedWindow> many(maximumRememberedWindows + 5,
                                       {"app", {}, "s", Uuid::random(), Uuid::random()});
    many.back().application = std::string(5000, 'x');
    const auto kept = decodeRememberedWindows(encodeRememberedWindows(many));
    ASSERT_TRUE(kept) << kept.error;
    EXPECT_EQ(kept.value->size(), maximumRememberedWindows);
    EXPECT_EQ(kept.value->back().application.size(), maximumRememberedTextBytes);
}

} // namespace
