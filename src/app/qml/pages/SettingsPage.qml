import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tessera

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
            model: AppViewModel.settingsPanes
            currentIndex: AppViewModel.settingsPanes.findIndex(pane => pane.rawValue === AppViewModel.settingsPane) // qmllint disable
            keyNavigationEnabled: true
            Accessible.name: Strings.localized("Settings")

            delegate: ItemDelegate {
                id: row
                required property var modelData
                required property int index
                // While a permission is missing, the Permissions row says so with its icon.
                readonly property string iconName: modelData.rawValue === "permissions"
                                                   && AppViewModel.accessNeeded
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
                onClicked: AppViewModel.settingsPane = modelData.rawValue
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
            readonly property string paneName: AppViewModel.settingsPane.length > 0
                                               ? AppViewModel.settingsPane.charAt(0).toUpperCase()
                                                 + AppViewModel.settingsPane.slice(1)
                                               : "General"
            source: Qt.resolvedUrl(paneName + "Pane.qml")
        }
    }
}
