import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tessera

// Records one shortcut: click the button, then press the keys. Esc cancels; the clear button
// after it removes the shortcut. `recorder` is a ShortcutRecorderModel.
RowLayout {
    id: control
    property ShortcutRecorderModel recorder
    readonly property bool listening: recorder !== null && recorder.listening
    spacing: 6

    // Starts listening from elsewhere (a "Record Another" button), with the key presses coming
    // here.
    function startRecording() {
        mainButton.forceActiveFocus()
        if (!control.listening)
            control.recorder.click()
    }

    Button {
        id: mainButton
        objectName: "recorderButton"
        text: control.recorder ? control.recorder.label : ""
        font.weight: control.recorder && control.recorder.labelIsCombo ? Font.Medium : Font.Normal
        // While a key press is awaited the button is tinted with the accent colour and framed
        // in it, so it is plain that the next keys go here.
        implicitWidth: Math.max(90, implicitContentWidth) + leftPadding + rightPadding
        ToolTip.visible: hovered && ToolTip.text.length > 0
        ToolTip.delay: 600
        ToolTip.text: control.recorder ? control.recorder.help : ""
        onClicked: control.recorder.click()

        Rectangle {
            objectName: "listeningTint"
            z: -0.5
            anchors.fill: parent
            visible: control.listening
            radius: 4
            color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.16)
            border.color: Theme.accent
            border.width: 2
        }

        // Every key press goes to the recorder first; what it swallows never reaches the
        // window (Space does not press this button, Tab does not move the focus).
        // The window's own shortcuts (Ctrl+1…, Ctrl+,) would otherwise take their keys first.
        Keys.onShortcutOverride: event => {
            event.accepted = control.listening
        }
        Keys.onPressed: event => {
            if (control.listening) {
                event.accepted = control.recorder.keyPressed(event.key, event.nativeVirtualKey,
                                                             event.modifiers)
            }
        }
    }

    // The clear button's place stays reserved, so the main button does not move when it comes
    // and goes.
    Item {
        implicitWidth: removeButton.implicitWidth
        implicitHeight: removeButton.implicitHeight
        ToolButton {
            id: removeButton
            objectName: "removeShortcutButton"
            visible: control.recorder !== null && control.recorder.showsRemoveButton
            flat: true
            focusPolicy: Qt.NoFocus
            icon.source: Symbols.source("xmark.circle.fill")
            icon.color: palette.placeholderText
            icon.width: 16
            icon.height: 16
            ToolTip.visible: hovered
            ToolTip.delay: 600
            ToolTip.text: control.recorder ? control.recorder.removeHelp : ""
            onClicked: control.recorder.removeShortcut()
        }
    }

    onListeningChanged: {
        if (listening) {
            mainButton.forceActiveFocus()
        }
    }
    // A recorder that disappears while listening gives the hotkeys back.
    Component.onDestruction: {
        if (control.recorder && control.recorder.listening) {
            control.recorder.stopListening()
        }
    }
}
