#include "platform/kwin/KWinMessages.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "%s\n", what);
        std::abort();
    }
}

bool sane(const tessera::Rect& r) {
    return std::isfinite(r.minX()) && std::isfinite(r.minY()) && r.width() >= 0 &&
           r.height() >= 0 && std::isfinite(r.width()) && std::isfinite(r.height());
}

} // namespace

// Whatever reaches Tessera's bridge object as a report or a poll from a KWin script: reading it
// never crashes, and whatever is accepted carries usable rectangles and ids.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)tessera::parsePollToken(text);
    const auto event = tessera::parseBridgeEvent(text);
    if (!event) {
        return 0;
    }
    for (const auto& window : event->windows) {
        require(!window.id.empty(), "a window without an id was accepted");
        require(sane(window.frame), "a window with an unusable frame was accepted");
    }
    for (const auto& output : event->outputs) {
        require(sane(output.frame) && output.frame.width() > 0 && output.frame.height() > 0,
                "an output with an unusable frame was accepted");
        require(sane(output.area), "an output with an unusable area was accepted");
    }
    return 0;
}
