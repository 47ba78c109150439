#include "core/placement/CommandShortcuts.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// Whatever the preferences hold under a command's shortcut key: decoding never crashes, and a
// record that decodes is written back so that it reads as the same record.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto decoded = tessera::decodeStoredShortcut(bytes);
    if (!decoded) {
        return 0;
    }
    const auto encoded = tessera::encodeStoredShortcut(*decoded.value);
    if (!encoded) {
        std::fprintf(stderr, "a decoded record could not be encoded\n");
        std::abort();
    }
    const auto again = tessera::decodeStoredShortcut(*encoded);
    if (!again || *again.value != *decoded.value) {
        std::fprintf(stderr, "round trip changed the record:\n%s\n%s\n", encoded->c_str(),
                     again.error.c_str());
        std::abort();
    }
    return 0;
}
