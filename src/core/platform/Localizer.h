#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

// The application's string tables: English text is the key, one table per shipped language.
class Localizer {
public:
    virtual ~Localizer() = default;

    // The language in effect for this process ("en", "ru", ...).
    virtual std::string language() const = 0;
    // The key looked up in the table of the language in effect; the key itself when missing.
    virtual std::string localized(std::string_view key) const = 0;
    // Shipped languages, in the bundle's order.
    virtual std::vector<std::string> languages() const = 0;
    // The entry of one language's table; nothing when that language or entry is missing.
    virtual std::optional<std::string> lookup(std::string_view key,
                                              std::string_view language) const = 0;
};

} // namespace tessera
