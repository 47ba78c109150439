import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../controls"

// General settings: appearance, language, menu-bar icon, open at login, the built-in layouts
// and the backup file. The file panels only pick a path; generalPane does the rest.
Item {
    id: pane
    objectName: "generalPane"

    // One side of a window picture.
    component WindowHalf: Rectangle {
        property bool dark
        color: dark ? "#1e1e1e" : "#f4f4f4"
        Rectangle {
            width: parent.width
            height: 12
            color: parent.dark ? "#3a3a3a" : "#dcdcdc"
        }
        Rectangle {
            x: 8; y: 20
            width: parent.width * 0.55
            height: 6
            radius: 3
            color: parent.dark ? "#5a5a5a" : "#c4c4c4"
        }
        Rectangle {
            x: 8; y: 32
            width: parent.width * 0.4
            height: 6
            radius: 3
            color: parent.dark ? "#5a5a5a" : "#c4c4c4"
        }
    }

    // A small window drawn light, dark, or (for "System") half of each.
    component WindowPicture: Item {
        id: picture
        property string scheme: "light"
        implicitWidth: 84
        implicitHeight: 56

        Rectangle {
            id: frame
            anchors.fill: parent
            radius: 6
            color: "transparent"
            border.color: Qt.darker(palette.window, 1.4)
            clip: true
            WindowHalf {
                anchors.fill: parent
                anchors.margins: 1
                dark: picture.scheme === "dark"
            }
            WindowHalf {
                visible: picture.scheme === "system"
                anchors.top: parent.top
                anchors.bottom: parent.bottom
                anchors.right: parent.right
                anchors.margins: 1
                width: (parent.width - 2) / 2
                dark: true
                clip: true
            }
        }
    }

    ScrollView {
        id: scroller
        anchors.fill: parent
        contentWidth: availableWidth
        clip: true

        ColumnLayout {
            width: scroller.availableWidth
            spacing: 24

            Item { Layout.preferredHeight: Theme.pageMargin - 24 }

            SectionBox {
                title: strings.localized("Appearance")
                Layout.fillWidth: true
                Layout.leftMargin: Theme.pageMargin
                Layout.rightMargin: Theme.pageMargin

                Row {
                    objectName: "themePicker"
                    spacing: 16
                    Repeater {
                        model: generalPane.appearances
                        delegate: AbstractButton {
                            id: theme
                            required property var modelData
                            objectName: "appearance-" + modelData.rawValue
                            checkable: true
                            checked: app.appearance === modelData.rawValue
                            text: modelData.title
                            Accessible.name: modelData.title
                            onClicked: {
                                app.appearance = modelData.rawValue
                                checked = Qt.binding(() => app.appearance === theme.modelData.rawValue)
                            }
                            contentItem: Column {
                                spacing: 6
                                Rectangle {
                                    width: picture.implicitWidth + 6
                                    height: picture.implicitHeight + 6
                                    radius: 8
                                    color: "transparent"
                                    border.width: 2
                                    border.color: theme.checked ? Theme.accent : "transparent"
                                    WindowPicture {
                                        id: picture
                                        anchors.centerIn: parent
                                        scheme: theme.modelData.rawValue
                                    }
                                }
                                Label {
                                    anchors.horizontalCenter: parent.horizontalCenter
                                    text: theme.modelData.title
                                    font.bold: theme.checked
                                }
                            }
                        }
                    }
                }

                RowLayout {
                    Layout.fillWidth: true
                    Label {
                        text: strings.localized("Language")
                        Layout.fillWidth: true
                    }
                    ComboBox {
                        id: languagePicker
                        objectName: "languagePicker"
                        Accessible.name: strings.localized("Language")
                        model: generalPane.languages
                        textRole: "title"
                        valueRole: "rawValue"
                        implicitContentWidthPolicy: ComboBox.WidestText
                        // Not indexOfValue: that is read before the model is set and never again.
                        currentIndex: generalPane.languages.findIndex(
                                          entry => entry.rawValue === generalPane.language)
                        onActivated: {
                            generalPane.setLanguage(currentValue)
                            currentIndex = Qt.binding(() => generalPane.languages.findIndex(
                                                          entry => entry.rawValue
                                                                   === generalPane.language))
                        }
                    }
                }

                ToggleRow {
                    switchName: "showsMenuBarIcon"
                    title: strings.localized("Show in System Tray")
                    value: generalPane.showsMenuBarIcon
                    onToggledTo: on => generalPane.showsMenuBarIcon = on
                }

                ToggleRow {
                    switchName: "openAtLogin"
                    title: strings.localized("Open at Login")
                    // The system may refuse; the switch shows what it reports.
                    value: generalPane.launchAtLogin
                    onToggledTo: on => generalPane.setLaunchAtLogin(on)
                }
            }

            SectionBox {
                title: strings.localized("Layouts")
                Layout.fillWidth: true
                Layout.leftMargin: Theme.pageMargin
                Layout.rightMargin: Theme.pageMargin

                DetailRow {
                    title: strings.localized("Built-in Layouts")
                    detail: strings.localized("Brings back the original layouts. Your own layouts and zone shortcuts will be removed.")
                    Button {
                        objectName: "restoreBuiltIns"
                        text: strings.localized("Restore…")
                        onClicked: generalPane.requestRestoreBuiltIns()
                    }
                }
            }

            ColumnLayout {
                Layout.fillWidth: true
                Layout.leftMargin: Theme.pageMargin
                Layout.rightMargin: Theme.pageMargin
                spacing: 8

                SectionBox {
                    title: strings.localized("Backup")
                    footer: generalPane.automaticCopiesFooter
                    Layout.fillWidth: true

                    DetailRow {
                        title: strings.localized("Layouts and settings")
                        detail: strings.localized("One file with layouts, zones, shortcuts, exclusions and preferences. Useful for a new computer or before experimenting.")
                        Button {
                            objectName: "exportBackup"
                            text: strings.localized("Export…")
                            onClicked: generalPane.chooseExportFile(pane.Window.window)
                        }
                        Button {
                            objectName: "importBackup"
                            text: strings.localized("Import…")
                            onClicked: generalPane.chooseImportFile(pane.Window.window)
                        }
                    }
                    Label {
                        objectName: "exportNotice"
                        visible: text.length > 0
                        Layout.fillWidth: true
                        text: generalPane.exportNotice
                        wrapMode: Text.Wrap
                        font.pixelSize: 12
                        opacity: 0.8
                    }
                }

                Button {
                    objectName: "showAutomaticCopies"
                    text: strings.localized("Show Automatic Copies")
                    onClicked: generalPane.showAutomaticCopies()
                }
            }

            Item { Layout.preferredHeight: Theme.pageMargin }
        }
    }

    Alert {
        objectName: "relaunchAlert"
        title: strings.localized("Relaunch to switch the language?")
        message: strings.localized("Tessera shows the new language after it relaunches. Your layouts and settings stay as they are.")
        wanted: generalPane.confirmsRelaunch
        onDismissed: generalPane.relaunchLater()
        Button {
            objectName: "relaunchNow"
            text: strings.localized("Relaunch Now")
            highlighted: true
            onClicked: generalPane.relaunchNow()
        }
        Button {
            objectName: "relaunchLater"
            text: strings.localized("Later")
            onClicked: generalPane.relaunchLater()
        }
    }

    Alert {
        objectName: "restoreAlert"
        title: strings.localized("Restore built-in layouts?")
        message: strings.localized("Your own layouts, zones, and shortcuts will be removed.")
        wanted: generalPane.confirmsRestore
        onDismissed: generalPane.cancelRestoreBuiltIns()
        Button {
            objectName: "confirmRestore"
            text: strings.localized("Restore")
            // Destructive: drawn in red so it is never taken for the safe choice; the dark
            // scheme's red is lighter, as the deep one is hard to read on a dark button.
            palette.buttonText: Theme.dark ? "#ff453a" : "#d70015"
            onClicked: generalPane.restoreBuiltIns()
        }
        Button {
            objectName: "cancelRestore"
            text: strings.localized("Cancel")
            onClicked: generalPane.cancelRestoreBuiltIns()
        }
    }

    Alert {
        objectName: "importAlert"
        title: generalPane.importTitle
        message: generalPane.importMessage
        wanted: generalPane.hasPendingImport
        onDismissed: generalPane.cancelImport()
        Button {
            objectName: "confirmImport"
            text: generalPane.importButton
            highlighted: true
            onClicked: generalPane.confirmImport()
        }
        Button {
            objectName: "cancelImport"
            text: generalPane.importCancelButton
            onClicked: generalPane.cancelImport()
        }
    }

    Alert {
        objectName: "errorAlert"
        title: generalPane.errorTitle
        message: generalPane.errorMessage
        wanted: generalPane.showsError
        onDismissed: generalPane.dismissError()
        Button {
            objectName: "dismissError"
            text: strings.localized("OK")
            highlighted: true
            onClicked: generalPane.dismissError()
        }
    }
}
