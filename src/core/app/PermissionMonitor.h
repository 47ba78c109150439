#pragma once

#include "../model/Signal.h"
#include "../platform/Accessibility.h"
#include "../platform/InputEvents.h"
#include "../platform/Scheduler.h"
#include "../platform/Workspace.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tessera {

struct PermissionStatus {
    // The process is trusted for Accessibility (reading and moving other windows).
    bool accessibility = false;
    // The process may listen to input events system-wide (Input Monitoring).
    bool inputMonitoring = false;

    friend bool operator==(const PermissionStatus&, const PermissionStatus&) = default;
};

// Knows whether Tessera holds its two permissions and notices when the user flips either in
// System Settings, by testing both every 1.5 seconds once polling has started. Every test is
// silent: the system is never asked to show its permission prompt, because the user grants
// access in System Settings, which openSettings opens at the right pane.
//
// Main thread only. The polling timer refers to the monitor weakly and is cancelled when the
// monitor is destroyed. Not copyable or movable, since the timer refers to it.
class PermissionMonitor {
public:
    static constexpr double pollInterval = 1.5;

    // The anchors of the two panes, appended to the addresses below.
    static constexpr std::string_view accessibilityAnchor = "Privacy_Accessibility";
    static constexpr std::string_view inputMonitoringAnchor = "Privacy_ListenEvent";
    // Deep links into System Settings, tried in this order: the Privacy & Security extension of
    // current systems, then the older Security pane. Each ends in "?" so the anchor follows it
    // directly as the whole query.
    static constexpr std::array<std::string_view, 2> settingsPaneAddresses = {
        "x-apple.systempreferences:com.apple.settings.PrivacySecurity.extension?",
        "x-apple.systempreferences:com.apple.preference.security?",
    };

    // Tests both permissions once; that is the first status, and nobody is told of it.
    PermissionMonitor(Accessibility& accessibility, InputEvents& inputEvents, Workspace& workspace,
                      Scheduler& scheduler);
    ~PermissionMonitor();
    PermissionMonitor(const PermissionMonitor&) = delete;
    PermissionMonitor& operator=(const PermissionMonitor&) = delete;

    // The last tested status.
    const PermissionStatus& status() const { return status_; }
    // Called with the new status each time a test finds it changed, never with an unchanged
    // one; both permissions flipping between two tests arrive as one change.
    [[nodiscard]] Connection onStatusChange(std::function<void(PermissionStatus)> handler) {
        return statusChanged_.connect(std::move(handler));
    }

    // Starts the repeating test, replacing the timer of an earlier call, so one timer runs
    // however often it is called. Polling then lasts as long as the monitor.
    void startPolling();
    bool isPolling() const { return timer_.isActive(); }
    // Tests both permissions now and announces the status if it changed.
    void refresh();

    // Opens System Settings at a permission's pane: the first address that, with the anchor
    // appended, is a valid URL. Nothing happens, and nothing is reported, when none is or
    // when the system can't open it.
    void openSettings(std::string_view anchor);

private:
    PermissionStatus test();

    Accessibility& accessibility_;
    InputEvents& inputEvents_;
    Workspace& workspace_;
    Scheduler& scheduler_;
    PermissionStatus status_;
    Signal<PermissionStatus> statusChanged_;
    JobHandle timer_;
    std::shared_ptr<const int> lifetime_ = std::make_shared<const int>(0);
};

// Whether the text is a URL as RFC 3986 writes one: a scheme, then only characters a URL may
// hold, every "%" starting an escape of two hexadecimal digits.
bool isValidURL(std::string_view text);

} // namespace tessera
