import QtQuick
import Tessera

Item {
    width: 760
    height: 900

    ShellTestCase {
        name: "ExclusionsPane"
        source: "ExclusionsPane.qml"

        function test_stopIgnoringRemovesEveryCopyAndTheChooserListsNothingWithoutApplications() {
            Preferences.remove("ignoredApps")
            const pane = load()
            verify(child(pane, "noIgnoredApps").visible)
            Preferences.setString("ignoredApps", "org.example.Paint\ncode\norg.example.Paint\nfirefox")
            verify(!child(pane, "noIgnoredApps").visible)
            const first = child(pane, "ignoredApp0")
            compare(findChild(first, "appName").text, "org.example.Paint")

            mouseClick(findChild(first, "stopIgnoring"))
            compare(Preferences.stringValue("ignoredApps"), "code\nfirefox")
            tryVerify(() => findChild(pane, "ignoredApp2") === null)
            mouseClick(findChild(child(pane, "ignoredApp1"), "stopIgnoring"))
            mouseClick(findChild(child(pane, "ignoredApp0"), "stopIgnoring"))
            compare(Preferences.stringValue("ignoredApps"), "")
            tryVerify(() => child(pane, "noIgnoredApps").visible)

            const chooser = pane.chooser
            mouseClick(child(pane, "addAppsButton"))
            tryVerify(() => chooser.opened)
            // The simulated desktop has no applications installed.
            verify(findChild(chooser.contentItem, "noAppsToChoose").visible)
            verify(!findChild(chooser.footer, "ignoreChosenApps").enabled)
            mouseClick(findChild(chooser.footer, "cancelChoosingApps"))
            tryVerify(() => !chooser.visible)
            compare(Preferences.stringValue("ignoredApps"), "")
        }
    }
}
