import QtQuick
import QtQuick.Dialogs
import QtTest

Item {
    id: root
    width: 760
    height: 900

    Loader {
        id: loader
        anchors.fill: parent
        source: "qrc:/qml/panes/ExclusionsPane.qml"
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
            prefs.remove("ignoredApps")
            tryCompare(loader, "status", Loader.Ready)
        }

        function test_emptyList() {
            verify(child("noIgnoredApps").visible)
            compare(findChild(loader.item, "ignoredApp0"), null)
        }

        function test_stopIgnoringRemovesEveryCopy() {
            prefs.setString("ignoredApps", "org.example.Paint\ncode\norg.example.Paint\nfirefox")
            verify(!child("noIgnoredApps").visible)
            const first = child("ignoredApp0")
            compare(findChild(first, "appName").text, "org.example.Paint")

            mouseClick(findChild(first, "stopIgnoring"))
            compare(prefs.stringValue("ignoredApps"), "code\nfirefox")
            tryVerify(() => findChild(loader.item, "ignoredApp2") === null)

            mouseClick(findChild(child("ignoredApp1"), "stopIgnoring"))
            compare(prefs.stringValue("ignoredApps"), "code")
            mouseClick(findChild(child("ignoredApp0"), "stopIgnoring"))
            compare(prefs.stringValue("ignoredApps"), "")
            tryVerify(() => child("noIgnoredApps").visible)
        }

        function test_addingThroughTheFileDialog() {
            const dialog = loader.item.fileDialog
            compare(dialog.fileMode, FileDialog.OpenFiles)
            compare(dialog.acceptLabel, "Ignore")
            compare(dialog.currentFolder.toString(), "file:///usr/share/applications")
            verify(dialog.nameFilters.length === 1 && dialog.nameFilters[0].endsWith("(*.desktop)"))

            const add = child("addAppsButton")
            if (loader.item.fileDialogUsable) {
                verify(!child("fileDialogMissing").visible)
                mouseClick(add)
                tryVerify(() => dialog.visible)
                dialog.close()
                tryVerify(() => !dialog.visible)
            } else {
                // Opening would crash Qt: the button says why it can't be used instead.
                verify(!add.enabled)
                verify(child("fileDialogMissing").visible)
                mouseClick(add)
                verify(!dialog.visible)
            }

            // What the dialog hands over when accepted: the chosen files' URLs.
            prefs.setString("ignoredApps", "org.example.Sketch")
            const sketch = Qt.resolvedUrl("data/org.example.Sketch.desktop")
            const notes = Qt.resolvedUrl("data/notes.desktop")
            compare(exclusionsPane.addDesktopFiles([sketch, notes]), 0)
            compare(prefs.stringValue("ignoredApps"), "org.example.Sketch")
            verify(child("exclusionsError").visible)
            verify(child("exclusionsError").text.indexOf("notes.desktop") >= 0)

            prefs.remove("ignoredApps")
            compare(exclusionsPane.addDesktopFiles([sketch]), 1)
            compare(prefs.stringValue("ignoredApps"), "org.example.Sketch")
            verify(!child("exclusionsError").visible)
            compare(findChild(child("ignoredApp0"), "appName").text, "org.example.Sketch")
        }
    }
}
