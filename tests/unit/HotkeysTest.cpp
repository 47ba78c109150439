// The hotkeys: the centre that registers zone and command shortcuts and acts on a press, the
// recorder that takes a new combination, and the command shortcuts as stored and shown.

#include "PlacementTestSupport.h"
#include "TempDir.h"

#include "core/app/Preferences.h"
#include "core/hotkeys/CommandShortcutsSection.h"
#include "core/hotkeys/HotkeyCenter.h"
#include "core/hotkeys/KeyCombos.h"
#include "core/hotkeys/ShortcutRecorder.h"
#include "core/placement/AccessibilityWindowMover.h"
#include "core/placement/CommandShortcuts.h"
#include "core/store/LayoutStore.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimHotkeys.h"
#include "platform/sim/SimInputEvents.h"
#include "platform/sim/SimLocalizer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace tessera;
using placementtest::sameFrame;
using placementtest::zone;

namespace {
// macOS virtual key codes used by the tests.
namespace key {
constexpr std::uint16_t a = 0;
constexpr std::uint16_t z = 6;
constexpr std::uint16_t k = 40;
constexpr std::uint16_t escape = SimInputEvents::escapeKeyCode;
constexpr std::uint16_t rightCommand = 54;
constexpr std::uint16_t function = 63;
constexpr std::uint16_t left = 123;
constexpr std::uint16_t right = 124;
} // namespace key

// Raw flag values as a key event delivers them, written out rather than taken from the code
// under test: the shortcut's four, and three that fall outside it.
namespace flag {
constexpr std::uint64_t capsLock = 0x10000;
constexpr std::uint64_t shift = 0x20000;
constexpr std::uint64_t control = 0x40000;
constexpr std::uint64_t option = 0x80000;
constexpr std::uint64_t command = 0x100000;
constexpr std::uint64_t numericPad = 0x200000;
constexpr std::uint64_t function = 0x800000;
} // namespace flag

struct HotkeyDesktop {
    explicit HotkeyDesktop(std::vector<SystemDisplay> displays = simscreens::single())
        : desktop(std::move(displays)) {
        input.setTarget(SimEventTarget::ownWindow);
        input.setDelivery(SimDelivery::monitorOnly);
    }

    // What the recorder sees of the application state: the center while one exists.
    HotkeyCenterAccess access() {
        return [this] { return center.get(); };
    }

    HotkeyCenter& makeCenter() {
        center = std::make_unique<HotkeyCenter>(dispatcher, store, mover, desktop, desktop,
                                                desktop.displays(), defaults, localizer, 42);
        center->installHandler();
        return *center;
    }

    bool registered(std::uint32_t keyCode, std::uint32_t carbonModifiers) const {
        return hotkeys.registeredID(keyCode, carbonModifiers).has_value();
    }

    test::TempDir dir{"tessera-recorder"};
    TableLocalizer localizer = makeSimLocalizer("en");
    SimDefaults defaults;
    SimDesktop desktop;
    SimInputEvents input{desktop.displays()};
    SimHotkeys hotkeys;
    HotkeyDispatcher dispatcher{hotkeys};
    LayoutStore store{dir / "layouts.json"};
    AccessibilityWindowMover mover{desktop, desktop, desktop.displays(), defaults};
    std::unique_ptr<HotkeyCenter> center;
};

// The caller's side of a binding: the value, and every write made to it.
struct Owner {
    ShortcutBinding binding() {
        return {[this] { return value; },
                [this](const std::optional<KeyCombo>& combo) {
                    value = combo;
                    writes.push_back(combo);
                    if (afterWrite) {
                        afterWrite();
                    }
                }};
    }

    std::optional<KeyCombo> value;
    std::vector<std::optional<KeyCombo>> writes;
    std::function<void()> afterWrite;
};

class ShortcutRecorderTest : public ::testing::Test {
protected:
    std::unique_ptr<ShortcutRecorder> makeRecorder() {
        return std::make_unique<ShortcutRecorder>(env.input, owner.binding(), env.access(),
                                                  env.localizer, nullptr);
    }

