#include "core/model/Json.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// Whatever a layouts file holds: decoding never crashes, and anything that decodes is written
// back so that it reads as the same document.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto decoded = tessera::decodePayload(bytes);
    if (!decoded) {
        return 0;
    }
    const auto encoded = tessera::encodeJson(tessera::toJson(*decoded.value));
    const auto again = tessera::decodePayload(encoded);
    if (!again || *again.value != *decoded.value) {
        std::fprintf(stderr, "round trip changed the document:\n%s\n%s\n", encoded.c_str(),
                     again.error.c_str());
        std::abort();
    }
    return 0;
}
