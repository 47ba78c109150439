#include "core/placement/ZoneMemory.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// Whatever a windows file holds: reading never crashes, and what reads is written back so that
// it reads as the same windows.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto decoded = tessera::decodeRememberedWindows(bytes);
    if (!decoded) {
        return 0;
    }
    const auto encoded = tessera::encodeRememberedWindows(*decoded.value);
    const auto again = tessera::decodeRememberedWindows(encoded);
    if (!again || *again.value != *decoded.value) {
        std::fprintf(stderr, "round trip changed the windows:\n%s\n%s\n", encoded.c_str(),
                     again.error.c_str());
        std::abort();
    }
    return 0;
}
