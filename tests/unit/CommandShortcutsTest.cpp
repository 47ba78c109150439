#include "core/placement/CommandShortcuts.h"
#include "core/app/Preferences.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimLocalizer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <set>
#include <string>
#include <vector>

using namespace tessera;

namespace {

Bytes bytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// Preferences that remember the order of removals and can refuse chosen keys.
class RecordingDefaults final : public Defaults {
public:
    std::optional<DefaultsValue> object(std::string_view key) const override {
        return inner.object(key);
    }
    DefaultsDomain persistentDomain() const override { return inner.persistentDomain(); }
    bool set(std::string_view key, DefaultsValue value) override {
        return inner.set(key, std::move(value));
    }
    bool remove(std::string_view key) override {
        removed.emplace_back(key);
        const bool ok = inner.remove(key);
        return ok && !refused.contains(std::string(key));
    }
    void registerDefaults(const DefaultsDomain& values) override { inner.registerDefaults(values); }

    SimDefaults inner;
    std::vector<std::string> removed;
    std::set<std::string> refused;
};

class CommandShortcutsTest : public ::testing::Test {
protected:
    std::optional<KeyCombo> effective(WindowCommand command) const {
        return effectiveShortcut(command, defaults, english);
    }

    TableLocalizer english = makeSimLocalizer("en");
    SimDefaults defaults;
};

} // namespace

TEST_F(CommandShortcutsTest, DefaultsCarryTheirGlyphTexts) {
    const std::vector<std::pair<WindowCommand, KeyCombo>> expected{
        {WindowCommand::fillScreen, {36, 0x900, "⌥⌘↩"}},
        {WindowCommand::zoneLeft, {123, 0x1800, "⌃⌥←"}},
        {WindowCommand::zoneRight, {124, 0x1800, "⌃⌥→"}},
        {WindowCommand::zoneUp, {126, 0x1800, "⌃⌥↑"}},
        {WindowCommand::zoneDown, {125, 0x1800, "⌃⌥↓"}},
        {WindowCommand::previousDisplay, {123, 0x1900, "⌃⌥⌘←"}},
        {WindowCommand::nextDisplay, {124, 0x1900, "⌃⌥⌘→"}},
    };
    for (const auto& [command, combo] : expected) {
        EXPECT_EQ(defaultShortcut(command, english), combo) << rawValue(command);
        EXPECT_EQ(effective(command), combo) << "nothing stored: " << rawValue(command);
    }
}

TEST_F(CommandShortcutsTest, StoredRecordsHaveTheirJsonForm) {
    EXPECT_EQ(toJson(StoredShortcut{}), nlohmann::json::object());
    const StoredShortcut stored{KeyCombo{0, 0x300, "⇧⌘A"}};
    EXPECT_EQ(
        toJson(stored),
        nlohmann::json::parse(R"({"combo":{"keyCode":0,"carbonModifiers":768,"display":"⇧⌘A"}})"));

    for (const auto& record : {StoredShortcut{}, stored}) {
        const auto text = encodeStoredShortcut(record);
        ASSERT_TRUE(text.has_value());
        const auto decoded = decodeStoredShortcut(*text);
        ASSERT_TRUE(decoded) << decoded.error;
        EXPECT_EQ(*decoded.value, record);
    }
}

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

    const std::vector<std::string> unreadable{
        "",
        "[]",
        "{} trailing",
        R"({"combo":5})",
        R"({"combo":{"keyCode":36,"carbonModifiers":2304}})",
        R"({"combo":{"keyCode":4294967296,"carbonModifiers":0,"display":""}})",
        R"({"combo":{"keyCode":36.5,"carbonModifiers":0,"display":""}})",
        "{\"combo\":{\"keyCode\":36,\"carbonModifiers\":0,\"display\":\"\xFF\"}}",
    };
    for (const auto& text : unreadable) {
        const auto decoded = decodeStoredShortcut(text);
        EXPECT_FALSE(decoded) << text;
        EXPECT_FALSE(decoded.error.empty()) << text;
    }
}

TEST_F(CommandShortcutsTest, WhatIsStoredDecidesTheEffectiveShortcut) {
    const auto key = shortcutKey(WindowCommand::zoneUp);
    const KeyCombo custom{32, 0x1000, "⌃U"};

    defaults.set(key, bytes(R"({"combo":{"keyCode":32,"carbonModifiers":4096,"display":"⌃U"}})"));
    EXPECT_EQ(effective(WindowCommand::zoneUp), custom);

    // Removed by the user, undecodable, empty, or a value that is not data.
    const std::vector<DefaultsValue> noShortcut{
        bytes("{}"), bytes("{not json"),
        std::string(R"({"combo":{"keyCode":32,"carbonModifiers":4096,"display":"⌃U"}})"),
        std::int64_t{1}};
    for (const auto& value : noShortcut) {
        defaults.set(key, value);
        EXPECT_EQ(effective(WindowCommand::zoneUp), std::nullopt)
            << "value of type " << value.index();
    }

    defaults.remove(key);
    EXPECT_EQ(effective(WindowCommand::zoneUp), (KeyCombo{126, 0x1800, "⌃⌥↑"}));
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
    EXPECT_EQ(std::get<Bytes>(*defaults.object(shortcutKey(WindowCommand::zoneUp))), bytes("{}"));

    defaults.set("snapOnDrag", false);
    ASSERT_TRUE(restoreDefaultShortcuts(defaults));
    for (const auto command : allWindowCommands) {
        EXPECT_FALSE(defaults.object(shortcutKey(command)).has_value()) << rawValue(command);
        EXPECT_EQ(effective(command), defaultShortcut(command, english)) << rawValue(command);
    }
    EXPECT_EQ(defaults.persistentDomain().size(), 1u) << "other preferences stay";
}

