import QtQuick
import QtTest
import Tessera

Item {
    id: root
    width: 900
    height: 700

    Loader {
        id: loader
        anchors.fill: parent
        source: "qrc:/qt/qml/Tessera/PermissionsPane.qml"
    }

    TestCase {
        name: "PermissionsPane"
        when: windowShown

        function child(name) {
            const found = findChild(loader.item, name)
            verify(found, name)
            return found
        }

        function test_grantedPermissionsShowACheckMark() {
            sim.setPermissions(true, true)
            tryCompare(child("accessibilityGranted"), "visible", true)
            compare(child("accessibilityGranted").name, "checkmark.circle.fill")
            compare(child("inputMonitoringGranted").visible, true)
            compare(child("accessibilityOpenSettings").visible, false)
            compare(child("inputMonitoringOpenSettings").visible, false)
        }

        function test_missingPermissionsOfferTheirOwnSystemSettingsPage() {
            sim.setPermissions(false, true)
            tryCompare(child("accessibilityOpenSettings"), "visible", true)
            compare(child("accessibilityGranted").visible, false)
            compare(child("inputMonitoringOpenSettings").visible, false)

            sim.setPermissions(false, false)
            tryCompare(child("inputMonitoringOpenSettings"), "visible", true)

            const before = sim.openedURLs().length
            // The buttons take the check marks' places once the rows are laid out again.
            waitForRendering(loader.item)
            mouseClick(child("accessibilityOpenSettings"))
            let opened = sim.openedURLs()
            compare(opened.length, before + 1)
            verify(opened[opened.length - 1].endsWith("?Privacy_Accessibility"), opened)

            mouseClick(child("inputMonitoringOpenSettings"))
            opened = sim.openedURLs()
            compare(opened.length, before + 2)
            verify(opened[opened.length - 1].endsWith("?Privacy_ListenEvent"), opened)
        }

        function test_relaunchTesseraRelaunches() {
            const before = sim.relaunchRequests()
            const button = child("relaunchTessera")
            mouseClick(button)
            compare(sim.relaunchRequests(), before + 1)
        }
    }
}
