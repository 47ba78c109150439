import QtQuick
import QtQuick.Controls

// A modal question to the user, in the one button order every alert of Tessera uses: the
// answer that acts on the right, the one that leaves things as they were left of it.
//
// `wanted` comes from a view model; closing the alert any other way than its buttons (Escape)
// counts as the dismissing answer. The first button declared stands on the right.
Dialog {
    id: alert
    property string message
    property bool wanted
    default property alias buttons: buttonRow.data
    signal dismissed()
    modal: true
    parent: Overlay.overlay
    anchors.centerIn: parent
    width: parent ? Math.min(420, parent.width - 40) : 420
    closePolicy: Popup.CloseOnEscape
    onWantedChanged: wanted ? open() : close()
    Component.onCompleted: if (wanted) open()
    onClosed: if (wanted) dismissed()
    contentItem: Label {
        objectName: "alertMessage"
        text: alert.message
        wrapMode: Text.WordWrap
    }
    footer: Item {
        implicitHeight: buttonRow.implicitHeight + 24
        Row {
            id: buttonRow
            anchors.right: parent.right
            anchors.rightMargin: 12
            anchors.verticalCenter: parent.verticalCenter
            spacing: 8
            layoutDirection: Qt.RightToLeft
        }
    }
}
