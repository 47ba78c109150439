import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tessera

// The two permissions Tessera needs, each with a way to the system's page for it, and a
// relaunch for when access was given but the running process doesn't see it yet.
ScrollView {
    id: pane
    objectName: "permissionsPane"
    contentWidth: availableWidth
    clip: true

    // One permission: its name and purpose, then a check mark or the way to grant it.
    component PermissionRow: DetailRow {
        id: permissionRow
        property string key
        property bool granted
        signal openSettings()

        // The check mark or the button, whichever applies, in one slot at the row's end.
        Item {
            width: permissionRow.granted ? check.width : openButton.implicitWidth
            height: permissionRow.granted ? check.height : openButton.implicitHeight
            SymbolIcon {
                id: check
                objectName: permissionRow.key + "Granted"
                anchors.centerIn: parent
                visible: permissionRow.granted
                name: "checkmark.circle.fill"
                size: 22
                color: Theme.success
                Accessible.name: permissionRow.title
            }
            Button {
                id: openButton
                objectName: permissionRow.key + "OpenSettings"
                anchors.fill: parent
                visible: !permissionRow.granted
                text: Strings.localized("Open System Settings")
                onClicked: permissionRow.openSettings()
            }
        }
    }

    ColumnLayout {
        width: pane.availableWidth
        spacing: 24

        Item { Layout.preferredHeight: Theme.pageMargin - 24 }

        SectionBox {
            title: Strings.localized("Permissions")
            footer: Strings.localized("Some desktops apply access changes only after the app relaunches.")
            Layout.fillWidth: true
            Layout.leftMargin: Theme.pageMargin
            Layout.rightMargin: Theme.pageMargin

            PermissionRow {
                key: "accessibility"
                title: Strings.localized("Accessibility")
                detail: Strings.localized("Move and resize other apps’ windows.")
                granted: PermissionsPaneModel.accessibilityGranted
                onOpenSettings: PermissionsPaneModel.openAccessibilitySettings()
            }
            Rectangle {
                Layout.fillWidth: true
                implicitHeight: 1
                color: Qt.darker(palette.window, 1.15)
            }
            PermissionRow {
                key: "inputMonitoring"
                title: Strings.localized("Input Monitoring")
                detail: Strings.localized("Notice when a window is dragged by its title bar.")
                granted: PermissionsPaneModel.inputMonitoringGranted
                onOpenSettings: PermissionsPaneModel.openInputMonitoringSettings()
            }
        }

        SectionBox {
            Layout.fillWidth: true
            Layout.leftMargin: Theme.pageMargin
            Layout.rightMargin: Theme.pageMargin

            RowLayout {
                Layout.fillWidth: true
                spacing: 12
                Label {
                    Layout.fillWidth: true
                    wrapMode: Text.WordWrap
                    text: Strings.localized("Turned access on but the status didn’t change?")
                }
                Button {
                    objectName: "relaunchTessera"
                    text: Strings.localized("Relaunch Tessera")
                    onClicked: PermissionsPaneModel.relaunch()
                }
            }
        }

        Item { Layout.preferredHeight: Theme.pageMargin }
    }
}
