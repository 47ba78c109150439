import QtQuick
import QtTest
import Tessera

Item {
    id: root
    width: 1000
    height: 700

    Loader {
        id: loader
        anchors.fill: parent
        source: "qrc:/qt/qml/Tessera/SettingsPage.qml"
    }

    TestCase {
        name: "SettingsPage"
        when: windowShown

        function row(rawValue) { return findChild(loader.item, "paneRow-" + rawValue) }
        function paneLoader() { return findChild(loader.item, "paneLoader") }

        function init() {
            AppViewModel.settingsPane = "general"
            sim.setPermissions(true, true)
            tryCompare(AppViewModel, "accessNeeded", false)
        }

        function test_clickingARowSwitchesThePane() {
            tryVerify(() => paneLoader().status === Loader.Ready)
            verify(String(paneLoader().source).endsWith("/Tessera/GeneralPane.qml"))
            compare(paneLoader().item.objectName, "generalPane")

            mouseClick(row("permissions"))
            compare(AppViewModel.settingsPane, "permissions")
            tryVerify(() => String(paneLoader().source).endsWith("/Tessera/PermissionsPane.qml"))
            tryCompare(paneLoader(), "status", Loader.Ready)
            compare(paneLoader().item.objectName, "permissionsPane")
            verify(row("permissions").highlighted)
            verify(!row("general").highlighted)

            mouseClick(row("exclusions"))
            compare(AppViewModel.settingsPane, "exclusions")
            tryVerify(() => String(paneLoader().source).endsWith("/Tessera/ExclusionsPane.qml"))
        }

        function test_theStateChoosesThePaneToo() {
            // Other places open Settings at a pane (the badge opens Permissions).
            AppViewModel.openSettings("keyboard")
            tryVerify(() => String(paneLoader().source).endsWith("/Tessera/KeyboardPane.qml"))
            verify(row("keyboard").highlighted)
        }

        function test_thePermissionsRowWarnsWhileAPermissionIsMissing() {
            const icon = findChild(loader.item, "paneIcon-permissions")
            compare(icon.name, "lock.shield")
            sim.setPermissions(true, false)
            tryCompare(icon, "name", "exclamationmark.circle.fill")
            compare(findChild(loader.item, "paneIcon-general").name, "gearshape")
            sim.setPermissions(false, true)
            tryCompare(AppViewModel, "inputMonitoringGranted", true)
            compare(icon.name, "exclamationmark.circle.fill")
            sim.setPermissions(true, true)
            tryCompare(icon, "name", "lock.shield")
        }
    }
}
