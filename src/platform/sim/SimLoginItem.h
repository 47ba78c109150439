#pragma once

#include "core/platform/LoginItem.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

namespace tessera {

// The login item, simulated. Registering turns it on (or leaves it waiting for the user's
// approval when the test asks for that); unregistering turns it off. A test can make the system
// refuse every change, which leaves the status as it was and reports the reason.
class SimLoginItem final : public LoginItem {
public:
    explicit SimLoginItem(LoginItemStatus initial = LoginItemStatus::notRegistered)
        : status_(initial) {}

    LoginItemStatus status() const override { return status_; }
    bool registerItem() override;
    bool unregisterItem() override;
    std::string lastError() const override { return lastError_; }

    // --- Test side ---
    // The status changes behind the application's back, as System Settings would do it.
    void setStatus(LoginItemStatus status) { status_ = status; }
    // From now on every change fails with this reason (nothing: changes succeed again).
    void refuseChanges(std::optional<std::string> reason) { refusal_ = std::move(reason); }
    // Registering leaves the item waiting for the user's approval instead of enabled.
    void setRequiresApproval(bool required) { requiresApproval_ = required; }

    // --- Inspection ---
    // Calls made, refused ones included.
    std::size_t registerCount() const { return registerCount_; }
    std::size_t unregisterCount() const { return unregisterCount_; }

private:
    bool finish(LoginItemStatus next);

    LoginItemStatus status_;
    std::optional<std::string> refusal_;
    std::string lastError_;
    bool requiresApproval_ = false;
    std::size_t registerCount_ = 0;
    std::size_t unregisterCount_ = 0;
};

} // namespace tessera
