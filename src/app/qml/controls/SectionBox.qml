import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// A titled group of rows on a rounded card, with an optional footer under it.
ColumnLayout {
    id: section
    property string title
    property string footer
    default property alias content: body.data
    spacing: 6

    Label {
        visible: section.title.length > 0
        text: section.title
        font.bold: true
        font.pixelSize: 15
    }
    Rectangle {
        Layout.fillWidth: true
        implicitHeight: body.implicitHeight + 24
        radius: Theme.cornerRadius
        color: Qt.lighter(palette.window, 1.04)
        border.color: Qt.darker(palette.window, 1.15)
        ColumnLayout {
            id: body
            anchors.fill: parent
            anchors.margins: 12
            spacing: 10
        }
    }
    Label {
        visible: section.footer.length > 0
        text: section.footer
        wrapMode: Text.WordWrap
        Layout.fillWidth: true
        color: Theme.secondaryText
        font.pixelSize: 12
    }
}
