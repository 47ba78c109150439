#pragma once

#include <string_view>
#include <vector>

namespace tessera {

// One shipped string table: a language code and the table's JSON text (English key to text).
struct EmbeddedStringTable {
    std::string_view language;
    std::string_view json;
};

// Every table compiled into the program, English first.
std::vector<EmbeddedStringTable> embeddedStringTables();

} // namespace tessera
