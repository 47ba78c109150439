#include "PermissionMonitor.h"

#include <algorithm>

namespace tessera {

PermissionMonitor::PermissionMonitor(Accessibility& accessibility, InputEvents& inputEvents,
                                     Workspace& workspace, Scheduler& scheduler)
    : accessibility_(accessibility), inputEvents_(inputEvents), workspace_(workspace),
      scheduler_(scheduler), status_(test()) {}

PermissionMonitor::~PermissionMonitor() {
    timer_.cancel();
}

PermissionStatus PermissionMonitor::test() {
    // Asking without the prompt: the system would otherwise put up its own dialog at every tick
    // while access is missing.
    return {accessibility_.isProcessTrustedWithPrompt(false),
            inputEvents_.preflightListenEventAccess()};
}

void PermissionMonitor::startPolling() {
    timer_.cancel();
    std::weak_ptr<const int> alive = lifetime_;
    timer_ = scheduler_.every(pollInterval, [this, alive] {
        if (alive.lock()) {
            refresh();
        }
    });
}

void PermissionMonitor::refresh() {
    const auto tested = test();
    if (tested == status_) {
        return;
    }
    status_ = tested;
    statusChanged_.emit(status_);
}

void PermissionMonitor::openSettings(std::string_view anchor) {
    for (const auto prefix : settingsPaneAddresses) {
        auto address = std::string(prefix) + std::string(anchor);
        if (isValidURL(address)) {
            workspace_.openURL(address);
            return;
        }
    }
}

namespace {

// ASCII only, whatever the locale: a URL is made of these.
bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHexDigit(char c) {
    return isAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

bool isValidURL(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || !isAsciiLetter(text[0])) {
        return false;
    }
    const auto schemeCharacter = [](char c) {
        return isAsciiLetter(c) || isAsciiDigit(c) || c == '+' || c == '-' || c == '.';
    };
    if (!std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(colon),
                     schemeCharacter)) {
        return false;
    }
    constexpr std::string_view allowed = "-._~:/?#[]@!$&'()*+,;=";
    for (std::size_t i = colon + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2])) {
                return false;
            }
            i += 2;
        } else if (!isAsciiLetter(c) && !isAsciiDigit(c) &&
                   allowed.find(c) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

} // namespace tessera
