#include "core/ui/Overview.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// Whatever `gsettings get … picture-uri` printed: reading it never crashes, and what it accepts
// is a plain absolute path (no NUL, no scheme left over).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view output(reinterpret_cast<const char*>(data), size);
    const auto file = tessera::pictureFileFromGSettings(output);
    if (!file) {
        return 0;
    }
    if (file->empty() || file->front() != '/' || file->find('\0') != std::string::npos) {
        std::fprintf(stderr, "accepted a path that isn't a plain absolute path\n");
        std::abort();
    }
    return 0;
}
