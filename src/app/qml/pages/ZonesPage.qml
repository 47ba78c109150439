import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../controls"

// The zone editor comes with the next version; until then the page says so plainly.
Item {
    ColumnLayout {
        anchors.centerIn: parent
        spacing: 12
        SymbolIcon {
            Layout.alignment: Qt.AlignHCenter
            name: "rectangle.split.3x3"
            size: 48
        }
        Label {
            Layout.alignment: Qt.AlignHCenter
            text: strings.tr("Zones")
            font.pixelSize: 22
            font.bold: true
        }
        Label {
            objectName: "zonesNotYet"
            Layout.alignment: Qt.AlignHCenter
            text: strings.tr("Zones editor arrives in the next version.")
            opacity: 0.7
        }
    }
}
