#pragma once

#include <string>

namespace tessera {

// The platform's numbering of the login item's state.
enum class LoginItemStatus {
    notRegistered = 0,
    enabled = 1,
    // Registered, but the user still has to allow it in the system settings.
    requiresApproval = 2,
    notFound = 3,
};

// Whether Tessera opens when the user logs in. Failures are not shown to the user: callers
// read status() back, so the switch always shows the real state.
class LoginItem {
public:
    virtual ~LoginItem() = default;

    virtual LoginItemStatus status() const = 0;
    // Both return false on failure, with the system's reason in lastError().
    virtual bool registerItem() = 0;
    virtual bool unregisterItem() = 0;
    virtual std::string lastError() const = 0;
};

} // namespace tessera
