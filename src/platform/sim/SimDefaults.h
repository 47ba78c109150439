#pragma once

#include "core/platform/Defaults.h"

#include <cstddef>
#include <string>

namespace tessera {

// Preferences in memory. A test can make every write fail, as a full disk or a read-only
// preferences file would, to check that callers report it and read the real state back.
class SimDefaults final : public Defaults {
public:
    SimDefaults() = default;
    explicit SimDefaults(DefaultsDomain persistent) : domain_(std::move(persistent)) {}

    std::optional<DefaultsValue> object(std::string_view key) const override;
    DefaultsDomain persistentDomain() const override { return domain_; }
    bool set(std::string_view key, DefaultsValue value) override;
    bool remove(std::string_view key) override;
    void registerDefaults(const DefaultsDomain& defaults) override;
    std::string lastError() const override { return lastError_; }

    // While on, set and remove still change the values in memory but report failure.
    void failWrites(bool fail) { failWrites_ = fail; }
    // Calls of set and remove, failed ones included.
    std::size_t writeCount() const { return writeCount_; }
    const DefaultsDomain& registeredDefaults() const { return registered_; }

private:
    bool finishWrite();

    DefaultsDomain domain_;
    DefaultsDomain registered_;
    std::string lastError_;
    bool failWrites_ = false;
    std::size_t writeCount_ = 0;
};

} // namespace tessera
