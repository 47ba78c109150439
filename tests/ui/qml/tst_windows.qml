import QtQuick
import Tessera

Item {
    width: 760
    height: 1500

    ShellTestCase {
        name: "WindowsPane"
        source: "WindowsPane.qml"
        property Item pane

        function init() {
            for (const key of ["snapOnDrag", "restoreOnDragOut", "cardScale", "windowGap",
                               "tightEdges", "gridColumns", "returnToZonesOnReconnect",
                               "openInLastZone"])
                Preferences.remove(key)
            pane = load()
        }

        function test_switchWritesItsOwnKeyAndFollowsIt_data() {
            return [{ tag: "snapOnDrag", on: true }, { tag: "restoreOnDragOut", on: true },
                    { tag: "returnToZonesOnReconnect", on: true }, { tag: "openInLastZone", on: false }]
        }

        // A click and the space key write the switch's own key; a change from elsewhere (the
        // tray menu) shows at once.
        function test_switchWritesItsOwnKeyAndFollowsIt(data) {
            const toggle = child(pane, data.tag + "Switch")
            compare(toggle.checked, data.on)
            mouseClick(toggle)
            compare(Preferences.boolValue(data.tag), !data.on)
            for (const other of test_switchWritesItsOwnKeyAndFollowsIt_data()) {
                if (other.tag !== data.tag)
                    compare(Preferences.boolValue(other.tag), other.on, other.tag)
            }
            toggle.forceActiveFocus()
            keyClick(Qt.Key_Space)
            compare(Preferences.boolValue(data.tag), data.on)
            Preferences.setBool(data.tag, !data.on)
            compare(toggle.checked, !data.on)
        }

        // A change the file did not take holds, and the pane says so, offering to write it again,
        // until a write succeeds.
        function test_aFailedWriteIsShownUntilWrittenAgain() {
            const snap = child(pane, "snapOnDragSwitch")
            const note = child(pane, "preferencesSaveError")
            verify(!note.visible)
            sim.failPreferenceWrites(true)
            mouseClick(snap)
            verify(!snap.checked)
            verify(note.visible)
            mouseClick(child(pane, "preferencesSaveAgain"))
            verify(note.visible, "still failing")
            sim.failPreferenceWrites(false)
            mouseClick(child(pane, "preferencesSaveAgain"))
            verify(!note.visible)
            compare(Preferences.boolValue("snapOnDrag"), false)
        }

        function test_cardScaleSlider() {
            const slider = child(pane, "cardScaleSlider")
            const label = child(pane, "cardScaleLabel")
            const card = child(pane, "cardPreview")
            compare(label.text, "100%")
            for (const [act, scale] of [[() => mouseClick(slider, slider.width - 2, slider.height / 2), 160],
                                        [() => { slider.forceActiveFocus(); keyClick(Qt.Key_Left); keyClick(Qt.Key_Left) }, 140],
                                        [() => mouseClick(slider, 2, slider.height / 2), 60]]) {
                act()
                compare(Preferences.doubleValue("cardScale"), scale)
                compare(label.text, scale + "%")
                tryCompare(card, "width", WindowsPaneModel.cardPreviewSize.width)
                tryCompare(card, "height", WindowsPaneModel.cardPreviewSize.height)
                compare(card.width === WindowsPaneModel.cardPreviewMaximumSize.width, scale === 160)
            }
            // Stored by hand out of range: the slider shows what the overlay uses.
            Preferences.setDouble("cardScale", 300)
            compare(slider.value, 160)
            compare(label.text, "160%")
        }

        function test_gapStepperAndTightEdges() {
            const stepper = child(pane, "windowGapStepper")
            const tight = child(pane, "tightEdgesSwitch")
            compare(stepper.displayText, "0 pt")
            verify(!tight.enabled)
            // Without a gap the edge toggle neither moves nor loses its stored value, whoever asks.
            Preferences.setBool("tightEdges", true)
            mouseClick(tight)
            verify(tight.checked)
            WindowsPaneModel.tightEdges = false
            compare(Preferences.boolValue("tightEdges"), true)

            mouseClick(stepper.up.indicator)
            mouseClick(stepper.up.indicator)
            compare(Preferences.doubleValue("windowGap"), 4)
            compare(stepper.displayText, "4 pt")
            verify(tight.enabled)
            mouseClick(tight)
            compare(Preferences.boolValue("tightEdges"), false)

            // The picture shows the gap the mover leaves, at the edges too unless they are tight.
            WindowsPaneModel.windowGap = 20
            const preview = WindowsPaneModel.gapPreview
            compare(preview.right.x - (preview.left.x + preview.left.width), 20)
            compare(preview.left.x, 20)
            Preferences.setBool("tightEdges", true)
            compare(WindowsPaneModel.gapPreview.left.x, 0)

            // Whole steps only, up to 40, also for a value written by hand.
            WindowsPaneModel.windowGap = 7
            compare(Preferences.doubleValue("windowGap"), 8)
            stepper.forceActiveFocus()
            for (let i = 0; i < 25; ++i)
                keyClick(Qt.Key_Up)
            compare(Preferences.doubleValue("windowGap"), 40)
            for (let i = 0; i < 25; ++i)
                keyClick(Qt.Key_Down)
            compare(Preferences.doubleValue("windowGap"), 0)
            verify(!tight.enabled)
        }

        function test_gridPicker() {
            const highlight = child(pane, "gridPickerHighlight")
            verify(child(pane, "gridTile12").selected)
            tryCompare(highlight, "x", child(pane, "gridTile12").x - 3)
            mouseClick(child(pane, "gridTile16"))
            compare(Preferences.value("gridColumns"), 16)
            // The tiles are made anew from the new model; the frame springs over to the chosen one.
            verify(child(pane, "gridTile16").selected)
            verify(!child(pane, "gridTile12").selected)
            verify(highlight.x !== child(pane, "gridTile16").x - 3)
            tryCompare(highlight, "x", child(pane, "gridTile16").x - 3)
            tryCompare(highlight, "y", child(pane, "gridTile16").y - 3)

            // A count the picker doesn't offer selects nothing and hides the frame.
            Preferences.setInteger("gridColumns", 10)
            verify(!highlight.visible)
            mouseClick(child(pane, "gridTile4"))
            compare(Preferences.value("gridColumns"), 4)
            verify(highlight.visible)
        }
    }
}
