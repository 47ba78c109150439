import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// A title with an optional line of explanation under it, and the row's controls (declared as
// its children) at its right end.
//
// The texts wrap at whatever width the row is given, so their height depends on that width.
// Plain bindings carry it, not a nested layout: a layout that learns a child's new height in
// the middle of its own pass gives up on the pass, and the row would stay one line high with
// the next row's controls drawn over this one's until the window is resized.
Item {
    id: row
    property string title
    property string detail
    default property alias controls: trailing.data
    readonly property int spacing: 12

    Layout.fillWidth: true
    implicitWidth: trailing.implicitWidth + spacing + 160
    implicitHeight: Math.max(texts.implicitHeight, trailing.implicitHeight)

    Column {
        id: texts
        anchors.left: parent.left
        anchors.right: trailing.left
        anchors.rightMargin: row.spacing
        anchors.verticalCenter: parent.verticalCenter
        spacing: 2
        opacity: row.enabled ? 1 : 0.5
        Label {
            width: parent.width
            text: row.title
            wrapMode: Text.WordWrap
        }
        Label {
            width: parent.width
            visible: row.detail.length > 0
            text: row.detail
            wrapMode: Text.WordWrap
            opacity: 0.7
            font.pixelSize: 12
        }
    }

    Row {
        id: trailing
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        spacing: 8
    }
}
