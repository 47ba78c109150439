import QtQuick
import Tessera

Item {
    id: root
    width: 900
    height: 900

    // A shortcut of the window with the same keys as the one being recorded.
    property int windowShortcutCount: 0
    Shortcut {
        sequence: "Ctrl+Alt+K"
        context: Qt.ApplicationShortcut
        onActivated: root.windowShortcutCount += 1
    }

    ShellTestCase {
        name: "KeyboardPane"
        source: "KeyboardPane.qml"
        property Item pane

        function recorder(command) { return child(pane, "recorder_" + command) }
        function button(command) { return child(recorder(command), "recorderButton") }

        function init() { pane = load() }
        // Every test starts from the default shortcuts.
        function cleanup() { KeyboardPaneModel.restoreDefaults() }

        function test_recordingAComboWithRealKeys() {
            const left = button("zoneLeft")
            compare(left.text, "Ctrl+Alt+←")
            // A modifier alone keeps the recorder waiting.
            record(recorder("zoneLeft"), Qt.Key_Shift, Qt.ShiftModifier)
            compare(left.text, "Press Shortcut…")
            verify(!child(recorder("zoneLeft"), "removeShortcutButton").visible)

            keyClick(Qt.Key_K, Qt.ControlModifier | Qt.AltModifier)
            tryCompare(left, "text", "Ctrl+Alt+K")
            compare(root.windowShortcutCount, 0, "the window's shortcut took the keys")
            compare(KeyboardPaneModel.shortcut("zoneLeft").keyCode, 40)
            verify(Preferences.value("shortcut.zoneLeft") !== undefined, "nothing stored")
            compare(button("zoneRight").text, "Ctrl+Alt+→")

            // Escape cancels.
            record(recorder("fillScreen"), Qt.Key_Escape, Qt.NoModifier)
            tryCompare(button("fillScreen"), "text", "Alt+Super+Return")
            compare(Preferences.value("shortcut.fillScreen"), undefined)
        }

        function test_conflictIsShownUnderBothRowsUntilResolved() {
            const leftWarning = child(pane, "conflict_zoneLeft")
            const rightWarning = child(pane, "conflict_zoneRight")
            verify(!leftWarning.parent.visible)
            record(recorder("zoneLeft"), Qt.Key_Right, Qt.ControlModifier | Qt.AltModifier)
            tryCompare(leftWarning, "text", "Also used by “Zone to the Right”. Only one of them will work.")
            compare(rightWarning.text, "Also used by “Zone to the Left”. Only one of them will work.")
            verify(leftWarning.parent.visible && rightWarning.parent.visible)
            verify(!child(pane, "conflict_zoneUp").parent.visible)

            mouseClick(child(recorder("zoneLeft"), "removeShortcutButton"))
            tryCompare(leftWarning.parent, "visible", false)
            verify(!rightWarning.parent.visible)
        }

        function test_aShortcutAnotherProgramHoldsOffersToRecordAnother() {
            sim.holdKeysElsewhere(123, 0x1800, true)
            const reason = child(pane, "heldElsewhere_zoneLeft")
            tryCompare(reason, "text",
                       "Another application uses this shortcut, so it does nothing in Tessera.")
            verify(reason.parent.visible)
            verify(!child(pane, "heldElsewhereRow_zoneRight").visible)

            mouseClick(child(pane, "recordAnother_zoneLeft"))
            tryCompare(button("zoneLeft"), "text", "Press Shortcut…")
            tryVerify(() => button("zoneLeft").activeFocus, 1000, "the recorder has no key focus")
            keyClick(Qt.Key_K, Qt.ControlModifier | Qt.AltModifier)
            tryCompare(button("zoneLeft"), "text", "Ctrl+Alt+K")
            tryCompare(reason.parent, "visible", false)
            sim.holdKeysElsewhere(123, 0x1800, false)
        }

        function test_removedShortcutsStayUntilTheDefaultsAreRestored() {
            const up = record(recorder("zoneUp"), Qt.Key_F5, Qt.NoModifier)
            tryCompare(up, "text", "F5")
            const clear = child(recorder("nextDisplay"), "removeShortcutButton")
            mouseClick(clear)
            tryCompare(button("nextDisplay"), "text", "Record")
            verify(!clear.visible)
            compare(Object.keys(KeyboardPaneModel.shortcut("nextDisplay")).length, 0)
            // Removed is stored, so the default does not come back on its own.
            verify(Preferences.value("shortcut.nextDisplay") !== undefined)

            mouseClick(child(pane, "restoreDefaultShortcuts"))
            tryCompare(up, "text", "Ctrl+Alt+↑")
            compare(button("nextDisplay").text, "Ctrl+Alt+Super+→")
            compare(Preferences.value("shortcut.zoneUp"), undefined)
            compare(Preferences.value("shortcut.nextDisplay"), undefined)
        }

        function test_closingThePaneWhileListeningGivesTheHotkeysBack() {
            mouseClick(button("zoneDown"))
            const model = KeyboardPaneModel.recorder("zoneDown")
            tryCompare(model, "listening", true)
            pane.parent.destroy()
            tryCompare(model, "listening", false)
            compare(model.label, "Ctrl+Alt+↓")
        }
    }
}
