#include "core/backup/Backup.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

// Whatever a chosen backup file holds: reading never crashes, and anything accepted is written
// back so that it reads as the same backup.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto decoded = tessera::decodeBackup(bytes);
    if (!decoded) {
        return 0;
    }
    std::string error;
    const auto encoded = tessera::encodeBackupBytes(*decoded.backup, &error);
    if (!error.empty()) {
        std::fprintf(stderr, "an accepted backup can't be written: %s\n", error.c_str());
        std::abort();
    }
    const auto again = tessera::decodeBackup(encoded);
    if (!again || *again.backup != *decoded.backup) {
        std::fprintf(stderr, "round trip changed the backup:\n%s\n%s\n", encoded.c_str(),
                     again.detail.c_str());
        std::abort();
    }
    return 0;
}
