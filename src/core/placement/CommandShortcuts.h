#pragma once

#include "../model/Json.h"
#include "../model/Records.h"
#include "../platform/Defaults.h"
#include "../platform/Localizer.h"
#include "WindowCommand.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessera {

// What the preferences hold for one command. A record without a combo is the user having
// removed the shortcut, which is different from holding nothing (the default applies then).
struct StoredShortcut {
    std::optional<KeyCombo> combo;

    friend bool operator==(const StoredShortcut&, const StoredShortcut&) = default;
};

// {"combo": {...}}, or {} without a combo.
nlohmann::json toJson(const StoredShortcut& stored);
// Strict: the top level must be an object; an absent or null "combo" means none, any other
// "combo" must be a whole KeyCombo. Other keys are ignored. Throws DecodeError.
StoredShortcut storedShortcutFromJson(const nlohmann::json& json);
// The UTF-8 JSON text kept under the command's preference key; nothing when the record cannot
// be written as JSON (a display text that is not valid UTF-8).
std::optional<std::string> encodeStoredShortcut(const StoredShortcut& stored);
// Anything that is not exactly such a text (not JSON, wrong types, trailing bytes) decodes to
// nothing, with the reason.
Decoded<StoredShortcut> decodeStoredShortcut(std::string_view bytes);
Decoded<StoredShortcut> decodeStoredShortcut(const Bytes& bytes);

// The command's shortcut while the user has set none, with its text made the usual way.
KeyCombo defaultShortcut(WindowCommand command, const Localizer& localizer);

// Nothing stored: the default. A record with a combo: that combo. A record without one, data
// that does not decode, or a value that is not data at all: no shortcut. Read on every call.
std::optional<KeyCombo> effectiveShortcut(WindowCommand command, const Defaults& defaults,
                                          const Localizer& localizer);

// Stores the record for the command; an absent combo stores the empty record, which removes
// the shortcut without bringing the default back. Returns false when the preferences could not
// be written (Defaults::lastError says why) or the record could not be encoded (the key is then
// removed).
bool setShortcut(WindowCommand command, const std::optional<KeyCombo>& combo, Defaults& defaults);

// Removes every command's key, in case order, so every command has its default again. Returns
// false when any removal could not be made durable; the others are still attempted.
bool restoreDefaultShortcuts(Defaults& defaults);

// The first command, in case order, whose effective shortcut is the same key combination
// (key code and modifiers; the display text does not count).
std::optional<WindowCommand> commandUsing(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                                          const Defaults& defaults, const Localizer& localizer);

// The key of a menu item's key equivalent, in the characters menus use for them: the named
// keys below, or one lower-case character.
namespace menuKey {
inline constexpr std::string_view returnKey = "\r";
inline constexpr std::string_view tab = "\t";
inline constexpr std::string_view space = " ";
inline constexpr std::string_view deleteKey = "\b";
// Private-use code points menus reserve for the arrow keys (U+F700...U+F703).
inline constexpr std::string_view upArrow = "\uF700";
inline constexpr std::string_view downArrow = "\uF701";
inline constexpr std::string_view leftArrow = "\uF702";
inline constexpr std::string_view rightArrow = "\uF703";
} // namespace menuKey

struct MenuKeyEquivalent {
    std::string key;
    bool command = false;
    bool option = false;
    bool control = false;
    bool shift = false;

    friend bool operator==(const MenuKeyEquivalent&, const MenuKeyEquivalent&) = default;
};

// How a command's shortcut appears in a menu: Return, Tab, Space, Delete and the arrows by
// name; any other key only when its name is a single character; nothing for codes above 65535.
std::optional<MenuKeyEquivalent> menuKeyEquivalent(const KeyCombo& combo,
                                                   const Localizer& localizer);

} // namespace tessera
