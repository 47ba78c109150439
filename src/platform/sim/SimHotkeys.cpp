#include "SimHotkeys.h"

#include <algorithm>

namespace tessera {

Connection SimHotkeys::installHandler(std::function<void(HotkeyID)> handler) {
    ++installCount_;
    return handlers_.connect(std::move(handler));
}

HotkeyRegistration SimHotkeys::registerHotkey(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                                              HotkeyID id) {
    ++registerCount_;
    if (auto failure = std::exchange(nextFailure_, std::nullopt)) {
        return {*failure, std::nullopt};
    }
    if (takenElsewhere_.contains({keyCode, carbonModifiers}) ||
        registeredID(keyCode, carbonModifiers).has_value()) {
        return {HotkeyStatus::alreadyTaken, std::nullopt};
    }
    const HotkeyRef ref{nextRef_++};
    registrations_.push_back({ref, keyCode, carbonModifiers, id});
    return {HotkeyStatus::ok, ref};
}

void SimHotkeys::unregisterHotkey(HotkeyRef ref) {
    ++unregisterCount_;
    std::erase_if(registrations_, [&](const Registration& r) { return r.ref == ref; });
}

void SimHotkeys::markTakenByOtherApplication(std::uint32_t keyCode, std::uint32_t carbonModifiers) {
    takenElsewhere_.insert({keyCode, carbonModifiers});
}

void SimHotkeys::releaseFromOtherApplication(std::uint32_t keyCode, std::uint32_t carbonModifiers) {
    takenElsewhere_.erase({keyCode, carbonModifiers});
}

bool SimHotkeys::press(std::uint32_t keyCode, std::uint32_t carbonModifiers) {
    const auto id = registeredID(keyCode, carbonModifiers);
    if (!id) {
        return false;
    }
    handlers_.emit(*id);
    return true;
}

std::vector<std::uint32_t> SimHotkeys::registeredIDs() const {
    std::vector<std::uint32_t> ids;
    ids.reserve(registrations_.size());
    for (const auto& r : registrations_) {
        ids.push_back(r.id.id);
    }
    return ids;
}

std::optional<HotkeyID> SimHotkeys::registeredID(std::uint32_t keyCode,
                                                 std::uint32_t carbonModifiers) const {
    const auto it = std::find_if(registrations_.begin(), registrations_.end(), [&](const auto& r) {
        return r.keyCode == keyCode && r.carbonModifiers == carbonModifiers;
    });
    if (it == registrations_.end()) {
        return std::nullopt;
    }
    return it->id;
}

} // namespace tessera
