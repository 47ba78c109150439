#include "PlacementTestSupport.h"
#include "TempDir.h"

#include "core/hotkeys/HotkeyCenter.h"
#include "core/placement/AccessibilityWindowMover.h"
#include "core/placement/CommandShortcuts.h"
#include "core/store/LayoutStore.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimHotkeys.h"
#include "platform/sim/SimLocalizer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace tessera;
using placementtest::sameFrame;
using placementtest::zone;

namespace {
using IDs = std::vector<std::uint32_t>;

constexpr ProcessId tesseraProcess = 42;
constexpr ProcessId editor = 501;
constexpr ProcessId browser = 502;

constexpr std::uint32_t ctrlOption = carbon::controlKey | carbon::optionKey;
constexpr std::uint32_t base = HotkeyCenter::commandIDBase;

KeyCombo combo(std::uint32_t keyCode, std::uint32_t modifiers = ctrlOption) {
    return {keyCode, modifiers, "combo " + std::to_string(keyCode)};
}

Zone withShortcut(Zone z, std::optional<KeyCombo> shortcut) {
    z.shortcut = std::move(shortcut);
    return z;
}

IDs commandIDs() {
    IDs ids;
    for (std::uint32_t index = 0; index < allWindowCommands.size(); ++index) {
        ids.push_back(base + index);
    }
    return ids;
}

IDs concat(IDs a, const IDs& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Three 1920 × 1080 displays in a row, A (primary) | B | C, names distinct so each has its own
// assignment. No size here has a default assignment: an unassigned display shows the store's
// first layout.
std::vector<SystemDisplay> threeDisplays() {
    return {simscreens::display({0, 0, 1920, 1080}, "A", 1, 25, 0),
            simscreens::display({1920, 0, 1920, 1080}, "B", 1, 0, 0),
            simscreens::display({3840, 0, 1920, 1080}, "C", 1, 0, 0)};
}

class HotkeyCenterTest : public ::testing::Test {
protected:
    void SetUp() override {
        desktop.addApplication(editor, "com.example.editor", "Editor");
        desktop.addApplication(browser, "com.example.browser", "Browser");
        desktop.setFrontmostApplication(editor);
    }

    HotkeyCenter& makeCenter() {
        center.emplace(dispatcher, store, mover, desktop, desktop, desktop.displays(), defaults,
                       localizer, tesseraProcess);
        center->setPreferredForeignPID([this] { return preferred; });
        center->installHandler();
        return *center;
    }

    // A new layout in the store; optionally shown on some displays.
    Layout addLayout(std::vector<Zone> zones, const std::vector<std::size_t>& shownOn = {}) {
        Layout layout{Uuid::random(), "Layout " + std::to_string(store.layouts().size()),
                      std::move(zones)};
        store.upsert(layout);
        for (const auto index : shownOn) {
            store.assign(layout.id, makeScreenInfo(screen(index)));
        }
        return layout;
    }

    SystemDisplay screen(std::size_t index) const { return desktop.displays().screens().at(index); }
    // The pointer in the middle of a display.
    void pointerOn(std::size_t index) {
        const auto frame = screen(index).frame;
        desktop.displays().setMouseLocation(
            {frame.minX() + frame.width() / 2, frame.minY() + frame.height() / 2});
    }
    Rect frameOf(const Zone& z, std::size_t index) const {
        return mover.zoneWindowFrame(z, screen(index));
    }
    Rect frameOfWindow(const AccessibilityElement& w) const { return desktop.frame(w).value(); }
    bool press(const KeyCombo& c) { return hotkeys.press(c.keyCode, c.carbonModifiers); }
    bool press(WindowCommand command) {
        return hotkeys.press(info(command).defaultKeyCode, info(command).defaultCarbonModifiers);
    }

    test::TempDir temp{"tessera-hotkeys"};
    SimHotkeys hotkeys;
    HotkeyDispatcher dispatcher{hotkeys};
    LayoutStore store{temp / "layouts.json"};
    SimDesktop desktop{threeDisplays()};
    SimDefaults defaults;
    TableLocalizer localizer = makeSimLocalizer();
    AccessibilityWindowMover mover{desktop, desktop, desktop.displays(), defaults};
    std::optional<ProcessId> preferred;
    std::optional<HotkeyCenter> center;

    const Rect start{100, 125, 400, 300};
};

TEST_F(HotkeyCenterTest, ZonesInStoreOrderThenTheSevenCommands) {
    // The second layout is shown nowhere: its zones still get hotkeys. A refused zone consumes
    // no id, and of two zones with one shortcut the first keeps it.
    const auto first = addLayout({withShortcut(zone(0, 0, 0.5, 1), combo(18)), zone(0.5, 0, 0.5, 1),
                                  withShortcut(zone(0, 0, 0.3, 1), combo(21)),
                                  withShortcut(zone(0, 0, 1, 1), combo(19))},
                                 {0});
    const auto second = addLayout(
        {withShortcut(zone(0, 0, 1, 1), combo(20)), withShortcut(zone(0.5, 0, 0.5, 1), combo(18))});
    hotkeys.markTakenByOtherApplication(21, ctrlOption);
    auto& c = makeCenter();
    c.registerAll();

    EXPECT_EQ(hotkeys.registeredIDs(), concat({1, 2, 3}, commandIDs()));
    using T = HotkeyCenter::ZoneTarget;
    const std::map<std::uint32_t, T> zones{{1, T{first.id, first.zones[0].id}},
                                           {2, T{first.id, first.zones[3].id}},
                                           {3, T{second.id, second.zones[0].id}}};
    EXPECT_EQ(c.zoneHotkeys(), zones);
    EXPECT_EQ(hotkeys.registeredID(20, ctrlOption)->id, 3u);
    // Each command under its default combination.
    for (const auto command : allWindowCommands) {
        EXPECT_TRUE(hotkeys.registeredID(info(command).defaultKeyCode,
                                         info(command).defaultCarbonModifiers));
    }
}

TEST_F(HotkeyCenterTest, CommandsFollowTheirStoredShortcutsAndYieldToAZone) {
    // Removed by the user, undecodable, and replaced by another combination.
    ASSERT_TRUE(setShortcut(WindowCommand::zoneUp, std::nullopt, defaults));
    defaults.set("shortcut.zoneDown", Bytes{'n', 'o', 'p', 'e'});
    ASSERT_TRUE(setShortcut(WindowCommand::nextDisplay, combo(45, carbon::cmdKey), defaults));
    // A zone with Fill Screen's combination keeps it, and the command goes without.
    const auto fill = info(WindowCommand::fillScreen);
    const auto layout = addLayout(
        {withShortcut(zone(0, 0, 0.5, 1), combo(fill.defaultKeyCode, fill.defaultCarbonModifiers))},
        {0});
    auto& c = makeCenter();
    c.registerAll();
    EXPECT_EQ(hotkeys.registeredIDs(), (IDs{1, base + 1, base + 2, base + 5, base + 6}));
    EXPECT_EQ(hotkeys.registeredID(45, carbon::cmdKey)->id, base + 6);
    const auto next = info(WindowCommand::nextDisplay);
    EXPECT_FALSE(hotkeys.registeredID(next.defaultKeyCode, next.defaultCarbonModifiers));

    // The press places the window into the zone rather than filling the display.
    const auto w = desktop.addWindow(editor, start);
    pointerOn(0);
    EXPECT_TRUE(press(WindowCommand::fillScreen));
    EXPECT_TRUE(sameFrame(frameOfWindow(w), frameOf(layout.zones[0], 0)));

    // Without a stored record the default comes back at the next registration.
    defaults.remove("shortcut.zoneUp");
    c.registerAll();
    EXPECT_EQ(hotkeys.registeredIDs(), (IDs{1, base + 1, base + 2, base + 3, base + 5, base + 6}));
}

TEST_F(HotkeyCenterTest, RegisteringAgainReplacesEverythingAndUnregisteringOrSuspendingFreesAll) {
    const auto layout = addLayout({withShortcut(zone(0, 0, 0.5, 1), combo(18)),
                                   withShortcut(zone(0.5, 0, 0.5, 1), combo(19))});
    auto& c = makeCenter();
    c.registerAll();

    // The first zone loses its shortcut: the second now has id 1. Our own earlier
    // registrations are gone before the new ones, so nothing is refused.
    auto changed = layout;
    changed.zones[0].shortcut.reset();
    store.upsert(changed);
    c.registerAll();
    EXPECT_EQ(hotkeys.unregisterCount(), 9u);
    EXPECT_EQ(hotkeys.registeredIDs(), concat({1}, commandIDs()));
    EXPECT_EQ(c.zoneHotkeys().at(1).zoneID, layout.zones[1].id);
    EXPECT_FALSE(hotkeys.registeredID(18, ctrlOption));

    c.unregisterAll();
    c.unregisterAll();
    EXPECT_TRUE(hotkeys.registrations().empty());
    EXPECT_EQ(hotkeys.unregisterCount(), 17u);
    EXPECT_TRUE(c.zoneHotkeys().empty());
    EXPECT_FALSE(press(combo(19)));
}

TEST_F(HotkeyCenterTest, ShortcutsAnotherProgramHoldsAreToldApartFromOurOwnContests) {
    const auto held = combo(18);
    // The first zone's keys are another program's; the second and third zones contest keys
    // among themselves, which the second keeps. Next Display shares the held keys.
    const auto layout = addLayout({withShortcut(zone(0, 0, 0.3, 1), held),
                                   withShortcut(zone(0.3, 0, 0.3, 1), combo(19)),
                                   withShortcut(zone(0.6, 0, 0.4, 1), combo(19))});
    ASSERT_TRUE(setShortcut(WindowCommand::nextDisplay, held, defaults));
    const auto left = info(WindowCommand::zoneLeft);
    hotkeys.markTakenByOtherApplication(18, ctrlOption);
    hotkeys.markTakenByOtherApplication(left.defaultKeyCode, left.defaultCarbonModifiers);
    auto& c = makeCenter();
    int announced = 0;
    const auto watch = c.onHeldElsewhereWillChange([&] { ++announced; });
    const auto heldNow = [&] {
        return std::pair{c.heldElsewhere().commands, c.heldElsewhere().zones};
    };
    using Held = std::pair<std::vector<WindowCommand>, std::vector<ZoneHotkeyTarget>>;

    c.registerAll();
    EXPECT_EQ(announced, 1);
    EXPECT_EQ(heldNow(), (Held{{WindowCommand::zoneLeft, WindowCommand::nextDisplay},
                               {{layout.id, layout.zones[0].id}}}));
    EXPECT_FALSE(c.heldElsewhere().holdsZone(layout.id, layout.zones[2].id));

    // Once the other program lets go, the first zone gets the keys and Next Display loses them
    // to it: our own contest, not another program's.
    hotkeys.releaseFromOtherApplication(18, ctrlOption);
    c.setSuspended(false);
    c.registerAll();
    EXPECT_EQ(announced, 2);
    EXPECT_EQ(heldNow(), (Held{{WindowCommand::zoneLeft}, {}}));

    hotkeys.releaseFromOtherApplication(left.defaultKeyCode, left.defaultCarbonModifiers);
    c.registerAll();
    EXPECT_TRUE(c.heldElsewhere().empty());
    EXPECT_TRUE(c.heldElsewhere().combinations.empty());
    // Another refusal than "taken" says nothing about other programs.
    hotkeys.failNextRegistration(HotkeyStatus::invalid);
    c.registerAll();
    EXPECT_TRUE(c.heldElsewhere().empty());
}

TEST_F(HotkeyCenterTest, OnlyTheNewestLiveCenterIsReachedAndAGoneZoneOrLayoutDoesNothing) {
    auto layout = addLayout({withShortcut(zone(0, 0, 0.5, 1), combo(18)),
                             withShortcut(zone(0.5, 0, 0.5, 1), combo(19))},
                            {0});
    const auto w = desktop.addWindow(editor, start);
    pointerOn(0);
    makeCenter().registerAll();
    center.reset();
    // Dropping a center gives its combinations back.
    EXPECT_TRUE(hotkeys.registrations().empty());
    EXPECT_FALSE(dispatcher.hasTarget());
    // Another registration under the dropped center's zone id: the press must reach nobody.
    const auto stray = hotkeys.registerHotkey(18, ctrlOption, HotkeyID{hotkeySignature, 1});
    ASSERT_TRUE(stray.registered());
    EXPECT_TRUE(press(combo(18)));
    EXPECT_EQ(frameOfWindow(w), start);
    hotkeys.unregisterHotkey(*stray.ref);

    // The handler is installed once.
    std::optional<HotkeyCenter> older;
    older.emplace(dispatcher, store, mover, desktop, desktop, desktop.displays(), defaults,
                  localizer, tesseraProcess);
    older->installHandler();
    older->unregisterAll();
    makeCenter().registerAll();
    older.reset();
    EXPECT_EQ(hotkeys.installCount(), 1u);
    EXPECT_TRUE(press(combo(18)));
    EXPECT_TRUE(sameFrame(frameOfWindow(w), frameOf(layout.zones[0], 0)));

    // Changed behind the center's back, without registering again.
    layout.zones.erase(layout.zones.begin());
    store.upsert(layout);
    desktop.clearCalls();
    ASSERT_TRUE(press(combo(18)));
    EXPECT_TRUE(desktop.writesTo(w).empty());
    store.deleteLayout(layout.id);
    ASSERT_TRUE(press(combo(19)));
    EXPECT_TRUE(desktop.writesTo(w).empty());
}

// A zone shortcut acts on the display under the pointer when that display shows the zone's
// layout, else on the first that does, else on the first display.
TEST_F(HotkeyCenterTest, AZoneShortcutGoesToThePointersDisplayIfItShowsTheLayout) {
    // L on A and B, M on C, N nowhere; the window starts on C, which must play no part.
    const auto shown = addLayout({withShortcut(zone(0, 0, 0.5, 1), combo(18))}, {0, 1});
    addLayout({zone(0, 0, 1, 1)}, {2});
    const auto hidden = addLayout({withShortcut(zone(0.5, 0, 0.5, 0.5), combo(19))});
    const auto window = desktop.addWindow(editor, {3900, 100, 400, 300});
    makeCenter().registerAll();
    struct Case {
        Point pointer;
        std::uint32_t key; // 18: shown on A and B; 19: shown nowhere
        std::size_t display;
    };
    const Case cases[] = {
        {{2880, 540}, 18, 1},
        {{4800, 540}, 18, 0},
        {{2880, 540}, 19, 1},
        // Outside every display: the first; a shared edge belongs to the display on its right.
        {{100, 5000}, 19, 0},
        {{100, 5000}, 18, 0},
        {{1920, 500}, 19, 1},
        {{5760, 500}, 19, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.pointer.x) + ", " + std::to_string(c.key));
        desktop.displays().setMouseLocation(c.pointer);
        ASSERT_TRUE(press(combo(c.key)));
        EXPECT_TRUE(sameFrame(frameOfWindow(window),
                              frameOf((c.key == 18 ? shown : hidden).zones[0], c.display)));
    }

    // C loses its assignment and falls back to the first layout, which gets a shortcut.
    auto first = store.layouts().front();
    first.zones.at(0).shortcut = combo(20);
    store.upsert(first);
    auto assignments = store.payload();
    assignments.assignments.erase(LayoutStore::assignmentKey(makeScreenInfo(screen(2))));
    store.apply(assignments);
    center->registerAll();
    pointerOn(1);
    ASSERT_TRUE(press(combo(20)));
    EXPECT_TRUE(sameFrame(frameOfWindow(window), frameOf(first.zones[0], 2)));

    // With no display at all, nothing moves.
    desktop.displays().setScreens({});
    desktop.clearCalls();
    ASSERT_TRUE(press(combo(18)));
    EXPECT_TRUE(desktop.writesTo(window).empty());
}

} // namespace
