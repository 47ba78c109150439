import QtQuick
import QtTest

Item {
    id: root
    width: 1000
    height: 900

    Loader {
        id: loader
        anchors.fill: parent
        source: "qrc:/qml/panes/GeneralPane.qml"
    }

    TestCase {
        name: "GeneralPane"
        when: windowShown

        function child(name) {
            const found = findChild(loader.item, name)
            verify(found, name)
            return found
        }

        // A test that failed half-way must not leave a modal alert over the next one.
        function init() {
            generalPane.relaunchLater()
            generalPane.cancelRestoreBuiltIns()
            generalPane.cancelImport()
            generalPane.dismissError()
        }

        // Waits for the alert to be on screen, clicks one of its buttons, waits for it to go.
        function answer(alertName, buttonName) {
            const alert = child(alertName)
            tryCompare(alert, "opened", true)
            const button = child(buttonName)
            tryCompare(button, "visible", true)
            mouseClick(button)
            tryCompare(alert, "visible", false)
        }

        function test_themePickerIsBoundToAppearance() {
            mouseClick(child("appearance-dark"))
            compare(app.appearance, "dark")
            compare(prefs.stringValue("appearance"), "dark")
            verify(child("appearance-dark").checked)
            verify(!child("appearance-system").checked)

            // A change made elsewhere shows here too.
            app.appearance = "light"
            verify(child("appearance-light").checked)
            verify(!child("appearance-dark").checked)
            mouseClick(child("appearance-system"))
            compare(prefs.stringValue("appearance"), "system")
        }

        function test_languagePickerWritesAtOnceAndAsksToRelaunch() {
            const picker = child("languagePicker")
            compare(picker.count, 7)
            compare(picker.textAt(0), strings.localized("System Language"))
            compare(picker.textAt(6), "Deutsch")
            compare(picker.currentValue, "en")
            compare(picker.displayText, "English")

            picker.forceActiveFocus()
            keyClick(Qt.Key_Down)
            compare(prefs.stringValue("appLanguage"), "ru")
            compare(prefs.value("AppleLanguages"), ["ru"])
            answer("relaunchAlert", "relaunchLater")
            compare(sim.relaunchRequests(), 0)
            compare(picker.currentValue, "ru")

            picker.forceActiveFocus()
            keyClick(Qt.Key_Up)
            compare(prefs.stringValue("appLanguage"), "en")
            answer("relaunchAlert", "relaunchLater")
            picker.forceActiveFocus()
            keyClick(Qt.Key_Up)
            compare(prefs.stringValue("appLanguage"), "system")
            compare(prefs.value("AppleLanguages"), undefined)
            answer("relaunchAlert", "relaunchNow")
            compare(sim.relaunchRequests(), 1)
            compare(generalPane.confirmsRelaunch, false)

            // A choice made elsewhere (an import) shows in the picker.
            prefs.setString("appLanguage", "el")
            compare(picker.currentValue, "el")
        }

        function test_showInMenuBarIsBoundToItsPreference() {
            const toggle = child("showsMenuBarIcon")
            verify(toggle.checked, "on by default")
            compare(prefs.value("showsMenuBarIcon"), undefined)
            mouseClick(toggle)
            compare(prefs.boolValue("showsMenuBarIcon"), false)
            verify(!toggle.checked)
            // The tray menu can turn it back on; the switch follows.
            prefs.setBool("showsMenuBarIcon", true)
            verify(toggle.checked)
        }

        function test_openAtLoginShowsWhatTheSystemReports() {
            const toggle = child("openAtLogin")
            verify(!toggle.checked)
            mouseClick(toggle)
            verify(generalPane.launchAtLogin)
            tryCompare(toggle, "checked", true)

            sim.refuseLoginItemChanges("Operation not permitted")
            mouseClick(toggle)
            verify(generalPane.launchAtLogin)
            tryCompare(toggle, "checked", true)
            sim.refuseLoginItemChanges("")
            mouseClick(toggle)
            tryCompare(toggle, "checked", false)
            verify(!generalPane.launchAtLogin)
        }

        function test_restoringBuiltInsAsksFirst() {
            mouseClick(child("restoreBuiltIns"))
            answer("restoreAlert", "cancelRestore")
            compare(generalPane.confirmsRestore, false)

            mouseClick(child("restoreBuiltIns"))
            answer("restoreAlert", "confirmRestore")
            compare(generalPane.confirmsRestore, false)
            compare(generalPane.showsError, false)
        }

        function test_importAsksBeforeReplacingAndCanBeCancelled() {
            const file = sim.tempFile("qml-backup.json")
            verify(generalPane.exportTo(file))
            verify(generalPane.readBackupFile(file))
            answer("importAlert", "cancelImport")
            compare(generalPane.hasPendingImport, false)

            prefs.setDouble("windowGap", 16)
            verify(generalPane.readBackupFile(file))
            answer("importAlert", "confirmImport")
            compare(generalPane.hasPendingImport, false)
            compare(prefs.doubleValue("windowGap"), 0)
        }
    }
}