TEST_F(CommandShortcutsTest, FailuresAreReportedAndRestoreRemovesEveryKeyEvenAfterOne) {
    // A display text that is not UTF-8 cannot be written as JSON: the key goes, and with it the
    // earlier shortcut, and the caller hears of it.
    ASSERT_TRUE(setShortcut(WindowCommand::zoneLeft, KeyCombo{0, 0, "A"}, defaults));
    EXPECT_FALSE(setShortcut(WindowCommand::zoneLeft, KeyCombo{1, 0, "\xC3("}, defaults));
    EXPECT_FALSE(defaults.object(shortcutKey(WindowCommand::zoneLeft)).has_value());
    defaults.failWrites(true);
    EXPECT_FALSE(setShortcut(WindowCommand::zoneLeft, std::nullopt, defaults));

    RecordingDefaults recording;
    for (const auto command : allWindowCommands) {
        setShortcut(command, std::nullopt, recording);
    }
    recording.refused.insert("shortcut.zoneRight");
    EXPECT_FALSE(restoreDefaultShortcuts(recording));
    EXPECT_EQ(recording.removed, (std::vector<std::string>{
                                     "shortcut.fillScreen", "shortcut.zoneLeft",
                                     "shortcut.zoneRight", "shortcut.zoneUp", "shortcut.zoneDown",
                                     "shortcut.previousDisplay", "shortcut.nextDisplay"}));
}

TEST_F(CommandShortcutsTest, CommandLookupComparesKeyAndModifiersOnly) {
    const auto lookup = [this](std::uint32_t code, std::uint32_t modifiers) {
        return commandUsing(code, modifiers, defaults, english);
    };
    EXPECT_EQ(lookup(36, 0x900), WindowCommand::fillScreen);
    EXPECT_EQ(lookup(123, 0x1900), WindowCommand::previousDisplay);
    EXPECT_EQ(lookup(36, 0x100), std::nullopt) << "modifiers must match exactly";
    EXPECT_EQ(lookup(36 + 65536, 0x900), std::nullopt) << "the whole key code is compared";

    setShortcut(WindowCommand::fillScreen, KeyCombo{3, 0x900, "⌥⌘F"}, defaults);
    EXPECT_EQ(lookup(36, 0x900), std::nullopt) << "the default no longer applies";
    EXPECT_EQ(lookup(3, 0x900), WindowCommand::fillScreen);

    // The stored text is whatever it was when recorded; it never decides a match.
    setShortcut(WindowCommand::nextDisplay, KeyCombo{123, 0x1800, "anything"}, defaults);
    EXPECT_EQ(lookup(123, 0x1800), WindowCommand::zoneLeft) << "first in case order wins";
    setShortcut(WindowCommand::zoneLeft, std::nullopt, defaults);
    EXPECT_EQ(lookup(123, 0x1800), WindowCommand::nextDisplay);

    defaults.set(shortcutKey(WindowCommand::nextDisplay), bytes("garbage"));
    EXPECT_EQ(lookup(123, 0x1800), std::nullopt);
}

TEST_F(CommandShortcutsTest, MenuKeyEquivalents) {
    const auto equivalent = [this](std::uint32_t code, std::uint32_t modifiers) {
        return menuKeyEquivalent(KeyCombo{code, modifiers, "ignored"}, english);
    };
    EXPECT_EQ(equivalent(123, 0)->key, menuKey::leftArrow);
    EXPECT_EQ(equivalent(51, 0)->key, menuKey::deleteKey);
    EXPECT_EQ(equivalent(36, 0x900),
              (MenuKeyEquivalent{std::string(menuKey::returnKey), true, true, false, false}));
    EXPECT_EQ(equivalent(0, 0x1200), (MenuKeyEquivalent{"a", false, false, true, true}))
        << "letters in lower case; control and shift";
    EXPECT_EQ(equivalent(42, 0)->key, "\\");
    EXPECT_EQ(equivalent(53, 0)->key, "⎋") << "a one-character name, however many bytes";

    EXPECT_EQ(equivalent(105, 0x100), std::nullopt) << "\"Key 105\" is no single character";
    EXPECT_EQ(equivalent(122, 0), std::nullopt) << "F1 has two characters";
    EXPECT_EQ(equivalent(65536, 0x100), std::nullopt) << "names A but lies beyond 65535";
}
