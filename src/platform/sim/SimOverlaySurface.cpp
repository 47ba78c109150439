#include "SimOverlaySurface.h"

#include <algorithm>
#include <utility>

namespace tessera {

std::size_t SimOverlaySurfaceRecord::count(Call call) const {
    return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), call));
}

SimOverlaySurface::SimOverlaySurface(const Rect& frame, std::shared_ptr<OverlayState> state,
                                     std::shared_ptr<SimOverlaySurfaceRecord> record)
    : record_(std::move(record)) {
    record_->createdFrame = frame;
    record_->frame = frame;
    record_->state = state;
    // Weak, since the record holds the state whose signal holds this slot.
    std::weak_ptr<SimOverlaySurfaceRecord> weak = record_;
    stateConnection_ = state->onChange([weak](OverlayState::Field field) {
        const auto record = weak.lock();
        if (!record) {
            return;
        }
        switch (field) {
        case OverlayState::Field::screen:
            ++record->screenAssignments;
            break;
        case OverlayState::Field::hoveredID:
            ++record->hoveredAssignments;
            break;
        case OverlayState::Field::visible:
            ++record->visibleAssignments;
            break;
        }
    });
}

SimOverlaySurface::~SimOverlaySurface() {
    record_->destroyed = true;
    record_->onScreen = false;
}

void SimOverlaySurface::setFrame(const Rect& frame) {
    record_->frame = frame;
    record_->framesSet.push_back(frame);
    record_->calls.push_back(SimOverlaySurfaceRecord::Call::setFrame);
}

void SimOverlaySurface::orderFront() {
    record_->onScreen = true;
    record_->calls.push_back(SimOverlaySurfaceRecord::Call::orderFront);
}

void SimOverlaySurface::orderOut() {
    record_->onScreen = false;
    record_->calls.push_back(SimOverlaySurfaceRecord::Call::orderOut);
}

std::unique_ptr<OverlaySurface>
SimOverlaySurfaceFactory::makeSurface(const Rect& displayFrame,
                                      std::shared_ptr<OverlayState> state) {
    auto record = std::make_shared<SimOverlaySurfaceRecord>();
    made_.push_back(record);
    return std::make_unique<SimOverlaySurface>(displayFrame, std::move(state), std::move(record));
}

std::size_t SimOverlaySurfaceFactory::liveCount() const {
    return static_cast<std::size_t>(
        std::count_if(made_.begin(), made_.end(), [](const auto& r) { return !r->destroyed; }));
}

std::size_t SimOverlaySurfaceFactory::onScreenCount() const {
    return static_cast<std::size_t>(std::count_if(
        made_.begin(), made_.end(), [](const auto& r) { return !r->destroyed && r->onScreen; }));
}

} // namespace tessera
