import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tessera

// Who made Tessera and which version runs.
ScrollView {
    id: page
    objectName: "aboutPage"
    contentWidth: availableWidth
    clip: true

    ColumnLayout {
        width: page.availableWidth
        spacing: 12

        Item { Layout.preferredHeight: 48 }

        Image {
            objectName: "appIcon"
            Layout.alignment: Qt.AlignHCenter
            source: "qrc:/images/tessera.svg"
            sourceSize.width: 256
            sourceSize.height: 256
            Layout.preferredWidth: 128
            Layout.preferredHeight: 128
            fillMode: Image.PreserveAspectFit
        }

        Label {
            objectName: "appName"
            Layout.alignment: Qt.AlignHCenter
            text: "Tessera"
            font.pixelSize: 28
            font.bold: true
        }

        Label {
            objectName: "version"
            Layout.alignment: Qt.AlignHCenter
            text: Strings.localized("Version %@", [AppViewModel.version])
            opacity: 0.7
        }

        Label {
            objectName: "tagline"
            Layout.alignment: Qt.AlignHCenter
            Layout.maximumWidth: Math.min(page.availableWidth - 2 * Theme.pageMargin, 520)
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            text: Strings.localized("Windows snap into your own zones — by dragging or from the keyboard.")
        }

        Item { Layout.preferredHeight: 12 }

        RowLayout {
            objectName: "credit"
            Layout.alignment: Qt.AlignHCenter
            spacing: 6
            Label {
                text: Strings.localized("Made by")
                opacity: 0.7
            }
            Label {
                objectName: "maker"
                text: Strings.localized("Tessera Developers")
                font.bold: true
            }
        }

        Button {
            id: link
            objectName: "websiteLink"
            readonly property string address: "https://tessera.app"
            Layout.alignment: Qt.AlignHCenter
            flat: true
            text: "tessera.app"
            icon.source: Symbols.source("globe")
            icon.width: 18
            icon.height: 18
            Accessible.name: link.address
            ToolTip.visible: hovered
            ToolTip.text: link.address
            onClicked: Qt.openUrlExternally(link.address)
        }

        Item { Layout.fillHeight: true }
    }
}