    // Presses a key while the recorder listens; the press must never reach the window.
    void press(std::uint16_t keyCode, std::uint64_t flags = 0) {
        EXPECT_TRUE(env.input.keyDown(keyCode, flags))
            << "key " << keyCode << " reached the window";
    }

    HotkeyDesktop env;
    Owner owner;
};

TEST_F(ShortcutRecorderTest,
       ModifierKeysAloneKeepListeningUntilAKeyCompletesItAndEscapeKeepsTheValue) {
    auto recorder = makeRecorder();
    std::vector<bool> seen;
    const auto connection = recorder->onChange([&] { seen.push_back(recorder->isListening()); });
    recorder->click();
    // Every modifier key code (Caps Lock among them), with or without flags, is ignored; the
    // flags held in any order make the same shortcut.
    for (std::uint16_t code = key::rightCommand; code <= key::function; ++code) {
        press(code);
        press(code, flag::shift);
    }
    EXPECT_TRUE(recorder->isListening());
    EXPECT_TRUE(owner.writes.empty());
    press(key::z, flag::command | flag::shift | flag::control | flag::option);
    EXPECT_FALSE(recorder->isListening());
    EXPECT_EQ(owner.value, (KeyCombo{key::z, 0x1B00, "⌃⌥⇧⌘Z"}));
    EXPECT_EQ(seen, (std::vector<bool>{true, false}));

    // Caps Lock and Fn never count.
    recorder->click();
    press(key::a, flag::capsLock | flag::shift | flag::function);
    const KeyCombo shiftA{key::a, 0x200, "⇧A"};
    EXPECT_EQ(owner.value, shiftA);
    // Escape, whatever modifiers come with it, stops and keeps the value.
    recorder->click();
    press(key::escape, flag::command);
    EXPECT_FALSE(recorder->isListening());
    EXPECT_EQ(owner.value, shiftA);
    EXPECT_EQ(owner.writes.size(), 2u);
}

TEST_F(ShortcutRecorderTest, EveryWayOfStoppingResumesTheHotkeyCenter) {
    // Recording works without a center; one that appears or goes while listening is taken as
    // it is found.
    auto recorder = makeRecorder();
    recorder->click();
    env.makeCenter().registerAll();
    recorder->click();
    EXPECT_FALSE(env.center->isSuspended());
    const auto registeredCount = env.hotkeys.registrations().size();
    ASSERT_GT(registeredCount, 0u);

    const std::vector<std::function<void()>> stops{
        [&] { recorder->click(); },
        [&] { press(key::escape); },
        [&] { press(key::k); },
        [&] { recorder.reset(); },
        // The owner may destroy the recorder when it stores.
        [&] {
            owner.afterWrite = [&] { recorder.reset(); };
            press(key::k);
        },
    };
    for (const auto& stop : stops) {
        if (!recorder) {
            recorder = makeRecorder();
        }
        recorder->click();
        ASSERT_TRUE(env.center->isSuspended());
        stop();
        EXPECT_FALSE(env.center->isSuspended());
        EXPECT_EQ(env.hotkeys.registrations().size(), registeredCount);
        EXPECT_EQ(env.input.localMonitorCount(), 0u);
    }
    EXPECT_EQ(recorder, nullptr);
}
const KeyCombo controlOptionRight{key::right, 0x1800, "⌃⌥→"};
const KeyCombo commandK{key::k, 0x100, "⌘K"};

Zone userZone(std::string name, std::optional<KeyCombo> shortcut) {
    Zone zone;
    zone.id = Uuid::random();
    zone.name = std::move(name);
    zone.width = 1;
    zone.height = 1;
    zone.shortcut = std::move(shortcut);
    return zone;
}

TEST_F(ShortcutRecorderTest, TheBindingIsWrittenAtMostOncePerListeningPeriod) {
    auto recorder = makeRecorder();
    // An owner whose store reacts by delivering another key press while the first one is still
    // being handled; the monitor is still installed at that moment.
    owner.afterWrite = [&] {
        owner.afterWrite = nullptr;
        press(key::z, flag::command);
    };
    recorder->click();
    press(key::a, flag::command);
    EXPECT_FALSE(recorder->isListening());
    ASSERT_EQ(owner.writes.size(), 1u);
    EXPECT_EQ(owner.value, (KeyCombo{key::a, 0x100, "⌘A"}));

    // After the period the keys go to the window again and write nothing.
    EXPECT_FALSE(env.input.keyDown(key::k));
    EXPECT_EQ(owner.writes.size(), 1u);

    // A new period may write again; only key downs of Tessera's own windows are watched.
    recorder->click();
    EXPECT_EQ(env.input.localMonitorMasks(), std::vector<EventMask>{1u << 10});
    EXPECT_EQ(env.input.globalMonitorCount(), 0u);
    press(key::k);
    EXPECT_EQ(owner.writes.size(), 2u);
}

class CommandShortcutsSectionTest : public ::testing::Test {
protected:
    // A layout of the user's own, used by no display.
    Layout addUserLayout(std::string name, std::vector<Zone> zones) {
        Layout layout{Uuid::random(), std::move(name), std::move(zones)};
        env.store.upsert(layout);
        return layout;
    }

