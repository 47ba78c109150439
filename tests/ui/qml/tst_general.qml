import QtQuick
import QtTest
import Tessera

Item {
    id: root
    width: 1000
    height: 900

    Loader {
        id: loader
        anchors.fill: parent
        source: "qrc:/qt/qml/Tessera/GeneralPane.qml"
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
            GeneralPaneModel.relaunchLater()
            GeneralPaneModel.cancelRestoreBuiltIns()
            GeneralPaneModel.cancelImport()
            GeneralPaneModel.dismissError()
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
            compare(AppViewModel.appearance, "dark")
            compare(Preferences.stringValue("appearance"), "dark")
            verify(child("appearance-dark").checked)
            verify(!child("appearance-system").checked)

            // A change made elsewhere shows here too.
            AppViewModel.appearance = "light"
            verify(child("appearance-light").checked)
            verify(!child("appearance-dark").checked)
            mouseClick(child("appearance-system"))
            compare(Preferences.stringValue("appearance"), "system")
        }

        function test_languagePickerWritesAtOnceAndAsksToRelaunch() {
            const picker = child("languagePicker")
            compare(picker.count, 7)
            compare(picker.textAt(0), Strings.localized("System Language"))
            compare(picker.textAt(6), "Deutsch")
            compare(picker.currentValue, "en")
            compare(picker.displayText, "English")

            picker.forceActiveFocus()
            keyClick(Qt.Key_Down)
            compare(Preferences.stringValue("appLanguage"), "ru")
            compare(Preferences.value("AppleLanguages"), ["ru"])
            answer("relaunchAlert", "relaunchLater")
            compare(sim.relaunchRequests(), 0)
            compare(picker.currentValue, "ru")

            picker.forceActiveFocus()
            keyClick(Qt.Key_Up)
            compare(Preferences.stringValue("appLanguage"), "en")
            answer("relaunchAlert", "relaunchLater")
            picker.forceActiveFocus()
            keyClick(Qt.Key_Up)
            compare(Preferences.stringValue("appLanguage"), "system")
            compare(Preferences.value("AppleLanguages"), undefined)
            answer("relaunchAlert", "relaunchNow")
            compare(sim.relaunchRequests(), 1)
            compare(GeneralPaneModel.confirmsRelaunch, false)

            // A choice made elsewhere (an import) shows in the picker.
            Preferences.setString("appLanguage", "el")
            compare(picker.currentValue, "el")
        }

        function test_showInMenuBarIsBoundToItsPreference() {
            const toggle = child("showsMenuBarIcon")
            verify(toggle.checked, "on by default")
            compare(Preferences.value("showsMenuBarIcon"), undefined)
            mouseClick(toggle)
            compare(Preferences.boolValue("showsMenuBarIcon"), false)
            verify(!toggle.checked)
            // The tray menu can turn it back on; the switch follows.
            Preferences.setBool("showsMenuBarIcon", true)
            verify(toggle.checked)
        }

        function test_openAtLoginShowsWhatTheSystemReports() {
            const toggle = child("openAtLogin")
            verify(!toggle.checked)
            mouseClick(toggle)
            verify(GeneralPaneModel.launchAtLogin)
            tryCompare(toggle, "checked", true)

            sim.refuseLoginItemChanges("Operation not permitted")
            mouseClick(toggle)
            verify(GeneralPaneModel.launchAtLogin)
            tryCompare(toggle, "checked", true)
            sim.refuseLoginItemChanges("")
            mouseClick(toggle)
            tryCompare(toggle, "checked", false)
            verify(!GeneralPaneModel.launchAtLogin)
        }

        function test_restoringBuiltInsAsksFirst() {
            mouseClick(child("restoreBuiltIns"))
            answer("restoreAlert", "cancelRestore")
            compare(GeneralPaneModel.confirmsRestore, false)

            mouseClick(child("restoreBuiltIns"))
            answer("restoreAlert", "confirmRestore")
            compare(GeneralPaneModel.confirmsRestore, false)
            compare(GeneralPaneModel.showsError, false)
        }

        function test_importAsksBeforeReplacingAndCanBeCancelled() {
            const file = sim.tempFile("qml-backup.json")
            verify(GeneralPaneModel.exportTo(file))
            verify(GeneralPaneModel.readBackupFile(file))
            answer("importAlert", "cancelImport")
            compare(GeneralPaneModel.hasPendingImport, false)

            Preferences.setDouble("windowGap", 16)
            verify(GeneralPaneModel.readBackupFile(file))
            answer("importAlert", "confirmImport")
            compare(GeneralPaneModel.hasPendingImport, false)
            compare(Preferences.doubleValue("windowGap"), 0)
        }
    }
}
