#include "core/hotkeys/CommandShortcutsSection.h"
#include "RecorderTestSupport.h"
#include "core/store/BuiltInLayouts.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace tessera;
using namespace recordertest;

namespace {

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

// --- Rows and texts ---

TEST_F(CommandShortcutsSectionTest, RowsFollowTheCommandOrderWithTitleAndShortcut) {
    const auto rows = section.rows();
    ASSERT_EQ(rows.size(), 7u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].command, allWindowCommands[i]);
        EXPECT_EQ(rows[i].conflictMessage, std::nullopt) << rows[i].title;
    }
    EXPECT_EQ(rows[6].title, "Next Display");
    EXPECT_EQ(rows[0].shortcut, optionCommandReturn);
    EXPECT_EQ(section.recorder(WindowCommand::zoneRight).state().label, "⌃⌥→");
    EXPECT_EQ(section.header(), "Keyboard");
}

// --- Changes ---

TEST_F(CommandShortcutsSectionTest, RemovingStoresAnEmptyRecordRatherThanTheDefault) {
    // The row's clear button.
    section.recorder(WindowCommand::fillScreen).removeShortcut();
    EXPECT_TRUE(env.defaults.object("shortcut.fillScreen"));
    EXPECT_EQ(section.row(WindowCommand::fillScreen).shortcut, std::nullopt);
    EXPECT_EQ(section.recorder(WindowCommand::fillScreen).state().label, "Record");
    // Later changes elsewhere don't bring the default back.
    section.setShortcut(WindowCommand::zoneUp, commandK);
    EXPECT_EQ(section.row(WindowCommand::fillScreen).shortcut, std::nullopt);

    section.restoreDefaults();
    EXPECT_FALSE(env.defaults.object("shortcut.fillScreen"));
    EXPECT_FALSE(env.defaults.object("shortcut.zoneUp"));
    EXPECT_EQ(section.row(WindowCommand::fillScreen).shortcut, optionCommandReturn);
    EXPECT_EQ(section.row(WindowCommand::zoneUp).shortcut, (KeyCombo{126, 0x1800, "⌃⌥↑"}));
}

TEST_F(CommandShortcutsSectionTest, EveryChangeRegistersTheHotkeysAgain) {
    // Without a hotkey center a change is stored alike.
    section.setShortcut(WindowCommand::previousDisplay, commandK);
    EXPECT_EQ(section.row(WindowCommand::previousDisplay).shortcut, commandK);
    EXPECT_TRUE(env.hotkeys.registrations().empty());
    section.restoreDefaults();

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

    EXPECT_EQ(section.revision(), 5u);
    EXPECT_EQ(changes, 3);
}

TEST_F(CommandShortcutsSectionTest, ARecordedShortcutIsStoredAndRegisteredOnceRecordingEnds) {
    env.createCenter();
    auto& recorder = section.recorder(WindowCommand::zoneUp);
    recorder.click();
    EXPECT_TRUE(env.hotkeys.registrations().empty());
    EXPECT_TRUE(env.input.keyDown(key::k, 0x100000));

    EXPECT_FALSE(recorder.isListening());
    EXPECT_FALSE(env.center->isSuspended());
    EXPECT_EQ(section.row(WindowCommand::zoneUp).shortcut, commandK);
    EXPECT_EQ(env.hotkeys.registeredID(key::k, 0x100)->id, HotkeyCenter::commandIDBase + 3);
    EXPECT_EQ(recorder.state().label, "⌘K");

    // The rows share one coordinator: only one records at a time.
    section.recorder(WindowCommand::zoneLeft).click();
    section.recorder(WindowCommand::zoneRight).click();
    EXPECT_FALSE(section.recorder(WindowCommand::zoneLeft).isListening());
}

// --- Conflicts ---

TEST_F(CommandShortcutsSectionTest, TwoCommandsWithOneShortcutNameEachOther) {
    // Only key code and modifiers count, not the stored text.
    section.setShortcut(WindowCommand::zoneLeft, KeyCombo{key::right, 0x1800, "another text"});
    EXPECT_EQ(commandMessage(WindowCommand::zoneLeft),
              "Also used by “Zone to the Right”. Only one of them will work.");
    EXPECT_EQ(commandMessage(WindowCommand::zoneRight),
              "Also used by “Zone to the Left”. Only one of them will work.");
    EXPECT_EQ(section.rows()[1].conflictMessage, commandMessage(WindowCommand::zoneLeft));
    EXPECT_EQ(section.rows()[0].conflictMessage, std::nullopt);
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

TEST_F(CommandShortcutsSectionTest, ZoneClashesShowTheNamesTheInterfaceShows) {
    // A built-in zone under its canonical name, in a built-in layout stored under the name an
    // earlier version gave it.
    setZoneShortcut(stackHalfLayoutID(), 0, optionCommandReturn, "27″ Browser & Telegram");
    EXPECT_EQ(commandMessage(WindowCommand::fillScreen),
              "Already used by “Top Left” in “Stack + Half”. Only one of them will work.");

    const auto russian = makeSimLocalizer("ru");
    const auto message =
        commandConflictMessage(WindowCommand::fillScreen, env.defaults, env.store, russian);
    ASSERT_TRUE(message);
    EXPECT_NE(message->find("«" + russian.localized("Stack + Half") + "»"), std::string::npos)
        << *message;

    // Built-in layouts come first in the store; a later user layout is not reported first.
    addUserLayout("Late", {userZone("Later zone", commandK)});
    setZoneShortcut(halfStackLayoutID(), 2, commandK);
    section.setShortcut(WindowCommand::nextDisplay, commandK);
    EXPECT_EQ(commandMessage(WindowCommand::nextDisplay),
              "Already used by “Bottom Right” in “Half + Stack”. Only one of them will work.");
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
    const auto pair =
        addUserLayout("Pair", {userZone("First", commandK), userZone("Second", commandK)});
    EXPECT_EQ(zoneMessage(pair.zones[1]),
              "Already used by “First” in “Pair”. Only one of them will work.");
}

TEST_F(CommandShortcutsSectionTest, ARecordThatCannotBeReadIsNoShortcutAndNoClash) {
    env.defaults.set("shortcut.fillScreen", Bytes{'n', 'o', 't', ' ', 'j', 's', 'o', 'n'});
    const auto row = section.row(WindowCommand::fillScreen);
    EXPECT_EQ(row.shortcut, std::nullopt);
    EXPECT_EQ(row.conflictMessage, std::nullopt);
    EXPECT_EQ(section.recorder(WindowCommand::fillScreen).state().label, "Record");
    EXPECT_FALSE(section.recorder(WindowCommand::fillScreen).state().showsRemoveButton);

    // Neither side of a would-be clash with its default reports anything.
    const auto layout = addUserLayout("Desk", {userZone("Full", optionCommandReturn)});
    EXPECT_EQ(zoneMessage(layout.zones[0]), std::nullopt);
    EXPECT_EQ(commandMessage(WindowCommand::fillScreen), std::nullopt);

    // Storing a new value replaces the unreadable record.
    section.setShortcut(WindowCommand::fillScreen, optionCommandReturn);
    EXPECT_EQ(section.row(WindowCommand::fillScreen).shortcut, optionCommandReturn);
    EXPECT_EQ(zoneMessage(layout.zones[0]),
              "Also used by “Fill Screen”. Only one of them will work.");
}

} // namespace