    std::optional<std::string> zoneMessage(const Zone& zone) const {
        return zoneConflictMessage(zone, env.defaults, env.store, env.localizer);
    }

    HotkeyDesktop env;
    std::shared_ptr<RecorderCoordinator> coordinator = std::make_shared<RecorderCoordinator>();
    CommandShortcutsSection section{env.defaults, env.store,    env.localizer,
                                    env.input,    env.access(), coordinator};
};

TEST_F(CommandShortcutsSectionTest, EveryChangeIsStoredAndRegistersTheHotkeysAgain) {
    env.makeCenter().registerAll();
    env.defaults.set("snapOnDrag", false);
    ASSERT_TRUE(env.registered(key::left, 0x1800));
    int changes = 0;
    const auto connection = section.onChange([&] { ++changes; });

    section.setShortcut(WindowCommand::zoneLeft, commandK);
    EXPECT_EQ(env.hotkeys.registeredID(key::k, 0x100)->id, HotkeyCenter::commandIDBase + 1);
    EXPECT_FALSE(env.registered(key::left, 0x1800));
    // Kept as data: JSON with the text in UTF-8.
    const auto stored = env.defaults.object(shortcutKey(WindowCommand::zoneLeft));
    ASSERT_TRUE(stored && std::holds_alternative<Bytes>(*stored));
    const auto& data = std::get<Bytes>(*stored);
    EXPECT_EQ(nlohmann::json::parse(data.begin(), data.end()).at("combo").at("display"), "⌘K");

    section.removeShortcut(WindowCommand::zoneLeft);
    EXPECT_FALSE(env.registered(key::k, 0x100));
    EXPECT_FALSE(env.registered(key::left, 0x1800));

    section.restoreDefaults();
    EXPECT_EQ(env.hotkeys.registeredID(key::left, 0x1800)->id, HotkeyCenter::commandIDBase + 1);
    EXPECT_EQ(env.hotkeys.registrations().size(), 7u);
    EXPECT_FALSE(env.defaults.object(shortcutKey(WindowCommand::zoneLeft)));
    EXPECT_EQ(env.defaults.persistentDomain().size(), 1u) << "other preferences stay";
    EXPECT_EQ(changes, 3);
}

// The messages seen from a command's row: tst_keyboard.qml and KeyboardPaneTest.
TEST_F(CommandShortcutsSectionTest, AZoneNamesTheFirstCommandWithItsKeysElseTheOtherZone) {
    // Zone to the Left takes Zone to the Right's default keys: a zone with them names the first
    // in case order, and a default with nothing stored counts.
    section.setShortcut(WindowCommand::zoneLeft, controlOptionRight);
    const auto layout = addUserLayout("Desk", {userZone("Editor pane", controlOptionRight)});
    EXPECT_EQ(zoneMessage(layout.zones[0]),
              "Also used by “Zone to the Left”. Only one of them will work.");
    section.removeShortcut(WindowCommand::zoneLeft);
    section.removeShortcut(WindowCommand::zoneRight);
    const auto other = addUserLayout("Other", {userZone("Twin", controlOptionRight)});
    EXPECT_EQ(zoneMessage(other.zones[0]),
              "Already used by “Editor pane” in “Desk”. Only one of them will work.");
}
class CommandShortcutsTest : public ::testing::Test {
protected:
    TableLocalizer english = makeSimLocalizer("en");
    TableLocalizer german = makeSimLocalizer("de");
};
using namespace flag;
} // namespace

