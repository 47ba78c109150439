#include "SimDefaults.h"

namespace tessera {

std::optional<DefaultsValue> SimDefaults::object(std::string_view key) const {
    if (auto it = domain_.find(key); it != domain_.end()) {
        return it->second;
    }
    if (auto it = registered_.find(key); it != registered_.end()) {
        return it->second;
    }
    return std::nullopt;
}

bool SimDefaults::set(std::string_view key, DefaultsValue value) {
    domain_.insert_or_assign(std::string(key), std::move(value));
    return finishWrite();
}

bool SimDefaults::remove(std::string_view key) {
    if (auto it = domain_.find(key); it != domain_.end()) {
        domain_.erase(it);
    }
    return finishWrite();
}

void SimDefaults::registerDefaults(const DefaultsDomain& defaults) {
    for (const auto& [key, value] : defaults) {
        registered_.insert_or_assign(key, value);
    }
}

bool SimDefaults::finishWrite() {
    ++writeCount_;
    if (failWrites_) {
        lastError_ = "The preferences could not be saved (simulated write failure).";
        return false;
    }
    lastError_.clear();
    return true;
}

} // namespace tessera
