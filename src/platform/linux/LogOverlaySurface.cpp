#include "LogOverlaySurface.h"

#include "core/app/Preferences.h"
#include "core/drag/OverlayRenderModel.h"

#include <array>
#include <charconv>
#include <utility>

namespace tessera {

namespace {

// Shortest text that reads back as the same number: "960", "86.5".
std::string number(double value) {
    std::array<char, 32> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    if (error != std::errc{}) {
        return "?";
    }
    return std::string(buffer.data(), end);
}

std::string rectText(const Rect& r) {
    return "(" + number(r.minX()) + ", " + number(r.minY()) + ", " + number(r.width()) + ", " +
           number(r.height()) + ")";
}

// Names come from the user; quotes and line breaks in them must not garble the line.
std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n' || c == '\r' || c == '\t') {
            out += ' ';
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

} // namespace

LogOverlaySurface::LogOverlaySurface(const Rect& frame, std::shared_ptr<OverlayState> state,
                                     Log& log, const Defaults& defaults)
    : frame_(frame), state_(std::move(state)), log_(log), defaults_(defaults) {
    // The panel owns the connection and the state outlives the panel's use of it, so the slot
    // never sees a panel that is gone.
    stateConnection_ = state_->onChange([this](OverlayState::Field) {
        if (onScreen_) {
            write("changed");
        }
    });
}

LogOverlaySurface::~LogOverlaySurface() = default;

void LogOverlaySurface::setFrame(const Rect& frame) {
    frame_ = frame;
}

void LogOverlaySurface::orderFront() {
    // The controller orders every panel front on every show; only the first counts as coming
    // on screen.
    if (onScreen_) {
        return;
    }
    onScreen_ = true;
    write("on screen");
}

void LogOverlaySurface::orderOut() {
    if (!onScreen_) {
        return;
    }
    onScreen_ = false;
    write("off screen");
}

void LogOverlaySurface::write(std::string_view event) {
    log_.write(
        overlayLogCategory, LogLevel::info,
        describe(event, frame_, state_->snapshot(), preferenceDouble(defaults_, prefs::cardScale)));
}

std::string LogOverlaySurface::describe(std::string_view event, const Rect& frame,
                                        const OverlayStateSnapshot& state,
                                        double cardScalePercent) {
    OverlayRenderInput input;
    input.state = state;
    input.cardScale = cardScalePercent;
    input.viewSize = frame.size;
    const auto render = renderOverlay(input);

    std::string line(event);
    line += ": display " + quoted(state.screen.id) + " " + rectText(frame) +
            (state.visible ? " visible" : " hidden");
    if (render.zones.empty()) {
        line += ", no zones";
        return line;
    }
    line += ":";
    for (std::size_t i = 0; i < render.zones.size(); ++i) {
        const auto& zone = render.zones[i];
        line += i == 0 ? " " : "; ";
        // The card's resting frame: where the drop test looks, whatever an animation shows.
        line += quoted(zone.card.name) + " zone " + rectText(zone.zoneRect) + " card " +
                rectText(zone.card.rect);
        if (state.hoveredID == zone.id) {
            line += " [highlighted]";
        }
    }
    return line;
}

std::unique_ptr<OverlaySurface>
LogOverlaySurfaceFactory::makeSurface(const Rect& displayFrame,
                                      std::shared_ptr<OverlayState> state) {
    return std::make_unique<LogOverlaySurface>(displayFrame, std::move(state), log_, defaults_);
}

} // namespace tessera
