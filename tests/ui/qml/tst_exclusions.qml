import QtQuick
import QtTest
import Tessera

Item {
    id: root
    width: 760
    height: 900

    Loader {
        id: loader
        anchors.fill: parent
        source: "qrc:/qt/qml/Tessera/ExclusionsPane.qml"
    }

    TestCase {
        name: "ExclusionsPane"
        when: windowShown

        function child(name) {
            const item = findChild(loader.item, name)
            verify(item !== null, name)
            return item
        }

        function init() {
            Preferences.remove("ignoredApps")
            tryCompare(loader, "status", Loader.Ready)
        }

        function test_emptyList() {
            verify(child("noIgnoredApps").visible)
            compare(findChild(loader.item, "ignoredApp0"), null)
        }

        function test_stopIgnoringRemovesEveryCopy() {
            Preferences.setString("ignoredApps", "org.example.Paint\ncode\norg.example.Paint\nfirefox")
            verify(!child("noIgnoredApps").visible)
            const first = child("ignoredApp0")
            compare(findChild(first, "appName").text, "org.example.Paint")

            mouseClick(findChild(first, "stopIgnoring"))
            compare(Preferences.stringValue("ignoredApps"), "code\nfirefox")
            tryVerify(() => findChild(loader.item, "ignoredApp2") === null)

            mouseClick(findChild(child("ignoredApp1"), "stopIgnoring"))
            compare(Preferences.stringValue("ignoredApps"), "code")
            mouseClick(findChild(child("ignoredApp0"), "stopIgnoring"))
            compare(Preferences.stringValue("ignoredApps"), "")
            tryVerify(() => child("noIgnoredApps").visible)
        }

        function test_theChooserIsTitledAndListsNoFiles() {
            const chooser = loader.item.chooser
            mouseClick(child("addAppsButton"))
            tryVerify(() => chooser.opened)
            // The simulated desktop has no applications installed.
            verify(findChild(chooser.contentItem, "noAppsToChoose").visible)
            verify(!findChild(chooser.footer, "ignoreChosenApps").enabled)
            mouseClick(findChild(chooser.footer, "cancelChoosingApps"))
            tryVerify(() => !chooser.visible)
            compare(Preferences.value("ignoredApps"), undefined)
        }
    }
}
