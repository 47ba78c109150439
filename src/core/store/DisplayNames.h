#pragma once

#include "../model/Uuid.h"
#include "../platform/Localizer.h"

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessera {

// Names earlier versions stored, mapped to the current canonical English name (31 entries).
const std::vector<std::pair<std::string, std::string>>& legacyNames();
// Suffixes earlier versions appended when splitting a zone, mapped to today's format keys, in
// the order they are tried.
const std::vector<std::pair<std::string, std::string>>& legacySuffixes();

// The text to show for a layout or zone: built-in names and names of earlier versions in the
// current language, a name of the user's own unchanged. Never changes what is stored.
std::string displayName(const Uuid& id, std::string_view name, const Localizer& localizer);

// The legacy part of displayName: the current localized name for a name an earlier version
// stored, or nothing.
std::optional<std::string> legacyName(std::string_view name, bool isBuiltIn,
                                      const Localizer& localizer);

// The key's text in every shipped language (the key itself where a table lacks it).
std::set<std::string> translations(std::string_view key, const Localizer& localizer);

} // namespace tessera
