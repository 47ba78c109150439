#pragma once

#include "../model/Records.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tessera {

// The five layouts the program ships, in their fixed order, as fresh values. Their ids never
// change, so they (and their zones) are recognised in any stored file.
std::vector<Layout> builtInLayouts();

namespace builtin {
inline constexpr const char* stackHalfID = "11111111-1111-1111-1111-111111111111";
inline constexpr const char* halfStackID = "22222222-2222-2222-2222-222222222222";
inline constexpr const char* threeColumnsID = "33333333-3333-3333-3333-333333333333";
inline constexpr const char* columnsStackID = "44444444-4444-4444-4444-444444444444";
inline constexpr const char* verticalRowsID = "55555555-5555-5555-5555-555555555555";
} // namespace builtin

const Uuid& stackHalfLayoutID();
const Uuid& halfStackLayoutID();
const Uuid& verticalRowsLayoutID();

// The built-in layout with that id, as a fresh value; nothing for any other id.
std::optional<Layout> builtInLayout(const Uuid& id);

// Assignment keys of a new store: the two common wide display sizes, by points and by pixels.
std::map<std::string, Uuid> defaultAssignments();

// What a document written before "seeded" existed is taken to have offered: built-ins 1 to 4.
const std::vector<Uuid>& legacySeededIDs();

// The ids of the five layouts.
std::vector<Uuid> builtInLayoutIDs();

// Id to canonical English name, for the five layouts and their sixteen zones (21 entries).
const std::unordered_map<Uuid, std::string>& builtInNames();
const std::unordered_set<Uuid>& builtInIDs();

} // namespace tessera
