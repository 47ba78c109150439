#pragma once

#include "core/platform/OverlaySurface.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace tessera {

// Everything one simulated overlay panel was asked to do. It outlives the panel, so a test can
// still see that a removed panel was ordered out before it went.
struct SimOverlaySurfaceRecord {
    enum class Call { setFrame, orderFront, orderOut };

    // The display frame the panel was created for.
    Rect createdFrame;
    Rect frame;
    bool onScreen = false;
    bool destroyed = false;
    // Calls in the order they came.
    std::vector<Call> calls;
    // The frames passed to setFrame, in order.
    std::vector<Rect> framesSet;
    // The state the panel's view draws.
    std::shared_ptr<OverlayState> state;
    // Assignments to the bound state, as a view would see them: one per announced change.
    std::size_t screenAssignments = 0;
    std::size_t hoveredAssignments = 0;
    std::size_t visibleAssignments = 0;

    std::size_t count(Call call) const;
};

// A panel that only records. Counts every assignment to its state, as the view bound to a real
// panel would redraw on each.
class SimOverlaySurface final : public OverlaySurface {
public:
    SimOverlaySurface(const Rect& frame, std::shared_ptr<OverlayState> state,
                      std::shared_ptr<SimOverlaySurfaceRecord> record);
    ~SimOverlaySurface() override;
    SimOverlaySurface(const SimOverlaySurface&) = delete;
    SimOverlaySurface& operator=(const SimOverlaySurface&) = delete;

    Rect frame() const override { return record_->frame; }
    void setFrame(const Rect& frame) override;
    void orderFront() override;
    void orderOut() override;

private:
    std::shared_ptr<SimOverlaySurfaceRecord> record_;
    Connection stateConnection_;
};

// Makes recording panels and keeps the record of every one it made, in creation order.
class SimOverlaySurfaceFactory final : public OverlaySurfaceFactory {
public:
    std::unique_ptr<OverlaySurface> makeSurface(const Rect& displayFrame,
                                                std::shared_ptr<OverlayState> state) override;

    const std::vector<std::shared_ptr<const SimOverlaySurfaceRecord>>& made() const {
        return made_;
    }
    // Panels made and not yet destroyed.
    std::size_t liveCount() const;
    // Panels not destroyed and currently on screen.
    std::size_t onScreenCount() const;

private:
    std::vector<std::shared_ptr<const SimOverlaySurfaceRecord>> made_;
};

} // namespace tessera
