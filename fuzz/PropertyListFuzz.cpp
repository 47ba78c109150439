// Any bytes as the preferences left in the former container, which may be binary: reading must
// never crash, exhaust the stack or build an enormous tree, and whatever reads back must hold
// each key once.

#include "core/app/PropertyList.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto read = tessera::readPropertyListDictionary(
        bytes, tessera::PropertyListFormats::xmlOrBinary, &error);
    if (!read) {
        if (error.empty()) {
            std::fprintf(stderr, "a refused file gave no reason\n");
            std::abort();
        }
        return 0;
    }
    std::set<std::string> keys;
    for (const auto& entry : read->entries) {
        if (!keys.insert(entry.key).second) {
            std::fprintf(stderr, "key read twice: %s\n", entry.key.c_str());
            std::abort();
        }
    }
    for (const auto& key : read->skippedKeys) {
        if (!keys.insert(key).second) {
            std::fprintf(stderr, "key read twice: %s\n", key.c_str());
            std::abort();
        }
    }
    return 0;
}
