#include "core/app/PermissionMonitor.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimInputEvents.h"
#include "platform/sim/SimScheduler.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace tessera;

namespace {

class PermissionMonitorTest : public ::testing::Test {
protected:
    // The monitor is made on demand so each test first sets the permissions it starts with.
    PermissionMonitor& monitor() {
        if (!monitor_) {
            monitor_ = std::make_unique<PermissionMonitor>(desktop, input, desktop, scheduler);
            connection_ = monitor_->onStatusChange(
                [this](PermissionStatus status) { published.push_back(status); });
        }
        return *monitor_;
    }
    void destroyMonitor() {
        connection_.disconnect();
        monitor_.reset();
    }
    void grant(bool accessibility, bool inputMonitoring) {
        desktop.setTrusted(accessibility);
        input.setListenEventAccess(inputMonitoring);
    }
    std::size_t trustChecks() const { return desktop.count(SimCallKind::trustCheck); }

    SimDesktop desktop;
    SimInputEvents input{desktop.displays()};
    SimScheduler scheduler;
    std::vector<PermissionStatus> published;

private:
    std::unique_ptr<PermissionMonitor> monitor_;
    Connection connection_;
};

} // namespace

TEST_F(PermissionMonitorTest, TheFirstStatusIsTestedAtCreationWithoutPromptOrTimer) {
    grant(false, true);
    EXPECT_EQ(monitor().status(), (PermissionStatus{false, true}));
    EXPECT_TRUE(published.empty());
    EXPECT_FALSE(monitor().isPolling());
    EXPECT_EQ(scheduler.pendingCount(), 0U);

    // Without polling a flip goes unnoticed until someone asks.
    grant(true, true);
    scheduler.advance(10);
    EXPECT_EQ(monitor().status(), (PermissionStatus{false, true}));
    monitor().refresh();
    EXPECT_EQ(monitor().status(), (PermissionStatus{true, true}));
    EXPECT_EQ(published, (std::vector<PermissionStatus>{{true, true}}));

    // Every check asked the system explicitly not to prompt.
    ASSERT_EQ(trustChecks(), 2U);
    for (const auto& call : desktop.calls()) {
        if (call.kind == SimCallKind::trustCheck) {
            EXPECT_EQ(call.value, std::optional<AttributeValue>(false));
        }
    }
}

TEST_F(PermissionMonitorTest, PollingPublishesEachChangeOnceAndNothingElse) {
    grant(false, false);
    monitor().startPolling();
    EXPECT_TRUE(monitor().isPolling());

    // Ten ticks with nothing changed test ten times and publish nothing.
    scheduler.advance(15);
    EXPECT_EQ(trustChecks(), 11U);
    EXPECT_TRUE(published.empty());

    // Granting Accessibility shows within one interval.
    grant(true, false);
    scheduler.advance(PermissionMonitor::pollInterval);
    EXPECT_EQ(published, (std::vector<PermissionStatus>{{true, false}}));
    EXPECT_EQ(monitor().status(), (PermissionStatus{true, false}));
    scheduler.advance(6);
    EXPECT_EQ(published.size(), 1U);

    // Both flipping between two ticks arrive as one change.
    grant(false, true);
    scheduler.advance(PermissionMonitor::pollInterval);
    EXPECT_EQ(published, (std::vector<PermissionStatus>{{true, false}, {false, true}}));

    // A flip undone before the next tick is no change.
    grant(true, true);
    scheduler.advance(0.5);
    grant(false, true);
    scheduler.advance(PermissionMonitor::pollInterval);
    EXPECT_EQ(published.size(), 2U);

    // Withdrawing is a change like any other.
    grant(false, false);
    scheduler.advance(PermissionMonitor::pollInterval);
    EXPECT_EQ(published.back(), (PermissionStatus{false, false}));
    EXPECT_EQ(published.size(), 3U);
}

TEST_F(PermissionMonitorTest, StartingPollingAgainReplacesTheTimerAndPollingEndsWithTheMonitor) {
    monitor().startPolling();
    scheduler.advance(1.0);
    monitor().startPolling();
    const auto before = trustChecks();
    // The first timer would have fired at 1.5; the new one first fires 1.5 after its start.
    scheduler.advance(1.4);
    EXPECT_EQ(trustChecks(), before);
    scheduler.advance(0.1 + PermissionMonitor::pollInterval * 4);
    EXPECT_EQ(trustChecks(), before + 5) << "one test per interval, not two";

    destroyMonitor();
    EXPECT_EQ(scheduler.pendingCount(), 0U);
    scheduler.advance(10);
    EXPECT_EQ(trustChecks(), before + 5);
}

TEST_F(PermissionMonitorTest, OpenSettingsOpensThePrivacyPaneWithTheAnchor) {
    monitor().openSettings(PermissionMonitor::inputMonitoringAnchor);
    monitor().openSettings(PermissionMonitor::accessibilityAnchor);
    EXPECT_EQ(desktop.openedURLs(),
              (std::vector<std::string>{
                  "x-apple.systempreferences:com.apple.settings.PrivacySecurity.extension?"
                  "Privacy_ListenEvent",
                  "x-apple.systempreferences:com.apple.settings.PrivacySecurity.extension?"
                  "Privacy_Accessibility"}));
    EXPECT_EQ(PermissionMonitor::settingsPaneAddresses[1],
              "x-apple.systempreferences:com.apple.preference.security?");

    // A system that can't open it gets no second try and no report.
    desktop.clearCalls();
    desktop.setOpenURLResult(false);
    monitor().openSettings(PermissionMonitor::accessibilityAnchor);
    EXPECT_EQ(desktop.openedURLs().size(), 1U);

    // An anchor that makes no valid address opens nothing.
    desktop.clearCalls();
    monitor().openSettings("Privacy Accessibility");
    monitor().openSettings("Privacy_%zz");
    EXPECT_TRUE(desktop.openedURLs().empty());
}

TEST(URLValidityTest, SchemesAndCharactersFollowTheURLSyntax) {
    for (const char* valid :
         {"x-apple.systempreferences:com.apple.preference.security?Privacy",
          "https://example.com/a%20b?q=1&r=[2]#frag", "mailto:someone@example.com"}) {
        EXPECT_TRUE(isValidURL(valid)) << valid;
    }
    for (const char* invalid :
         {"", "no scheme here", ":empty-scheme", "1http://digit-first", "ht tp://space-in-scheme",
          "https://example.com/a b", "https://example.com/%2", "https://example.com/%g0",
          "https://example.com/\"quoted\"", "https://example.com/ζ"}) {
        EXPECT_FALSE(isValidURL(invalid)) << invalid;
    }
}
