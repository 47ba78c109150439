import QtQuick
import Tessera

// The Settings page with its list of panes, and the Permissions pane.
Item {
    width: 1000
    height: 700

    ShellTestCase {
        name: "SettingsPage"
        source: "SettingsPage.qml"
        property Item page

        function row(rawValue) { return child(page, "paneRow-" + rawValue) }
        function paneLoader() { return child(page, "paneLoader") }
        function paneShown(file) {
            tryVerify(() => String(paneLoader().source).endsWith("/Tessera/" + file)
                      && paneLoader().status === Loader.Ready, 5000, file)
            return paneLoader().item
        }

        function init() {
            AppViewModel.settingsPane = "general"
            sim.setPermissions(true, true)
            tryCompare(AppViewModel, "accessNeeded", false)
            page = load()
        }

        function test_clickingARowOrTheStateSwitchesThePane() {
            compare(paneShown("GeneralPane.qml").objectName, "generalPane")
            mouseClick(row("permissions"))
            compare(AppViewModel.settingsPane, "permissions")
            compare(paneShown("PermissionsPane.qml").objectName, "permissionsPane")
            verify(row("permissions").highlighted)
            verify(!row("general").highlighted)
            // Other places open Settings at a pane (the badge opens Permissions).
            AppViewModel.openSettings("keyboard")
            paneShown("KeyboardPane.qml")
            verify(row("keyboard").highlighted)
        }

        // The row's icon warns while either permission is missing; the pane offers each one's page.
        function test_missingPermissionsWarnAndOfferTheirOwnSystemSettingsPage() {
            const icon = child(page, "paneIcon-permissions")
            compare(icon.name, "lock.shield")
            mouseClick(row("permissions"))
            const pane = paneShown("PermissionsPane.qml")
            compare(child(pane, "accessibilityGranted").name, "checkmark.circle.fill")
            verify(child(pane, "inputMonitoringGranted").visible)
            verify(!child(pane, "accessibilityOpenSettings").visible)
            verify(!child(pane, "inputMonitoringOpenSettings").visible)

            sim.setPermissions(true, false)
            tryCompare(child(pane, "inputMonitoringOpenSettings"), "visible", true)
            tryCompare(icon, "name", "exclamationmark.circle.fill")
            verify(!child(pane, "inputMonitoringGranted").visible)
            verify(!child(pane, "accessibilityOpenSettings").visible)
            sim.setPermissions(false, false)
            tryCompare(child(pane, "accessibilityOpenSettings"), "visible", true)
            verify(!child(pane, "accessibilityGranted").visible)
            // The buttons take the check marks' places once the rows are laid out again.
            waitForRendering(pane)
            for (const [button, page] of [["accessibilityOpenSettings", "?Privacy_Accessibility"],
                                          ["inputMonitoringOpenSettings", "?Privacy_ListenEvent"]]) {
                const before = sim.openedURLs().length
                mouseClick(child(pane, button))
                const opened = sim.openedURLs()
                compare(opened.length, before + 1)
                verify(opened[before].endsWith(page), opened)
            }
            const relaunches = sim.relaunchRequests()
            mouseClick(child(pane, "relaunchTessera"))
            compare(sim.relaunchRequests(), relaunches + 1)
            sim.setPermissions(true, true)
            tryCompare(icon, "name", "lock.shield")
        }
    }
}
