import QtQuick
import QtQuick.Controls
import QtTest
import Tessera

// The pane sits in a visible item: a TestCase itself is never shown, so nothing in it could be
// clicked or take the keyboard focus.
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

    Component {
        id: paneComponent
        Loader {
            width: root.width
            height: root.height
            source: "qrc:/qt/qml/Tessera/KeyboardPane.qml"
        }
    }

    TestCase {
        id: testCase
        name: "KeyboardPane"
        when: windowShown

        // Every test starts from the default shortcuts; the shell lives for the whole file.
        function cleanup() {
            KeyboardPaneModel.restoreDefaults()
        }

        function loadPane() {
            const loader = createTemporaryObject(paneComponent, root)
            tryCompare(loader, "status", Loader.Ready)
            return loader.item
        }

        function recorderIn(pane, command) {
            const recorder = findChild(pane, "recorder_" + command)
            verify(recorder, "no recorder for " + command)
            return recorder
        }

        function record(pane, command, key, modifiers) {
            const button = findChild(recorderIn(pane, command), "recorderButton")
            mouseClick(button)
            tryCompare(button, "text", "Press Shortcut…")
            tryVerify(() => button.activeFocus, 1000, "the listening recorder has no key focus")
            keyClick(key, modifiers)
            return button
        }

        function test_recordingAComboWithRealKeys() {
            const pane = loadPane()
            const button = findChild(recorderIn(pane, "zoneLeft"), "recorderButton")
            compare(button.text, "Ctrl+Alt+←")
            compare(button.font.weight, Font.Medium)

            // A modifier alone keeps the recorder waiting.
            mouseClick(button)
            tryCompare(button, "text", "Press Shortcut…")
            compare(button.font.weight, Font.Normal)
            compare(findChild(recorderIn(pane, "zoneLeft"), "removeShortcutButton").visible, false)
            keyClick(Qt.Key_Shift, Qt.ShiftModifier)
            compare(button.text, "Press Shortcut…")

            keyClick(Qt.Key_K, Qt.ControlModifier | Qt.AltModifier)
            tryCompare(button, "text", "Ctrl+Alt+K")
            compare(root.windowShortcutCount, 0, "the window's shortcut took the keys")
            const stored = KeyboardPaneModel.shortcut("zoneLeft")
            compare(stored.keyCode, 40)
            compare(stored.carbonModifiers, 0x1800)
            verify(Preferences.value("shortcut.zoneLeft") !== undefined, "nothing stored")
            // The other rows keep theirs.
            compare(findChild(recorderIn(pane, "zoneRight"), "recorderButton").text, "Ctrl+Alt+→")
        }

        function test_escapeCancels() {
            const pane = loadPane()
            const button = record(pane, "fillScreen", Qt.Key_Escape, Qt.NoModifier)
            tryCompare(button, "text", "Alt+Super+Return")
            compare(Preferences.value("shortcut.fillScreen"), undefined)
        }

        function test_conflictIsShownUnderBothRows() {
            const pane = loadPane()
            const leftWarning = findChild(pane, "conflict_zoneLeft")
            const rightWarning = findChild(pane, "conflict_zoneRight")
            verify(!leftWarning.visible || leftWarning.text === "")
            compare(leftWarning.parent.visible, false)

            record(pane, "zoneLeft", Qt.Key_Right, Qt.ControlModifier | Qt.AltModifier)
            tryCompare(leftWarning, "text", "Also used by “Zone to the Right”. Only one of them will work.")
            compare(rightWarning.text, "Also used by “Zone to the Left”. Only one of them will work.")
            verify(leftWarning.parent.visible)
            compare(findChild(pane, "conflict_zoneUp").parent.visible, false)

            // Resolving it takes both warnings away.
            mouseClick(findChild(recorderIn(pane, "zoneLeft"), "removeShortcutButton"))
            tryCompare(leftWarning.parent, "visible", false)
            compare(rightWarning.parent.visible, false)
        }

        function test_aShortcutAnotherProgramHoldsOffersToRecordAnother() {
            sim.holdKeysElsewhere(123, 0x1800, true)
            const pane = loadPane()
            const reason = findChild(pane, "heldElsewhere_zoneLeft")
            tryCompare(reason, "text",
                       "Another application uses this shortcut, so it does nothing in Tessera.")
            verify(reason.parent.visible)
            compare(findChild(pane, "heldElsewhereRow_zoneRight").visible, false)

            const another = findChild(pane, "recordAnother_zoneLeft")
            mouseClick(another)
            const button = findChild(recorderIn(pane, "zoneLeft"), "recorderButton")
            tryCompare(button, "text", "Press Shortcut…")
            tryVerify(() => button.activeFocus, 1000, "the listening recorder has no key focus")
            keyClick(Qt.Key_K, Qt.ControlModifier | Qt.AltModifier)
            tryCompare(button, "text", "Ctrl+Alt+K")
            tryCompare(reason.parent, "visible", false)
            sim.holdKeysElsewhere(123, 0x1800, false)
        }

        function test_clearButtonRemovesTheShortcut() {
            const pane = loadPane()
            const recorder = recorderIn(pane, "nextDisplay")
            const button = findChild(recorder, "recorderButton")
            const clear = findChild(recorder, "removeShortcutButton")
            verify(clear.visible)

            mouseClick(clear)
            tryCompare(button, "text", "Record")
            compare(clear.visible, false)
            compare(Object.keys(KeyboardPaneModel.shortcut("nextDisplay")).length, 0)
            // Removed is stored, so the default does not come back on its own.
            verify(Preferences.value("shortcut.nextDisplay") !== undefined)
        }

        function test_restoreDefaultShortcuts() {
            const pane = loadPane()
            const up = record(pane, "zoneUp", Qt.Key_F5, Qt.NoModifier)
            tryCompare(up, "text", "F5")
            mouseClick(findChild(recorderIn(pane, "zoneDown"), "removeShortcutButton"))
            const down = findChild(recorderIn(pane, "zoneDown"), "recorderButton")
            tryCompare(down, "text", "Record")

            const restore = findChild(pane, "restoreDefaultShortcuts")
            mouseClick(restore)
            tryCompare(up, "text", "Ctrl+Alt+↑")
            compare(down.text, "Ctrl+Alt+↓")
            compare(Preferences.value("shortcut.zoneUp"), undefined)
            compare(Preferences.value("shortcut.zoneDown"), undefined)
        }

        function test_closingThePaneWhileListeningGivesTheHotkeysBack() {
            const loader = createTemporaryObject(paneComponent, root)
            tryCompare(loader, "status", Loader.Ready)
            const button = findChild(recorderIn(loader.item, "zoneDown"), "recorderButton")
            mouseClick(button)
            const model = KeyboardPaneModel.recorder("zoneDown")
            tryCompare(model, "listening", true)
            loader.destroy()
            tryCompare(model, "listening", false)
            compare(model.label, "Ctrl+Alt+↓")
        }
    }
}
