#include "SimLoginItem.h"

namespace tessera {

bool SimLoginItem::registerItem() {
    ++registerCount_;
    return finish(requiresApproval_ ? LoginItemStatus::requiresApproval : LoginItemStatus::enabled);
}

bool SimLoginItem::unregisterItem() {
    ++unregisterCount_;
    return finish(LoginItemStatus::notRegistered);
}

bool SimLoginItem::finish(LoginItemStatus next) {
    if (refusal_) {
        lastError_ = *refusal_;
        return false;
    }
    lastError_.clear();
    status_ = next;
    return true;
}

} // namespace tessera
