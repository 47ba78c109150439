#include "Json.h"

#include <cmath>
#include <limits>

namespace tessera {

using nlohmann::json;

namespace {

const json& member(const json& object, std::string_view record, const char* key) {
    if (!object.is_object()) {
        throw DecodeError(std::string(record) + " is not an object");
    }
    const auto it = object.find(key);
    if (it == object.end()) {
        throw DecodeError(std::string(record) + " lacks \"" + key + "\"");
    }
    return *it;
}

std::string stringMember(const json& object, std::string_view record, const char* key) {
    const auto& value = member(object, record, key);
    if (!value.is_string()) {
        throw DecodeError(std::string(record) + " \"" + key + "\" is not a string");
    }
    return value.get<std::string>();
}

double numberMember(const json& object, std::string_view record, const char* key) {
    const auto& value = member(object, record, key);
    if (!value.is_number()) {
        throw DecodeError(std::string(record) + " \"" + key + "\" is not a number");
    }
    // 1e400 parses as infinity, which JSON cannot write back: refuse it rather than store null.
    const auto number = value.get<double>();
    if (!std::isfinite(number)) {
        throw DecodeError(std::string(record) + " \"" + key + "\" is out of range");
    }
    return number;
}

std::uint32_t uint32Member(const json& object, std::string_view record, const char* key) {
    const auto& value = member(object, record, key);
    const auto fail = [&] {
        return DecodeError(std::string(record) + " \"" + key +
                           "\" is not an integer from 0 to 4294967295");
    };
    constexpr auto max = std::numeric_limits<std::uint32_t>::max();
    if (value.is_number_unsigned()) {
        const auto v = value.get<std::uint64_t>();
        if (v > max) {
            throw fail();
        }
        return static_cast<std::uint32_t>(v);
    }
    if (value.is_number_integer()) {
        const auto v = value.get<std::int64_t>();
        if (v < 0 || v > static_cast<std::int64_t>(max)) {
            throw fail();
        }
        return static_cast<std::uint32_t>(v);
    }
    if (value.is_number_float()) {
        // 36.0 is still the integer 36; 36.5 is not.
        const auto v = value.get<double>();
        if (!(v >= 0 && v <= max) || std::trunc(v) != v) {
            throw fail();
        }
        return static_cast<std::uint32_t>(v);
    }
    throw fail();
}

} // namespace

Uuid uuidFromJson(const json& value, std::string_view what) {
    if (!value.is_string()) {
        throw DecodeError(std::string(what) + " is not a UUID string");
    }
    const auto id = Uuid::parse(value.get_ref<const std::string&>());
    if (!id) {
        throw DecodeError(std::string(what) + " is not a valid UUID: \"" +
                          value.get<std::string>() + "\"");
    }
    return *id;
}

json toJson(const KeyCombo& combo) {
    return json{{"keyCode", combo.keyCode},
                {"carbonModifiers", combo.carbonModifiers},
                {"display", combo.display}};
}

json toJson(const Zone& zone) {
    json object{{"id", zone.id.string()}, {"name", zone.name},    {"x", zone.x}, {"y", zone.y},
                {"width", zone.width},    {"height", zone.height}};
    if (zone.shortcut) {
        object["shortcut"] = toJson(*zone.shortcut);
    }
    return object;
}

json toJson(const Layout& layout) {
    json zones = json::array();
    for (const auto& zone : layout.zones) {
        zones.push_back(toJson(zone));
    }
    return json{{"id", layout.id.string()}, {"name", layout.name}, {"zones", std::move(zones)}};
}

json toJson(const LayoutStorePayload& payload) {
    json layouts = json::array();
    for (const auto& layout : payload.layouts) {
        layouts.push_back(toJson(layout));
    }
    json assignments = json::object();
    for (const auto& [key, id] : payload.assignments) {
        assignments[key] = id.string();
    }
    json object{{"layouts", std::move(layouts)}, {"assignments", std::move(assignments)}};
    if (payload.seeded) {
        json seeded = json::array();
        for (const auto& id : *payload.seeded) {
            seeded.push_back(id.string());
        }
        object["seeded"] = std::move(seeded);
    }
    return object;
}

KeyCombo keyComboFromJson(const json& object) {
    return KeyCombo{uint32Member(object, "shortcut", "keyCode"),
                    uint32Member(object, "shortcut", "carbonModifiers"),
                    stringMember(object, "shortcut", "display")};
}

Zone zoneFromJson(const json& object) {
    Zone zone;
    zone.id = uuidFromJson(member(object, "zone", "id"), "zone \"id\"");
    zone.name = stringMember(object, "zone", "name");
    zone.x = numberMember(object, "zone", "x");
    zone.y = numberMember(object, "zone", "y");
    zone.width = numberMember(object, "zone", "width");
    zone.height = numberMember(object, "zone", "height");
    if (const auto it = object.find("shortcut"); it != object.end() && !it->is_null()) {
        zone.shortcut = keyComboFromJson(*it);
    }
    return zone;
}

Layout layoutFromJson(const json& object) {
    Layout layout;
    layout.id = uuidFromJson(member(object, "layout", "id"), "layout \"id\"");
    layout.name = stringMember(object, "layout", "name");
    const auto& zones = member(object, "layout", "zones");
    if (!zones.is_array()) {
        throw DecodeError("layout \"zones\" is not an array");
    }
    layout.zones.reserve(zones.size());
    for (const auto& zone : zones) {
        layout.zones.push_back(zoneFromJson(zone));
    }
    return layout;
}

LayoutStorePayload payloadFromJson(const json& object) {
    LayoutStorePayload payload;
    const auto& layouts = member(object, "document", "layouts");
    if (!layouts.is_array()) {
        throw DecodeError("\"layouts\" is not an array");
    }
    payload.layouts.reserve(layouts.size());
    for (const auto& layout : layouts) {
        payload.layouts.push_back(layoutFromJson(layout));
    }
    const auto& assignments = member(object, "document", "assignments");
    if (!assignments.is_object()) {
        throw DecodeError("\"assignments\" is not an object");
    }
    for (const auto& [key, value] : assignments.items()) {
        payload.assignments[key] = uuidFromJson(value, "assignment \"" + key + "\"");
    }
    if (const auto it = object.find("seeded"); it != object.end() && !it->is_null()) {
        if (!it->is_array()) {
            throw DecodeError("\"seeded\" is not an array");
        }
        std::vector<Uuid> seeded;
        seeded.reserve(it->size());
        for (const auto& id : *it) {
            seeded.push_back(uuidFromJson(id, "\"seeded\" entry"));
        }
        payload.seeded = std::move(seeded);
    }
    return payload;
}

std::string encodeJson(const json& value) {
    return value.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

Decoded<LayoutStorePayload> decodePayload(std::string_view bytes) {
    Decoded<LayoutStorePayload> result;
    try {
        const auto document = json::parse(bytes.begin(), bytes.end());
        result.value = payloadFromJson(document);
    } catch (const DecodeError& error) {
        result.error = error.what();
    } catch (const json::exception& error) {
        result.error = std::string("not valid JSON: ") + error.what();
    }
    return result;
}

} // namespace tessera
