#include "core/hotkeys/ShortcutRecorder.h"
#include "TempDir.h"
#include "core/app/Preferences.h"
#include "core/hotkeys/CommandShortcutsSection.h"
#include "core/hotkeys/HotkeyCenter.h"
#include "core/hotkeys/KeyCombos.h"
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

#include <functional>

using namespace tessera;

namespace {
// macOS virtual key codes used by the tests.
namespace key {
constexpr std::uint16_t a = 0;
constexpr std::uint16_t z = 6;
constexpr std::uint16_t k = 40;
constexpr std::uint16_t returnKey = 36;
constexpr std::uint16_t escape = SimInputEvents::escapeKeyCode;
constexpr std::uint16_t rightCommand = 54;
constexpr std::uint16_t function = 63;
constexpr std::uint16_t f17 = 64;
constexpr std::uint16_t f13 = 105;
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
    HotkeyDesktop() {
        input.setTarget(SimEventTarget::ownWindow);
        input.setDelivery(SimDelivery::monitorOnly);
    }

    // What the recorder sees of the application state: the center while one exists.
    HotkeyCenterAccess access() {
        return [this] { return center.get(); };
    }

    void createCenter() {
        center = std::make_unique<HotkeyCenter>(dispatcher, store, mover, desktop, desktop,
                                                desktop.displays(), defaults, localizer, 4242);
        center->registerAll();
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

TEST_F(ShortcutRecorderTest, ModifierKeysAloneKeepListeningUntilAKeyCompletesTheShortcut) {
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
    ASSERT_EQ(owner.writes.size(), 1u);
    EXPECT_EQ(owner.value, (KeyCombo{key::z, 0x1B00, "⌃⌥⇧⌘Z"}));
    EXPECT_EQ(seen, (std::vector<bool>{true, false}));

    struct Case {
        std::uint16_t code;
        std::uint64_t flags;
        KeyCombo recorded;
    };
    // Caps Lock and Fn never count; right above the modifier range is an ordinary key.
    const Case cases[] = {
        {key::f13, 0, {key::f13, 0, "Key 105"}},
        {key::a, flag::capsLock | flag::shift | flag::function, {key::a, 0x200, "⇧A"}},
        {key::f17, flag::control, {key::f17, 0x1000, "⌃Key 64"}},
    };
    for (const auto& c : cases) {
        recorder->click();
        press(c.code, c.flags);
        EXPECT_EQ(owner.value, c.recorded);
    }
}

TEST_F(ShortcutRecorderTest, EveryWayOfStoppingResumesTheHotkeyCenter) {
    // Recording works without a center; one that appears or goes while listening is taken as
    // it is found.
    auto recorder = makeRecorder();
    recorder->click();
    env.createCenter();
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
const KeyCombo optionCommandReturn{key::returnKey, 0x900, "⌥⌘↩"};
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

TEST_F(ShortcutRecorderTest, EscapeKeepsThePreviousValue) {
    auto recorder = makeRecorder();
    // Without a shortcut, and with one; modifiers held with Escape change nothing.
    for (const auto& previous :
         {std::optional<KeyCombo>{}, std::optional(KeyCombo{0, 0x100, "⌘A"})}) {
        owner.value = previous;
        recorder->click();
        press(key::escape, flag::command);
        EXPECT_FALSE(recorder->isListening());
        EXPECT_EQ(owner.value, previous);
    }
    EXPECT_TRUE(owner.writes.empty());
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

    // Gives a zone of a stored layout a shortcut (and optionally a new stored name).
    Zone setZoneShortcut(const Uuid& layoutID, std::size_t zoneIndex,
                         std::optional<KeyCombo> shortcut,
                         std::optional<std::string> layoutName = std::nullopt) {
        for (auto layout : env.store.layouts()) {
            if (layout.id == layoutID) {
                layout.zones.at(zoneIndex).shortcut = std::move(shortcut);
                if (layoutName) {
                    layout.name = *layoutName;
                }
                env.store.upsert(layout);
                return layout.zones.at(zoneIndex);
            }
        }
        ADD_FAILURE() << "no layout " << layoutID.string();
        return {};
    }

    std::optional<std::string> commandMessage(WindowCommand command) const {
        return commandConflictMessage(command, env.defaults, env.store, env.localizer);
    }
    std::optional<std::string> zoneMessage(const Zone& zone) const {
        return zoneConflictMessage(zone, env.defaults, env.store, env.localizer);
    }

    HotkeyDesktop env;
    std::shared_ptr<RecorderCoordinator> coordinator = std::make_shared<RecorderCoordinator>();
    CommandShortcutsSection section{env.defaults, env.store,    env.localizer,
                                    env.input,    env.access(), coordinator};
};

TEST_F(CommandShortcutsSectionTest, EveryChangeRegistersTheHotkeysAgain) {
    env.createCenter();
    ASSERT_TRUE(env.registered(key::left, 0x1800));
    int changes = 0;
    const auto connection = section.onChange([&] { ++changes; });

    section.setShortcut(WindowCommand::zoneLeft, commandK);
    EXPECT_EQ(env.hotkeys.registeredID(key::k, 0x100)->id, HotkeyCenter::commandIDBase + 1);
    EXPECT_FALSE(env.registered(key::left, 0x1800));

    section.removeShortcut(WindowCommand::zoneLeft);
    EXPECT_FALSE(env.registered(key::k, 0x100));
    EXPECT_FALSE(env.registered(key::left, 0x1800));

    section.restoreDefaults();
    EXPECT_EQ(env.hotkeys.registeredID(key::left, 0x1800)->id, HotkeyCenter::commandIDBase + 1);
    EXPECT_EQ(env.hotkeys.registrations().size(), 7u);
    EXPECT_EQ(changes, 3);
}

TEST_F(CommandShortcutsSectionTest, ACommandClashIsReportedBeforeAZoneClash) {
    section.setShortcut(WindowCommand::zoneLeft, controlOptionRight);
    const auto layout = addUserLayout("Desk", {userZone("Editor pane", controlOptionRight)});
    EXPECT_EQ(commandMessage(WindowCommand::zoneRight),
              "Also used by “Zone to the Left”. Only one of them will work.");
    // The zone clashes with two commands and reports the first in case order.
    EXPECT_EQ(zoneMessage(layout.zones[0]),
              "Also used by “Zone to the Left”. Only one of them will work.");

    // With the command clash gone the zone is next.
    section.restoreDefaults();
    section.removeShortcut(WindowCommand::zoneRight);
    EXPECT_EQ(commandMessage(WindowCommand::zoneLeft), std::nullopt);
    section.setShortcut(WindowCommand::zoneLeft, controlOptionRight);
    EXPECT_EQ(commandMessage(WindowCommand::zoneLeft),
              "Already used by “Editor pane” in “Desk”. Only one of them will work.");
}

TEST_F(CommandShortcutsSectionTest, ZoneMessagesCheckCommandsThenOtherZones) {
    // Without a shortcut there is nothing to report.
    EXPECT_EQ(zoneMessage(userZone("Plain", std::nullopt)), std::nullopt);

    // The default of a command with nothing stored still counts.
    const auto nextDisplayDefault = KeyCombo{key::right, 0x1900, "⌃⌥⌘→"};
    const auto lone = addUserLayout("Solo", {userZone("Alone", nextDisplayDefault)});
    EXPECT_EQ(zoneMessage(lone.zones[0]),
              "Also used by “Next Display”. Only one of them will work.");
    // The same clash seen from the command, which names the zone.
    EXPECT_EQ(commandMessage(WindowCommand::nextDisplay),
              "Already used by “Alone” in “Solo”. Only one of them will work.");
    section.removeShortcut(WindowCommand::nextDisplay);
    EXPECT_EQ(zoneMessage(lone.zones[0]), std::nullopt) << "a zone never clashes with itself";

    // Two zones of different layouts, and two of one layout, each name the other.
    const auto other = addUserLayout("Other", {userZone("Twin", nextDisplayDefault)});
    EXPECT_EQ(zoneMessage(lone.zones[0]),
              "Already used by “Twin” in “Other”. Only one of them will work.");
    EXPECT_EQ(zoneMessage(other.zones[0]),
              "Already used by “Alone” in “Solo”. Only one of them will work.");
}
class CommandShortcutsTest : public ::testing::Test {
protected:
    std::optional<KeyCombo> effective(WindowCommand command) const {
        return effectiveShortcut(command, defaults, english);
    }

    TableLocalizer english = makeSimLocalizer("en");
    TableLocalizer german = makeSimLocalizer("de");
    SimDefaults defaults;
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

    for (const std::string text :
         {"", "[]", "{} trailing", R"({"combo":5})",
          "{\"combo\":{\"keyCode\":36,\"carbonModifiers\":0,\"display\":\"\xFF\"}}"}) {
        const auto decoded = decodeStoredShortcut(text);
        EXPECT_FALSE(decoded) << text;
        EXPECT_FALSE(decoded.error.empty()) << text;
    }
}

TEST_F(CommandShortcutsTest, SettingAndRestoring) {
    const KeyCombo custom{7, 0x1100, "⌃⌘X"};
    ASSERT_TRUE(setShortcut(WindowCommand::fillScreen, custom, defaults));
    const auto stored = defaults.object(shortcutKey(WindowCommand::fillScreen));
    ASSERT_TRUE(stored.has_value());
    ASSERT_TRUE(std::holds_alternative<Bytes>(*stored)) << "kept as data";
    const auto& data = std::get<Bytes>(*stored);
    const auto json = nlohmann::json::parse(data.begin(), data.end());
    EXPECT_EQ(json.at("combo").at("display"), "⌃⌘X") << "UTF-8 text";
    EXPECT_EQ(effective(WindowCommand::fillScreen), custom);

    ASSERT_TRUE(setShortcut(WindowCommand::zoneUp, std::nullopt, defaults));
    EXPECT_EQ(effective(WindowCommand::zoneUp), std::nullopt) << "no shortcut, not the default";
    EXPECT_EQ(std::get<Bytes>(*defaults.object(shortcutKey(WindowCommand::zoneUp))),
              (Bytes{'{', '}'}));

    defaults.set("snapOnDrag", false);
    ASSERT_TRUE(restoreDefaultShortcuts(defaults));
    for (const auto command : allWindowCommands) {
        EXPECT_FALSE(defaults.object(shortcutKey(command)).has_value()) << rawValue(command);
        EXPECT_EQ(effective(command), defaultShortcut(command, english)) << rawValue(command);
    }
    EXPECT_EQ(defaults.persistentDomain().size(), 1u) << "other preferences stay";
}

TEST_F(CommandShortcutsTest, EventFlagsConvertToCarbonBitsAndBack) {
    // Caps Lock, Function and the numeric-pad flag never become part of a shortcut, and the
    // device-dependent low bits must not be mistaken for Carbon bits that share values.
    EXPECT_EQ(carbonModifiers(capsLock | option | command), 0x900u);
    EXPECT_EQ(carbonModifiers(control | option), 0x1800u);
    EXPECT_EQ(carbonModifiers(function | numericPad | capsLock), 0u);
    EXPECT_EQ(carbonModifiers(0x100 | 0x200 | 0x800 | 0x1000), 0u);
    EXPECT_EQ(carbonModifiers(0xFFFFFFFFFFFFFFFFull), 0x1B00u);
    // Carbon's Caps Lock (0x400) and right-hand modifier bits have no event flag here.
    EXPECT_EQ(eventFlagsFromCarbon(0x400 | 0x2000 | 0x4000 | 0x8000), 0u);

    // Every subset of the four modifiers goes there and back, and shows its glyphs as a
    // subsequence of ⌃⌥⇧⌘ whatever the order of the flags.
    const std::vector<std::pair<std::uint64_t, std::string>> inOrder{
        {control, "⌃"}, {option, "⌥"}, {shift, "⇧"}, {command, "⌘"}};
    for (unsigned subset = 0; subset < 16; ++subset) {
        std::uint64_t flags = 0;
        std::string expected;
        for (unsigned bit = 0; bit < 4; ++bit) {
            if ((subset & (1u << bit)) != 0) {
                flags |= inOrder[bit].first;
                expected += inOrder[bit].second;
            }
        }
        EXPECT_EQ(eventFlagsFromCarbon(carbonModifiers(flags)), flags) << subset;
        EXPECT_EQ(shortcutText(1, flags, english), expected + "S") << subset;
    }
    EXPECT_EQ(keyCombo(0, capsLock | shift | command, english), (KeyCombo{0, 0x300, "⇧⌘A"}));
    EXPECT_EQ(keyCombo(105, function | control, german), (KeyCombo{105, 0x1000, "⌃Taste 105"}));
}

TEST_F(CommandShortcutsTest, LinuxTextSpellsModifiersAndSpecialKeys) {
    EXPECT_EQ(linuxShortcutText({123, 0x1800, "⌃⌥←"}, english), "Ctrl+Alt+←");
    EXPECT_EQ(linuxShortcutText({7, 0x1B00, ""}, english), "Ctrl+Alt+Shift+Super+X");
    EXPECT_EQ(linuxShortcutText({105, 0x100, ""}, english), "Super+Key 105");
    EXPECT_EQ(linuxShortcutText({36, 0x900, "⌥⌘↩"}, english), "Alt+Super+Return");
    EXPECT_EQ(linuxShortcutText({48, 0, ""}, english), "Tab");
    EXPECT_EQ(linuxShortcutText({51, 0, ""}, english), "Backspace");
    EXPECT_EQ(linuxShortcutText({53, 0, ""}, english), "Escape");

    EXPECT_EQ(linuxShortcutText({49, 0x1200, ""}, german), "Strg+Umschalt+Leertaste");

    // The stored glyph text plays no part, and neither do Carbon bits outside the four.
    EXPECT_EQ(linuxShortcutText({124, 0x1800 | 0x400, "something else"}, english), "Ctrl+Alt+→");
}
