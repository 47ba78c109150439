import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tessera

// Says that the preferences file did not take a change, and why, until a write succeeds, and
// offers to write it again. The setting holds for this run meanwhile, and the next change that
// can be written carries it too.
RowLayout {
    id: note
    objectName: "preferencesSaveError"
    readonly property string reason: Preferences.saveError
    visible: reason.length > 0
    spacing: 6
    SymbolIcon {
        Layout.alignment: Qt.AlignTop
        name: "exclamationmark.triangle.fill"
        size: 14
        color: Theme.warning
    }
    Label {
        Layout.fillWidth: true
        text: Strings.localized("Some changes couldn’t be saved") + "\n" + note.reason
        color: Theme.warning
        wrapMode: Text.WordWrap
    }
    Button {
        objectName: "preferencesSaveAgain"
        Layout.alignment: Qt.AlignTop
        text: Strings.localized("Try Again")
        onClicked: Preferences.saveAgain()
    }
}
