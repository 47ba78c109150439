import QtQuick
import Tessera

Item {
    width: 1000
    height: 900

    ShellTestCase {
        name: "GeneralPane"
        source: "GeneralPane.qml"
        property Item pane

        // A test that failed half-way must not leave a modal alert over the next one.
        function init() {
            GeneralPaneModel.relaunchLater()
            GeneralPaneModel.cancelRestoreBuiltIns()
            GeneralPaneModel.cancelImport()
            GeneralPaneModel.dismissError()
            pane = load()
        }

        // Waits for the alert to be on screen, clicks one of its buttons, waits for it to go.
        function answer(alertName, buttonName) {
            const alert = child(pane, alertName)
            tryCompare(alert, "opened", true)
            const button = child(pane, buttonName)
            tryCompare(button, "visible", true)
            mouseClick(button)
            tryCompare(alert, "visible", false)
        }

        function test_switchesAndPickersFollowTheirPreferences_data() {
            return [
                { tag: "appearance", click: "appearance-dark", key: "appearance", written: "dark",
                  other: "light", shown: "appearance-light" },
                { tag: "tray", click: "showsMenuBarIcon", key: "showsMenuBarIcon", written: false,
                  other: true, shown: "showsMenuBarIcon" }
            ]
        }

        // Written at a click, and a change made elsewhere (the tray menu) shows here too.
        function test_switchesAndPickersFollowTheirPreferences(data) {
            Preferences.remove(data.key)
            const clicked = child(pane, data.click)
            mouseClick(clicked)
            compare(Preferences.value(data.key), data.written)
            compare(clicked.checked, data.tag === "appearance")
            if (typeof data.other === "boolean")
                Preferences.setBool(data.key, data.other)
            else
                AppViewModel.appearance = data.other
            verify(child(pane, data.shown).checked)
            compare(clicked.checked, data.tag !== "appearance")
            Preferences.remove(data.key)
        }

        function test_languagePickerWritesAtOnceAndAsksToRelaunch() {
            const picker = child(pane, "languagePicker")
            compare(picker.textAt(0), Strings.localized("System Language"))
            compare(picker.displayText, "English")

            picker.forceActiveFocus()
            keyClick(Qt.Key_Down)
            compare(Preferences.stringValue("appLanguage"), "ru")
            compare(Preferences.value("AppleLanguages"), ["ru"])
            answer("relaunchAlert", "relaunchLater")
            compare(sim.relaunchRequests(), 0)

            picker.forceActiveFocus()
            keyClick(Qt.Key_Up)
            answer("relaunchAlert", "relaunchLater")
            picker.forceActiveFocus()
            keyClick(Qt.Key_Up)
            compare(Preferences.stringValue("appLanguage"), "system")
            compare(Preferences.value("AppleLanguages"), undefined)
            answer("relaunchAlert", "relaunchNow")
            compare(sim.relaunchRequests(), 1)

            // A choice made elsewhere (an import) shows in the picker.
            Preferences.setString("appLanguage", "el")
            compare(picker.currentValue, "el")
        }

        function test_openAtLoginShowsWhatTheSystemReports() {
            const toggle = child(pane, "openAtLogin")
            verify(!toggle.checked)
            mouseClick(toggle)
            tryCompare(toggle, "checked", true)
            sim.refuseLoginItemChanges("Operation not permitted")
            mouseClick(toggle)
            tryCompare(toggle, "checked", true)
            sim.refuseLoginItemChanges("")
            mouseClick(toggle)
            tryCompare(toggle, "checked", false)
            verify(!GeneralPaneModel.launchAtLogin)
        }

        function test_restoreAndImportAskFirst() {
            mouseClick(child(pane, "restoreBuiltIns"))
            answer("restoreAlert", "cancelRestore")
            mouseClick(child(pane, "restoreBuiltIns"))
            answer("restoreAlert", "confirmRestore")
            compare(GeneralPaneModel.confirmsRestore, false)
            compare(GeneralPaneModel.showsError, false)

            const file = sim.tempFile("qml-backup.json")
            verify(GeneralPaneModel.exportTo(file))
            verify(GeneralPaneModel.readBackupFile(file))
            answer("importAlert", "cancelImport")
            compare(GeneralPaneModel.hasPendingImport, false)
            Preferences.setDouble("windowGap", 16)
            verify(GeneralPaneModel.readBackupFile(file))
            answer("importAlert", "confirmImport")
            compare(Preferences.doubleValue("windowGap"), 0)
        }
    }
}
