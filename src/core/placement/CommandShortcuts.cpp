#include "CommandShortcuts.h"

#include "../app/Preferences.h"
#include "../hotkeys/KeyCombos.h"

#include <variant>

namespace tessera {

using nlohmann::json;

nlohmann::json toJson(const StoredShortcut& stored) {
    json object = json::object();
    if (stored.combo) {
        object["combo"] = toJson(*stored.combo);
    }
    return object;
}

StoredShortcut storedShortcutFromJson(const nlohmann::json& object) {
    if (!object.is_object()) {
        throw DecodeError("stored shortcut is not an object");
    }
    StoredShortcut stored;
    if (const auto it = object.find("combo"); it != object.end() && !it->is_null()) {
        stored.combo = keyComboFromJson(*it);
    }
    return stored;
}

std::optional<std::string> encodeStoredShortcut(const StoredShortcut& stored) {
    try {
        return toJson(stored).dump(-1, ' ', false, json::error_handler_t::strict);
    } catch (const json::exception&) {
        return std::nullopt;
    }
}

Decoded<StoredShortcut> decodeStoredShortcut(std::string_view bytes) {
    Decoded<StoredShortcut> result;
    try {
        result.value = storedShortcutFromJson(json::parse(bytes.begin(), bytes.end()));
    } catch (const DecodeError& error) {
        result.error = error.what();
    } catch (const json::exception& error) {
        result.error = std::string("not valid JSON: ") + error.what();
    }
    return result;
}

Decoded<StoredShortcut> decodeStoredShortcut(const Bytes& bytes) {
    return decodeStoredShortcut(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

KeyCombo defaultShortcut(WindowCommand command, const Localizer& localizer) {
    const auto row = info(command);
    return KeyCombo{row.defaultKeyCode, row.defaultCarbonModifiers,
                    shortcutText(row.defaultKeyCode,
                                 eventFlagsFromCarbon(row.defaultCarbonModifiers), localizer)};
}

std::optional<KeyCombo> effectiveShortcut(WindowCommand command, const Defaults& defaults,
                                          const Localizer& localizer) {
    const auto value = defaults.object(shortcutKey(command));
    if (!value) {
        return defaultShortcut(command, localizer);
    }
    // Something other than data under the key (a hand edit, a foreign tool) is as unreadable as
    // data that does not decode: no shortcut, rather than a default the user may have replaced.
    const auto* bytes = std::get_if<Bytes>(&*value);
    if (bytes == nullptr) {
        return std::nullopt;
    }
    auto decoded = decodeStoredShortcut(*bytes);
    if (!decoded) {
        return std::nullopt;
    }
    return std::move(decoded.value->combo);
}

bool setShortcut(WindowCommand command, const std::optional<KeyCombo>& combo, Defaults& defaults) {
    const auto key = shortcutKey(command);
    const auto text = encodeStoredShortcut(StoredShortcut{combo});
    if (!text) {
        defaults.remove(key);
        return false;
    }
    return defaults.set(key, Bytes(text->begin(), text->end()));
}

bool restoreDefaultShortcuts(Defaults& defaults) {
    bool allRemoved = true;
    for (const auto command : allWindowCommands) {
        allRemoved = defaults.remove(shortcutKey(command)) && allRemoved;
    }
    return allRemoved;
}

std::optional<WindowCommand> commandUsing(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                                          const Defaults& defaults, const Localizer& localizer) {
    const KeyCombo wanted{keyCode, carbonModifiers, {}};
    for (const auto command : allWindowCommands) {
        const auto shortcut = effectiveShortcut(command, defaults, localizer);
        if (shortcut && sameCombination(*shortcut, wanted)) {
            return command;
        }
    }
    return std::nullopt;
}

namespace {

std::size_t codePointCount(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text) {
        // Every byte that does not continue a multi-byte sequence starts a character.
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++count;
        }
    }
    return count;
}

std::optional<std::string> menuKeyFor(std::uint32_t keyCode, const Localizer& localizer) {
    switch (keyCode) {
    case 36:
        return std::string(menuKey::returnKey);
    case 48:
        return std::string(menuKey::tab);
    case 49:
        return std::string(menuKey::space);
    case 51:
        return std::string(menuKey::deleteKey);
    case 123:
        return std::string(menuKey::leftArrow);
    case 124:
        return std::string(menuKey::rightArrow);
    case 125:
        return std::string(menuKey::downArrow);
    case 126:
        return std::string(menuKey::upArrow);
    default:
        break;
    }
    // Key names only ever describe the low 16 bits; a larger code is no key a menu can show.
    if (keyCode > 0xFFFF) {
        return std::nullopt;
    }
    auto name = keyName(keyCode, localizer);
    if (codePointCount(name) != 1) {
        return std::nullopt;
    }
    for (auto& c : name) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return name;
}

} // namespace

std::optional<MenuKeyEquivalent> menuKeyEquivalent(const KeyCombo& combo,
                                                   const Localizer& localizer) {
    auto key = menuKeyFor(combo.keyCode, localizer);
    if (!key) {
        return std::nullopt;
    }
    const auto bits = combo.carbonModifiers;
    return MenuKeyEquivalent{std::move(*key), (bits & carbon::cmdKey) != 0,
                             (bits & carbon::optionKey) != 0, (bits & carbon::controlKey) != 0,
                             (bits & carbon::shiftKey) != 0};
}

} // namespace tessera
