#pragma once

#include "Records.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tessera {

// Thrown by the *FromJson readers; the message names the offending key so a user who edits a
// file by hand can find the fault.
class DecodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The outcome of decoding outside bytes: a value, or the reason there is none.
template <typename T> struct Decoded {
    std::optional<T> value;
    std::string error;

    explicit operator bool() const { return value.has_value(); }
};

nlohmann::json toJson(const KeyCombo& combo);
nlohmann::json toJson(const Zone& zone);
nlohmann::json toJson(const Layout& layout);
// "seeded" is written exactly as held (the store sorts it before handing the payload over).
nlohmann::json toJson(const LayoutStorePayload& payload);

// Strict readers: a missing required key, a value of the wrong type or a malformed UUID throws
// DecodeError; keys that are not part of the record are ignored.
KeyCombo keyComboFromJson(const nlohmann::json& json);
Zone zoneFromJson(const nlohmann::json& json);
Layout layoutFromJson(const nlohmann::json& json);
LayoutStorePayload payloadFromJson(const nlohmann::json& json);
Uuid uuidFromJson(const nlohmann::json& json, std::string_view what);

// Pretty-printed with object keys sorted; invalid UTF-8 in strings is replaced, never thrown.
std::string encodeJson(const nlohmann::json& json);
// Parses and decodes a whole document; any fault makes the whole document unreadable.
Decoded<LayoutStorePayload> decodePayload(std::string_view bytes);

} // namespace tessera
