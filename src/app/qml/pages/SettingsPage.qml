import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../controls"

// The Settings page: the list of panes on the left, the chosen pane on the right. The choice is
// the application state's, so other places (the badge, the overview) can open a given pane.
Item {
    id: page
    objectName: "settingsPage"

    RowLayout {
        anchors.fill: parent
        spacing: 0

        ListView {
            id: paneList
            objectName: "paneList"
            Layout.preferredWidth: 220
            Layout.fillHeight: true
            Layout.topMargin: 12
            clip: true
            model: app.settingsPanes
            currentIndex: app.settingsPanes.findIndex(pane => pane.rawValue === app.settingsPane)
            keyNavigationEnabled: true
            Accessible.name: strings.localized("Settings")

            delegate: ItemDelegate {
                id: row
                required property var modelData
                required property int index
                // While a permission is missing, the Permissions row says so with its icon.
                readonly property string iconName: modelData.rawValue === "permissions"
                                                   && app.accessNeeded
                                                   ? "exclamationmark.circle.fill"
                                                   : modelData.icon
                objectName: "paneRow-" + modelData.rawValue
                width: ListView.view.width - 16
                x: 8
                highlighted: ListView.isCurrentItem
                text: modelData.title
                contentItem: RowLayout {
                    spacing: 10
                    SymbolIcon {
                        objectName: "paneIcon-" + row.modelData.rawValue
                        property string symbol: row.iconName
                        name: symbol
                        size: 18
                        color: row.iconName === "exclamationmark.circle.fill"
                               ? Theme.warning : (row.highlighted ? palette.highlightedText
                                                                  : palette.windowText)
                    }
                    Label {
                        Layout.fillWidth: true
                        text: row.modelData.title
                        elide: Text.ElideRight
                        color: row.highlighted ? palette.highlightedText : palette.windowText
                    }
                }
                onClicked: app.settingsPane = modelData.rawValue
            }
        }

        Rectangle {
            Layout.fillHeight: true
            implicitWidth: 1
            color: Qt.darker(palette.window, 1.15)
        }

        Loader {
            id: paneLoader
            objectName: "paneLoader"
            Layout.fillWidth: true
            Layout.fillHeight: true
            readonly property string paneName: app.settingsPane.length > 0
                                               ? app.settingsPane.charAt(0).toUpperCase()
                                                 + app.settingsPane.slice(1)
                                               : "General"
            source: "qrc:/qml/panes/" + paneName + "Pane.qml"
        }
    }
}
