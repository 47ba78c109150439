import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import QtQuick.Layouts
import "../controls"

// The applications whose windows never show zones while dragged.
ScrollView {
    id: pane
    contentWidth: availableWidth
    clip: true

    readonly property alias fileDialog: dialog
    // Where the desktop offers no file dialog of its own, Qt draws one that needs the
    // Qt.labs.folderlistmodel module; opening it without that module crashes Qt 6.4, so the
    // button waits for the module instead.
    readonly property bool fileDialogUsable: {
        try {
            Qt.createQmlObject("import Qt.labs.folderlistmodel\nFolderListModel {}", pane).destroy()
            return true
        } catch (error) {
            return false
        }
    }

    ColumnLayout {
        width: pane.availableWidth - 2 * Theme.pageMargin
        x: Theme.pageMargin
        spacing: Theme.spacing

        Item { implicitHeight: 1 }

        SectionBox {
            Layout.fillWidth: true
            title: strings.localized("Ignored Apps")

            Label {
                text: strings.localized("Dragging windows of these apps doesn’t show zones. Keyboard shortcuts still work. The tray icon can add the active app in one click.")
                wrapMode: Text.WordWrap
                Layout.fillWidth: true
                opacity: 0.75
            }

            Label {
                objectName: "noIgnoredApps"
                visible: exclusionsPane.empty
                text: strings.localized("No ignored apps")
                Layout.fillWidth: true
                Layout.topMargin: 8
                Layout.bottomMargin: 8
                horizontalAlignment: Text.AlignHCenter
                opacity: 0.6
            }

            Repeater {
                objectName: "ignoredAppsList"
                model: exclusionsPane.apps
                delegate: RowLayout {
                    id: appRow
                    required property var modelData
                    required property int index
                    objectName: "ignoredApp" + index
                    Layout.fillWidth: true
                    spacing: 10

                    Item {
                        implicitWidth: 28
                        implicitHeight: 28
                        Image {
                            id: appIcon
                            anchors.fill: parent
                            source: appRow.modelData.iconSource
                            sourceSize: Qt.size(56, 56)
                            fillMode: Image.PreserveAspectFit
                            asynchronous: true
                            visible: status === Image.Ready
                        }
                        SymbolIcon {
                            anchors.centerIn: parent
                            visible: appIcon.status !== Image.Ready
                            name: "macwindow.on.rectangle"
                            size: 22
                        }
                    }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 0
                        Label {
                            objectName: "appName"
                            text: appRow.modelData.name
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                        }
                        Label {
                            visible: appRow.modelData.name !== appRow.modelData.identifier
                            text: appRow.modelData.identifier
                            elide: Text.ElideMiddle
                            Layout.fillWidth: true
                            opacity: 0.6
                            font.pixelSize: 11
                        }
                    }
                    Button {
                        objectName: "stopIgnoring"
                        text: strings.localized("Stop Ignoring")
                        icon.source: Symbols.source("minus.circle.fill")
                        onClicked: exclusionsPane.stopIgnoring(appRow.modelData.identifier)
                    }
                }
            }
        }

        Label {
            objectName: "exclusionsError"
            visible: text.length > 0
            text: exclusionsPane.lastError
            color: Theme.warning
            wrapMode: Text.WordWrap
            Layout.fillWidth: true
        }

        Button {
            objectName: "addAppsButton"
            text: strings.localized("Add App…")
            icon.source: Symbols.source("plus")
            enabled: pane.fileDialogUsable
            onClicked: dialog.open()
        }
        Label {
            objectName: "fileDialogMissing"
            visible: !pane.fileDialogUsable
            text: strings.localized("Choosing apps needs the Qt module Qt.labs.folderlistmodel (package qml6-module-qt-labs-folderlistmodel).")
            wrapMode: Text.WordWrap
            Layout.fillWidth: true
            opacity: 0.7
            font.pixelSize: 12
        }

        Item { implicitHeight: 1 }
    }

    // Applications are chosen by their desktop entries; each one's id is what gets stored.
    FileDialog {
        id: dialog
        // The pane is put into its window after the dialog is made; follow it there.
        parentWindow: pane.Window.window
        fileMode: FileDialog.OpenFiles
        nameFilters: [strings.localized("Applications") + " (*.desktop)"]
        currentFolder: exclusionsPane.applicationsFolder
        acceptLabel: strings.localized("Ignore")
        onAccepted: exclusionsPane.addDesktopFiles(selectedFiles)
    }
}
