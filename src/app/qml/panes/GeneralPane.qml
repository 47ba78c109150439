import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tessera

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

            PreferencesSaveNote {
                Layout.fillWidth: true
                Layout.leftMargin: Theme.pageMargin
                Layout.rightMargin: Theme.pageMargin
            }

            SectionBox {
                title: Strings.localized("Appearance")
                Layout.fillWidth: true
                Layout.leftMargin: Theme.pageMargin
                Layout.rightMargin: Theme.pageMargin

                Row {
                    objectName: "themePicker"
                    spacing: 16
                    Repeater {
                        model: GeneralPaneModel.appearances
                        delegate: AbstractButton {
                            id: theme
                            required property var modelData
                            objectName: "appearance-" + modelData.rawValue
                            checkable: true
                            checked: AppViewModel.appearance === modelData.rawValue
                            text: modelData.title
                            Accessible.name: modelData.title
                            onClicked: {
                                AppViewModel.appearance = modelData.rawValue
                                checked = Qt.binding(() => AppViewModel.appearance === theme.modelData.rawValue)
                            }
                            contentItem: Column { // qmllint disable deferred-property-id
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
                        text: Strings.localized("Language")
                        Layout.fillWidth: true
                    }
                    ComboBox {
                        id: languagePicker
                        objectName: "languagePicker"
                        Accessible.name: Strings.localized("Language")
                        model: GeneralPaneModel.languages
                        textRole: "title"
                        valueRole: "rawValue"
                        implicitContentWidthPolicy: ComboBox.WidestText
                        // Not indexOfValue: that is read before the model is set and never again.
                        currentIndex: GeneralPaneModel.languages.findIndex( // qmllint disable
                                          entry => entry.rawValue === GeneralPaneModel.language)
                        onActivated: {
                            GeneralPaneModel.setLanguage(currentValue)
                            currentIndex = Qt.binding(() => GeneralPaneModel.languages.findIndex(
                                                          entry => entry.rawValue
                                                                   === GeneralPaneModel.language))
                        }
                    }
                }

                ToggleRow {
                    switchName: "showsMenuBarIcon"
                    title: Strings.localized("Show in System Tray")
                    value: GeneralPaneModel.showsMenuBarIcon
                    onToggledTo: on => GeneralPaneModel.showsMenuBarIcon = on
                }

                ToggleRow {
                    switchName: "openAtLogin"
                    title: Strings.localized("Open at Login")
                    // The system may refuse; the switch shows what it reports.
                    value: GeneralPaneModel.launchAtLogin
                    onToggledTo: on => GeneralPaneModel.setLaunchAtLogin(on)
                }
            }

            SectionBox {
                title: Strings.localized("Layouts")
                Layout.fillWidth: true
                Layout.leftMargin: Theme.pageMargin
                Layout.rightMargin: Theme.pageMargin

                DetailRow {
                    title: Strings.localized("Built-in Layouts")
                    detail: Strings.localized("Brings back the original layouts. Your own layouts and zone shortcuts will be removed.")
                    Button {
                        objectName: "restoreBuiltIns"
                        text: Strings.localized("Restore…")
                        onClicked: GeneralPaneModel.requestRestoreBuiltIns()
                    }
                }
            }

            ColumnLayout {
                Layout.fillWidth: true
                Layout.leftMargin: Theme.pageMargin
                Layout.rightMargin: Theme.pageMargin
                spacing: 8

                SectionBox {
                    title: Strings.localized("Backup")
                    footer: GeneralPaneModel.automaticCopiesFooter
                    Layout.fillWidth: true

                    DetailRow {
                        title: Strings.localized("Layouts and settings")
                        detail: Strings.localized("One file with layouts, zones, shortcuts, exclusions and preferences. Useful for a new computer or before experimenting.")
                        Button {
                            objectName: "exportBackup"
                            text: Strings.localized("Export…")
                            onClicked: GeneralPaneModel.chooseExportFile(pane.Window.window)
                        }
                        Button {
                            objectName: "importBackup"
                            text: Strings.localized("Import…")
                            onClicked: GeneralPaneModel.chooseImportFile(pane.Window.window)
                        }
                    }
                    Label {
                        objectName: "exportNotice"
                        visible: text.length > 0
                        Layout.fillWidth: true
                        text: GeneralPaneModel.exportNotice
                        wrapMode: Text.Wrap
                        font.pixelSize: 12
                        opacity: 0.8
                    }
                }

                Button {
                    objectName: "showAutomaticCopies"
                    text: Strings.localized("Show Automatic Copies")
                    onClicked: GeneralPaneModel.showAutomaticCopies()
                }
            }

            Item { Layout.preferredHeight: Theme.pageMargin }
        }
    }

    Alert {
        objectName: "relaunchAlert"
        title: Strings.localized("Relaunch to switch the language?")
        message: Strings.localized("Tessera shows the new language after it relaunches. Your layouts and settings stay as they are.")
        wanted: GeneralPaneModel.confirmsRelaunch
        onDismissed: GeneralPaneModel.relaunchLater()
        Button {
            objectName: "relaunchNow"
            text: Strings.localized("Relaunch Now")
            highlighted: true
            onClicked: GeneralPaneModel.relaunchNow()
        }
        Button {
            objectName: "relaunchLater"
            text: Strings.localized("Later")
            onClicked: GeneralPaneModel.relaunchLater()
        }
    }

    Alert {
        objectName: "restoreAlert"
        title: Strings.localized("Restore built-in layouts?")
        message: Strings.localized("Your own layouts, zones, and shortcuts will be removed.")
        wanted: GeneralPaneModel.confirmsRestore
        onDismissed: GeneralPaneModel.cancelRestoreBuiltIns()
        Button {
            objectName: "confirmRestore"
            text: Strings.localized("Restore")
            // Destructive: drawn in red so it is never taken for the safe choice; the dark
            // scheme's red is lighter, as the deep one is hard to read on a dark button.
            palette.buttonText: Theme.dark ? "#ff453a" : "#d70015"
            onClicked: GeneralPaneModel.restoreBuiltIns()
        }
        Button {
            objectName: "cancelRestore"
            text: Strings.localized("Cancel")
            onClicked: GeneralPaneModel.cancelRestoreBuiltIns()
        }
    }

    Alert {
        objectName: "importAlert"
        title: GeneralPaneModel.importTitle
        message: GeneralPaneModel.importMessage
        wanted: GeneralPaneModel.hasPendingImport
        onDismissed: GeneralPaneModel.cancelImport()
        Button {
            objectName: "confirmImport"
            text: GeneralPaneModel.importButton
            highlighted: true
            onClicked: GeneralPaneModel.confirmImport()
        }
        Button {
            objectName: "cancelImport"
            text: GeneralPaneModel.importCancelButton
            onClicked: GeneralPaneModel.cancelImport()
        }
    }

    Alert {
        objectName: "errorAlert"
        title: GeneralPaneModel.errorTitle
        message: GeneralPaneModel.errorMessage
        wanted: GeneralPaneModel.showsError
        onDismissed: GeneralPaneModel.dismissError()
        Button {
            objectName: "dismissError"
            text: Strings.localized("OK")
            highlighted: true
            onClicked: GeneralPaneModel.dismissError()
        }
    }
}
