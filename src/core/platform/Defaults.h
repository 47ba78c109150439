#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tessera {

using Bytes = std::vector<std::uint8_t>;

// One stored preference. The alternatives are the property-list types preferences use; their
// order matters to nobody but is fixed so stored files read back identically.
using DefaultsValue =
    std::variant<bool, std::int64_t, double, std::string, Bytes, std::vector<std::string>>;
using DefaultsDomain = std::map<std::string, DefaultsValue, std::less<>>;

// The user's preferences domain, with registered defaults answering keys never set.
class Defaults {
public:
    virtual ~Defaults() = default;

    // The stored value, else the registered default, else nothing.
    virtual std::optional<DefaultsValue> object(std::string_view key) const = 0;
    // Only what the user's own domain holds (no registered defaults).
    virtual DefaultsDomain persistentDomain() const = 0;
    // Both return false when the change could not be made durable; the reason is then in
    // lastError(). The value is kept in memory either way.
    virtual bool set(std::string_view key, DefaultsValue value) = 0;
    virtual bool remove(std::string_view key) = 0;
    // Registered values answer reads of unset keys and are never written.
    virtual void registerDefaults(const DefaultsDomain& defaults) = 0;
    virtual std::string lastError() const { return {}; }
};

} // namespace tessera
