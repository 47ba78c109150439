import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tessera

// Says that the preferences file did not take a change, and why, until a write succeeds. The
// setting holds for this run meanwhile, and the next change that can be written carries it.
RowLayout {
    id: note
    objectName: "preferencesSaveError"
    readonly property string reason: Preferences.revision >= 0 ? Preferences.lastError() : ""
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
}
