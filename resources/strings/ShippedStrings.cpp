#include "ShippedStrings.h"

#include "EmbeddedStrings.h"

#include <cstdio>
#include <cstdlib>

namespace tessera {

std::shared_ptr<const StringTables> shippedStringTables() {
    auto tables = std::make_shared<StringTables>();
    for (const auto& table : embeddedStringTables()) {
        if (const auto error = tables->add(table.language, table.json); !error.empty()) {
            std::fprintf(stderr, "tessera: %s\n", error.c_str());
            std::abort();
        }
    }
    return tables;
}

} // namespace tessera
