#pragma once

#include "../platform/Defaults.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

// Reading property lists that come from outside (the preferences file, the preferences left in
// the former container). libplist 2.2 builds, frees and writes its trees recursively and copies
// a binary file's shared objects once for every reference, so the bytes are checked before it
// sees them: a hostile or damaged file is refused instead of exhausting the stack or memory.

// A preferences file is a few kilobytes; anything near this is not one, and libplist takes
// lengths as 32-bit numbers.
inline constexpr std::size_t maxPropertyListSize = 32 * 1024 * 1024;
// Preferences nest two deep; files from other tools rarely more than a handful.
inline constexpr int maxPropertyListNesting = 100;
// What the tree libplist would build from a binary file may hold: objects counted once for
// every reference to them, and bytes of their contents.
inline constexpr std::uint64_t maxPropertyListObjects = 1'000'000;
inline constexpr std::uint64_t maxPropertyListContentBytes = 64 * 1024 * 1024;

enum class PropertyListFormats {
    // Binary files are refused: the preferences file is always written as XML.
    xmlOnly,
    xmlOrBinary,
};

struct PropertyListEntry {
    std::string key;
    DefaultsValue value;

    friend bool operator==(const PropertyListEntry&, const PropertyListEntry&) = default;
};

// The top-level dictionary of a property list, as far as preferences can hold it.
struct PropertyListDictionary {
    // Values of the types preferences use, in the file's order. A key given twice counts once,
    // the later value winning, as libplist's own lookups do.
    std::vector<PropertyListEntry> entries;
    // Keys whose values have another type (a date, a dictionary, an array holding anything but
    // strings, an integer beyond the signed 64-bit range), in the file's order.
    std::vector<std::string> skippedKeys;
};

// Fails (nothing, with the reason in *error) on anything that is not a property list of an
// accepted format whose top level is a dictionary, and on a file beyond the limits above.
std::optional<PropertyListDictionary>
readPropertyListDictionary(std::string_view bytes, PropertyListFormats formats, std::string* error);

// ---- For readers that keep libplist's own nodes -----------------------------------------------

// libplist's plist_t, named here so that callers need not see libplist's header.
using PropertyListNode = void*;
struct PropertyListNodeFree {
    void operator()(PropertyListNode node) const;
};
using OwnedPropertyList = std::unique_ptr<void, PropertyListNodeFree>;

// The checks and the parse of readPropertyListDictionary: the root, always a dictionary, or
// null with the reason in *error.
OwnedPropertyList parsePropertyListDictionary(std::string_view bytes, PropertyListFormats formats,
                                              std::string* error);
// The node as a preferences value, or nothing when its type is not one preferences use.
std::optional<DefaultsValue> supportedPropertyListValue(PropertyListNode node);
// The node written as an XML property list.
std::string propertyListNodeAsXml(PropertyListNode node);

} // namespace tessera
