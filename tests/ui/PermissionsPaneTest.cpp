#include "PermissionsPaneModel.h"
#include "QtTestSupport.h"
#include "SimShell.h"

#include "core/app/PermissionMonitor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessera::test {
namespace {

using shell::PermissionsPaneModel;

TEST(PermissionsPane, RowsFollowThePermissionsAsTheMonitorNoticesThem) {
    SimShell sim({.accessibility = false, .inputMonitoring = true});
    sim.start();
    auto& pane = sim.shell->permissionsPane();
    EXPECT_FALSE(pane.accessibilityGranted());
    EXPECT_TRUE(pane.inputMonitoringGranted());

    sim.desktop.setTrusted(true);
    sim.input.setListenEventAccess(false);
    EXPECT_GE(emissions(&pane, &PermissionsPaneModel::changed, [&] { sim.scheduler.advance(2); }),
              1);
    EXPECT_TRUE(pane.accessibilityGranted());
    EXPECT_FALSE(pane.inputMonitoringGranted());
}

TEST(PermissionsPane, EachRowOpensItsOwnPageOfSystemSettings) {
    SimShell sim({.accessibility = false, .inputMonitoring = false});
    sim.start();
    auto& pane = sim.shell->permissionsPane();
    const auto prefix = std::string(PermissionMonitor::settingsPaneAddresses.front());

    pane.openAccessibilitySettings();
    pane.openInputMonitoringSettings();
    EXPECT_EQ(sim.desktop.openedURLs(), (std::vector<std::string>{prefix + "Privacy_Accessibility",
                                                                  prefix + "Privacy_ListenEvent"}));
}

TEST(PermissionsPane, RelaunchGoesThroughTheApplication) {
    SimShell sim;
    sim.start();
    sim.shell->permissionsPane().relaunch();
    EXPECT_EQ(sim.services.count(SimAppServices::Call::relaunch), 1u);
}

} // namespace
} // namespace tessera::test
