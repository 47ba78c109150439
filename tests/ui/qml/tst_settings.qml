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

        function test_thePermissionsRowWarnsWhileAPermissionIsMissing() {
            const icon = child(page, "paneIcon-permissions")
            compare(icon.name, "lock.shield")
            for (const [accessibility, inputMonitoring] of [[true, false], [false, true]]) {
                sim.setPermissions(accessibility, inputMonitoring)
                tryCompare(AppViewModel, "accessibilityGranted", accessibility)
                tryCompare(icon, "name", "exclamationmark.circle.fill")
            }
            compare(child(page, "paneIcon-general").name, "gearshape")
            sim.setPermissions(true, true)
            tryCompare(icon, "name", "lock.shield")
        }

        function test_missingPermissionsOfferTheirOwnSystemSettingsPage() {
            mouseClick(row("permissions"))
            const pane = paneShown("PermissionsPane.qml")
            compare(child(pane, "accessibilityGranted").name, "checkmark.circle.fill")
            verify(child(pane, "inputMonitoringGranted").visible)
            verify(!child(pane, "accessibilityOpenSettings").visible)
            verify(!child(pane, "inputMonitoringOpenSettings").visible)

            sim.setPermissions(false, true)
            tryCompare(child(pane, "accessibilityOpenSettings"), "visible", true)
            verify(!child(pane, "accessibilityGranted").visible)
            verify(!child(pane, "inputMonitoringOpenSettings").visible)
            sim.setPermissions(false, false)
            tryCompare(child(pane, "inputMonitoringOpenSettings"), "visible", true)
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
        }
    }
}