// The combination inside is read as a zone's is (RecordsJsonTest checks its fields).
TEST_F(CommandShortcutsTest, DecodingAcceptsOnlyWholeRecords) {
    const KeyCombo left{123, 0x1800, "⌃⌥←"};
    const std::vector<std::pair<std::string, std::optional<KeyCombo>>> readable{
        {"{}", std::nullopt},
        {R"({"combo":null})", std::nullopt},
        {R"({"combo":{"keyCode":123,"carbonModifiers":6144,"display":"⌃⌥←"},"x":[1]})", left},
    };
    for (const auto& [text, combo] : readable) {
        const auto decoded = decodeStoredShortcut(text);
        ASSERT_TRUE(decoded) << text << ": " << decoded.error;
        EXPECT_EQ(decoded.value->combo, combo) << text;
    }

    // Invalid UTF-8 in the text: the fuzz target, which encodes every record it decodes.
    for (const std::string text : {"", "[]", "{} trailing", R"({"combo":5})"}) {
        const auto decoded = decodeStoredShortcut(text);
        EXPECT_FALSE(decoded) << text;
        EXPECT_FALSE(decoded.error.empty()) << text;
    }
}

// The four modifiers there and back: the recorder's ⌃⌥⇧⌘Z and ⇧A, and the defaults' texts
// (MenuBarMenuTest).
TEST_F(CommandShortcutsTest, OnlyTheFourModifierFlagsBecomeCarbonBits) {
    // Caps Lock, Function and the numeric-pad flag never become part of a shortcut, and the
    // device-dependent low bits must not be mistaken for Carbon bits that share values.
    EXPECT_EQ(carbonModifiers(capsLock | option | command), 0x900u);
    EXPECT_EQ(carbonModifiers(function | numericPad | capsLock), 0u);
    EXPECT_EQ(carbonModifiers(0x100 | 0x200 | 0x800 | 0x1000), 0u);
}

TEST_F(CommandShortcutsTest, LinuxTextSpellsModifiersAndSpecialKeys) {
    EXPECT_EQ(linuxShortcutText({7, 0x1B00, ""}, english), "Ctrl+Alt+Shift+Super+X");
    EXPECT_EQ(linuxShortcutText({105, 0x100, ""}, english), "Super+Key 105");
    EXPECT_EQ(linuxShortcutText({51, 0, ""}, english), "Backspace");

    EXPECT_EQ(linuxShortcutText({49, 0x1200, ""}, german), "Strg+Umschalt+Leertaste");

    // The stored glyph text plays no part, and neither do Carbon bits outside the four.
    EXPECT_EQ(linuxShortcutText({124, 0x1800 | 0x400, "something else"}, english), "Ctrl+Alt+→");
}

namespace {
using IDs = std::vector<std::uint32_t>;

constexpr ProcessId editor = 501;

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

class HotkeyCenterTest : public ::testing::Test, public HotkeyDesktop {
protected:
    HotkeyCenterTest() : HotkeyDesktop(threeDisplays()) {
        desktop.addApplication(editor, "com.example.editor", "Editor");
        desktop.setFrontmostApplication(editor);
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
                  localizer, 42);
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
