#include "ShortcutRecorder.h"

#include "HotkeyCenter.h"
#include "KeyCombos.h"

#include <algorithm>

namespace tessera {

const ShortcutRecorder* RecorderCoordinator::listeningRecorder() const {
    const auto it = std::find_if(recorders_.begin(), recorders_.end(),
                                 [](const ShortcutRecorder* r) { return r->isListening(); });
    return it == recorders_.end() ? nullptr : *it;
}

void RecorderCoordinator::enroll(ShortcutRecorder* recorder) {
    recorders_.push_back(recorder);
}

void RecorderCoordinator::withdraw(ShortcutRecorder* recorder) {
    std::erase(recorders_, recorder);
}

void RecorderCoordinator::stopAllBut(ShortcutRecorder* starting) {
    // Stopping notifies observers, and an observer may destroy recorders; walk a copy and skip
    // any that has left in the meantime.
    const auto snapshot = recorders_;
    for (auto* recorder : snapshot) {
        const bool stillEnrolled =
            std::find(recorders_.begin(), recorders_.end(), recorder) != recorders_.end();
        if (recorder != starting && stillEnrolled && recorder->isListening()) {
            recorder->stopListening();
        }
    }
}

ShortcutRecorder::ShortcutRecorder(InputEvents& input, ShortcutBinding binding,
                                   HotkeyCenterAccess hotkeyCenter, const Localizer& localizer,
                                   std::shared_ptr<RecorderCoordinator> coordinator)
    : input_(input), binding_(std::move(binding)), hotkeyCenter_(std::move(hotkeyCenter)),
      localizer_(localizer), coordinator_(std::move(coordinator)) {
    if (coordinator_) {
        coordinator_->enroll(this);
    }
}

ShortcutRecorder::~ShortcutRecorder() {
    *alive_ = false;
    stop(false);
    if (coordinator_) {
        coordinator_->withdraw(this);
    }
}

void ShortcutRecorder::click() {
    if (listening_) {
        stopListening();
    } else {
        startListening();
    }
}

void ShortcutRecorder::startListening() {
    // At most one monitor of this control, and the center's suspension belongs to one period.
    stop(false);
    if (coordinator_) {
        coordinator_->stopAllBut(this);
    }
    listening_ = true;
    wroteThisPeriod_ = false;
    if (auto* center = hotkeyCenter(); center && !center->isSuspended()) {
        // Unregisters everything and registers nothing, so shortcuts already in use reach the
        // recorder instead of moving windows.
        center->setSuspended(true);
        center->registerAll();
    }
    monitor_ =
        input_.addLocalMonitor(eventMaskBit(InputEventType::keyDown),
                               [this](const MonitorEvent& event) { return handleKeyDown(event); });
    changed_.emit();
}

void ShortcutRecorder::stopListening() {
    stop(true);
}

void ShortcutRecorder::stop(bool notify) {
    monitor_.disconnect();
    const bool wasListening = listening_;
    if (wasListening) {
        if (auto* center = hotkeyCenter(); center && center->isSuspended()) {
            center->setSuspended(false);
            center->registerAll();
        }
    }
    listening_ = false;
    if (notify && wasListening) {
        changed_.emit();
    }
}

void ShortcutRecorder::removeShortcut() {
    if (listening_ || !combo()) {
        return;
    }
    if (binding_.set) {
        binding_.set(std::nullopt);
    }
    changed_.emit();
}

bool ShortcutRecorder::handleKeyDown(const MonitorEvent& event) {
    if (!listening_ || event.type != InputEventType::keyDown) {
        return false;
    }
    // From here on every key press is swallowed, so it never reaches the window.
    if (event.keyCode == recorderKey::escape) {
        stopListening();
        return true;
    }
    if (event.keyCode >= recorderKey::firstModifier && event.keyCode <= recorderKey::lastModifier) {
        return true;
    }
    if (wroteThisPeriod_) {
        return true;
    }
    wroteThisPeriod_ = true;
    const auto alive = alive_;
    if (binding_.set) {
        binding_.set(keyCombo(event.keyCode, event.modifierFlags, localizer_));
    }
    if (!*alive) {
        return true;
    }
    // The owner's own registerAll ran while the center was still suspended and registered
    // nothing; resuming now registers everything, the new shortcut included.
    stopListening();
    return true;
}

HotkeyCenter* ShortcutRecorder::hotkeyCenter() const {
    return hotkeyCenter_ ? hotkeyCenter_() : nullptr;
}

std::optional<KeyCombo> ShortcutRecorder::combo() const {
    return binding_.get ? binding_.get() : std::nullopt;
}

ShortcutRecorderState ShortcutRecorder::state() const {
    ShortcutRecorderState state;
    state.listening = listening_;
    const auto current = combo();
    if (listening_) {
        state.label = localizer_.localized("Press Shortcut…");
        state.linuxLabel = state.label;
    } else if (!current) {
        state.label = localizer_.localized("Record");
        state.linuxLabel = state.label;
    } else {
        state.label = current->display;
        state.linuxLabel = linuxShortcutText(*current, localizer_);
        state.labelIsCombo = true;
    }
    state.help = listening_ ? localizer_.localized("Esc to cancel")
                            : localizer_.localized("Click, then press a shortcut");
    state.showsRemoveButton = !listening_ && current.has_value();
    state.removeHelp = localizer_.localized("Remove Shortcut");
    return state;
}

} // namespace tessera
