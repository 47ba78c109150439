#pragma once

#include "core/platform/Defaults.h"
#include "core/platform/Log.h"
#include "core/platform/OverlaySurface.h"

#include <memory>
#include <string>
#include <string_view>

namespace tessera {

// The log category of what the overlay shows.
inline constexpr std::string_view overlayLogCategory = "overlay";

// An overlay panel for a program without a screen of its own (`tesseractl run`): it draws
// nothing and writes what it would show to the log, at info level, one line each time it comes
// on screen, leaves it, or its state announces a change while it is on screen:
//
//   on screen: display "<id>" (x, y, w, h) hidden: "Left" zone (…) card (…); "Right" zone (…)
//   card (…) [highlighted]
//
// The display frame is in the bottom-left system, as the core has it; zone and card frames are
// relative to the display's top-left corner (y down), where the overlay's view draws them.
// Cards are listed in drawing order; the hovered one, which a drop would fill, is marked.
class LogOverlaySurface final : public OverlaySurface {
public:
    LogOverlaySurface(const Rect& frame, std::shared_ptr<OverlayState> state, Log& log,
                      const Defaults& defaults);
    ~LogOverlaySurface() override;
    LogOverlaySurface(const LogOverlaySurface&) = delete;
    LogOverlaySurface& operator=(const LogOverlaySurface&) = delete;

    Rect frame() const override { return frame_; }
    void setFrame(const Rect& frame) override;
    void orderFront() override;
    void orderOut() override;
    bool isOnScreen() const { return onScreen_; }

    // The line written for an event ("on screen", "off screen", "changed") and a state.
    static std::string describe(std::string_view event, const Rect& frame,
                                const OverlayStateSnapshot& state, double cardScalePercent);

private:
    void write(std::string_view event);

    Rect frame_;
    std::shared_ptr<OverlayState> state_;
    Log& log_;
    const Defaults& defaults_;
    bool onScreen_ = false;
    Connection stateConnection_;
};

// Makes logging panels. Log and preferences (the card scale is read at each line) must outlive
// every panel made.
class LogOverlaySurfaceFactory final : public OverlaySurfaceFactory {
public:
    LogOverlaySurfaceFactory(Log& log, const Defaults& defaults) : log_(log), defaults_(defaults) {}

    std::unique_ptr<OverlaySurface> makeSurface(const Rect& displayFrame,
                                                std::shared_ptr<OverlayState> state) override;

private:
    Log& log_;
    const Defaults& defaults_;
};

} // namespace tessera
