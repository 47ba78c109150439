import QtQuick
import QtTest
import Tessera

Item {
    id: root
    width: 760
    height: 1500

    Loader {
        id: loader
        anchors.fill: parent
        source: "qrc:/qt/qml/Tessera/WindowsPane.qml"
    }

    TestCase {
        name: "WindowsPane"
        when: windowShown

        function child(name) {
            const item = findChild(loader.item, name)
            verify(item !== null, name)
            return item
        }

        function init() {
            for (const key of ["snapOnDrag", "restoreOnDragOut", "cardScale", "windowGap",
                               "tightEdges", "gridColumns", "returnToZonesOnReconnect",
                               "openInLastZone"])
                Preferences.remove(key)
            tryCompare(loader, "status", Loader.Ready)
        }

        function test_draggingToggles() {
            const snap = child("snapOnDragSwitch")
            const restore = child("restoreOnDragOutSwitch")
            verify(snap.checked)
            verify(restore.checked)

            mouseClick(snap)
            compare(Preferences.boolValue("snapOnDrag"), false)
            verify(!snap.checked)
            mouseClick(restore)
            compare(Preferences.boolValue("restoreOnDragOut"), false)

            // The remembered-zone switches start as registered and write their own keys.
            const reconnect = child("returnToZonesOnReconnectSwitch")
            const reopen = child("openInLastZoneSwitch")
            verify(reconnect.checked)
            verify(!reopen.checked)
            mouseClick(reopen)
            compare(Preferences.boolValue("openInLastZone"), true)
            compare(Preferences.boolValue("returnToZonesOnReconnect"), true)

            // The key toggles the focused switch too.
            snap.forceActiveFocus()
            keyClick(Qt.Key_Space)
            compare(Preferences.boolValue("snapOnDrag"), true)

            // A change from elsewhere (the tray menu) shows at once.
            Preferences.setBool("restoreOnDragOut", true)
            verify(restore.checked)

            // A change the file did not take holds, and the pane says so, offering to write it
            // again, until a write succeeds.
            const note = child("preferencesSaveError")
            verify(!note.visible)
            sim.failPreferenceWrites(true)
            mouseClick(snap)
            verify(!snap.checked)
            verify(note.visible)
            mouseClick(child("preferencesSaveAgain"))
            verify(note.visible, "still failing")
            sim.failPreferenceWrites(false)
            mouseClick(child("preferencesSaveAgain"))
            verify(!note.visible)
            compare(Preferences.boolValue("snapOnDrag"), false)
        }

        function test_cardScaleSlider() {
            const slider = child("cardScaleSlider")
            const label = child("cardScaleLabel")
            const card = child("cardPreview")
            compare(slider.value, 100)
            compare(label.text, "100%")

            mouseClick(slider, slider.width - 2, slider.height / 2)
            compare(Preferences.doubleValue("cardScale"), 160)
            compare(label.text, "160%")
            tryCompare(card, "width", WindowsPaneModel.cardPreviewSize.width)
            tryCompare(card, "height", WindowsPaneModel.cardPreviewSize.height)
            compare(card.width, WindowsPaneModel.cardPreviewMaximumSize.width)

            slider.forceActiveFocus()
            keyClick(Qt.Key_Left)
            keyClick(Qt.Key_Left)
            compare(Preferences.doubleValue("cardScale"), 140)
            compare(label.text, "140%")
            tryCompare(card, "width", WindowsPaneModel.cardPreviewSize.width)
            verify(card.width < WindowsPaneModel.cardPreviewMaximumSize.width)

            mouseClick(slider, 2, slider.height / 2)
            compare(Preferences.doubleValue("cardScale"), 60)
            tryCompare(card, "width", WindowsPaneModel.cardPreviewSize.width)

            // Stored by hand out of range: the slider shows what the overlay uses.
            Preferences.setDouble("cardScale", 300)
            compare(slider.value, 160)
            compare(label.text, "160%")
        }

        function test_gapStepperAndTightEdges() {
            const stepper = child("windowGapStepper")
            const tight = child("tightEdgesSwitch")
            compare(stepper.value, 0)
            compare(stepper.displayText, "0 pt")
            verify(!tight.enabled)

            // Without a gap the edge toggle neither moves nor loses its stored value.
            Preferences.setBool("tightEdges", true)
            verify(tight.checked)
            mouseClick(tight)
            compare(Preferences.boolValue("tightEdges"), true)
            verify(tight.checked)

            mouseClick(stepper.up.indicator)
            mouseClick(stepper.up.indicator)
            compare(Preferences.doubleValue("windowGap"), 4)
            compare(stepper.displayText, "4 pt")
            verify(tight.enabled)
            mouseClick(tight)
            compare(Preferences.boolValue("tightEdges"), false)

            stepper.forceActiveFocus()
            for (let i = 0; i < 25; ++i)
                keyClick(Qt.Key_Up)
            compare(Preferences.doubleValue("windowGap"), 40)
            compare(stepper.displayText, "40 pt")

            for (let i = 0; i < 25; ++i)
                keyClick(Qt.Key_Down)
            compare(Preferences.doubleValue("windowGap"), 0)
            verify(!tight.enabled)
            compare(Preferences.boolValue("tightEdges"), false)
        }

        function test_gridPicker() {
            const highlight = child("gridPickerHighlight")
            const twelve = child("gridTile12")
            const sixteen = child("gridTile16")
            verify(twelve.selected)
            verify(!sixteen.selected)
            tryCompare(highlight, "x", twelve.x - 3)

            mouseClick(sixteen)
            compare(Preferences.value("gridColumns"), 16)
            // The tiles are made anew from the new model.
            verify(child("gridTile16").selected)
            verify(!child("gridTile12").selected)
            // The frame springs over to the chosen tile.
            verify(highlight.x !== child("gridTile16").x - 3)
            tryCompare(highlight, "x", child("gridTile16").x - 3)
            tryCompare(highlight, "y", child("gridTile16").y - 3)

            // A count the picker doesn't offer selects nothing and hides the frame.
            Preferences.setInteger("gridColumns", 10)
            verify(!highlight.visible)
            mouseClick(child("gridTile4"))
            compare(Preferences.value("gridColumns"), 4)
            verify(highlight.visible)
        }
    }
}
