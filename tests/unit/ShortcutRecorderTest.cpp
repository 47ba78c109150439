#include "core/hotkeys/ShortcutRecorder.h"
#include "RecorderTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace tessera;
using namespace recordertest;

namespace {

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
    std::unique_ptr<ShortcutRecorder> makeRecorder(Owner& owner,
                                                   std::shared_ptr<RecorderCoordinator> c = {}) {
        return std::make_unique<ShortcutRecorder>(env.input, owner.binding(), env.access(),
                                                  env.localizer, std::move(c));
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
    auto recorder = makeRecorder(owner);
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
        {key::k, flag::capsLock, {key::k, 0, "K"}},
        {key::a, flag::capsLock | flag::shift | flag::function, {key::a, 0x200, "⇧A"}},
        {key::f17, flag::control, {key::f17, 0x1000, "⌃Key 64"}},
    };
    for (const auto& c : cases) {
        recorder->click();
        press(c.code, c.flags);
        EXPECT_EQ(owner.value, c.recorded);
    }
}

TEST_F(ShortcutRecorderTest, EscapeKeepsThePreviousValue) {
    auto recorder = makeRecorder(owner);
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
    auto recorder = makeRecorder(owner);
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

TEST_F(ShortcutRecorderTest, TheHotkeyCenterIsSuspendedWhileListening) {
    env.createCenter();
    ASSERT_TRUE(env.registered(key::left, 0x1800));

    // The owner does what the command shortcuts do: store, then register everything again.
    ShortcutRecorder recorder(
        env.input,
        {[&] { return effectiveShortcut(WindowCommand::zoneLeft, env.defaults, env.localizer); },
         [&](const std::optional<KeyCombo>& combo) {
             setShortcut(WindowCommand::zoneLeft, combo, env.defaults);
             env.center->registerAll();
             // Still suspended: the new shortcut is not registered yet.
             EXPECT_TRUE(env.hotkeys.registrations().empty());
         }},
        env.access(), env.localizer);

    recorder.click();
    EXPECT_TRUE(env.center->isSuspended());
    EXPECT_TRUE(env.hotkeys.registrations().empty());

    // A shortcut in use reaches the recorder instead of moving a window.
    press(key::right, flag::control | flag::option);
    EXPECT_FALSE(env.center->isSuspended());
    EXPECT_EQ(env.hotkeys.registeredID(key::right, 0x1800)->id, HotkeyCenter::commandIDBase + 1);
    EXPECT_FALSE(env.registered(key::left, 0x1800));
    EXPECT_TRUE(env.registered(key::returnKey, 0x900));
}

TEST_F(ShortcutRecorderTest, EveryWayOfStoppingResumesTheHotkeyCenter) {
    // Recording works without a center; one that appears or goes while listening is taken as
    // it is found.
    auto recorder = makeRecorder(owner);
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
            recorder = makeRecorder(owner);
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

TEST_F(ShortcutRecorderTest, StartingOneRecorderStopsTheOtherOne) {
    env.createCenter();
    const auto coordinator = std::make_shared<RecorderCoordinator>();
    Owner second;
    auto first = makeRecorder(owner, coordinator);
    auto other = makeRecorder(second, coordinator);

    first->click();
    EXPECT_EQ(coordinator->listeningRecorder(), first.get());
    other->click();
    EXPECT_FALSE(first->isListening());
    EXPECT_EQ(coordinator->listeningRecorder(), other.get());
    EXPECT_EQ(env.input.localMonitorCount(), 1u);
    EXPECT_TRUE(env.center->isSuspended());

    press(key::k, flag::command);
    EXPECT_TRUE(owner.writes.empty());
    EXPECT_EQ(second.value, (KeyCombo{key::k, 0x100, "⌘K"}));
    EXPECT_FALSE(env.center->isSuspended());
    EXPECT_EQ(coordinator->listeningRecorder(), nullptr);

    // A recorder that disappears leaves the coordinator; the others carry on.
    first->click();
    first.reset();
    EXPECT_FALSE(env.center->isSuspended());
    other->click();
    EXPECT_EQ(coordinator->listeningRecorder(), other.get());
}

TEST_F(ShortcutRecorderTest, LabelsFollowTheStateAndTheClearButtonRemovesTheShortcut) {
    auto recorder = makeRecorder(owner);
    int changes = 0;
    const auto connection = recorder->onChange([&] { ++changes; });
    auto state = recorder->state();
    EXPECT_EQ(state.label, "Record");
    EXPECT_EQ(state.help, "Click, then press a shortcut");
    EXPECT_FALSE(state.showsRemoveButton);

    // The stored text is shown as it is, never recomputed from the key code.
    owner.value = KeyCombo{key::returnKey, 0x900, "stored text"};
    state = recorder->state();
    EXPECT_EQ(state.label, "stored text");
    EXPECT_EQ(state.linuxLabel, "Alt+Super+Return");
    EXPECT_TRUE(state.labelIsCombo);
    EXPECT_TRUE(state.showsRemoveButton);

    recorder->click();
    state = recorder->state();
    EXPECT_EQ(state.label, "Press Shortcut…");
    EXPECT_EQ(state.help, "Esc to cancel");
    EXPECT_FALSE(state.labelIsCombo);
    EXPECT_FALSE(state.showsRemoveButton);
    recorder->removeShortcut();
    EXPECT_TRUE(owner.writes.empty()) << "the button does not exist while listening";
    recorder->click();

    const auto before = changes;
    recorder->removeShortcut();
    EXPECT_EQ(owner.writes, (std::vector<std::optional<KeyCombo>>{std::nullopt}));
    EXPECT_GT(changes, before);
    EXPECT_EQ(recorder->state().label, "Record");
}

} // namespace
