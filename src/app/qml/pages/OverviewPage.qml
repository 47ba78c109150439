pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tessera

// The displays and their layouts, how dragging works, and the window commands' shortcuts.
ScrollView {
    id: page
    objectName: "overviewPage"
    contentWidth: availableWidth
    clip: true

    ColumnLayout {
        width: page.availableWidth
        spacing: 24

        Item { Layout.preferredHeight: Theme.pageMargin - 24 }

        // While a permission is missing nothing can be moved; say so first.
        Rectangle {
            objectName: "accessWarning"
            visible: OverviewViewModel.accessNeeded
            Layout.fillWidth: true
            Layout.leftMargin: Theme.pageMargin
            Layout.rightMargin: Theme.pageMargin
            implicitHeight: warningRow.implicitHeight + 24
            radius: Theme.cornerRadius
            color: Qt.rgba(0.88, 0.63, 0, 0.14)
            border.color: Theme.warning

            RowLayout {
                id: warningRow
                anchors.fill: parent
                anchors.margins: 12
                spacing: 12
                SymbolIcon {
                    name: "exclamationmark.triangle.fill"
                    size: 24
                    color: Theme.warning
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 2
                    Label {
                        text: Strings.localized("Windows can’t be moved yet")
                        font.bold: true
                    }
                    Label {
                        Layout.fillWidth: true
                        wrapMode: Text.WordWrap
                        text: Strings.localized("Give Tessera Accessibility and Input Monitoring access.")
                    }
                }
                Button {
                    objectName: "grantAccess"
                    text: Strings.localized("Grant Access")
                    highlighted: true
                    onClicked: AppViewModel.openSettings("permissions")
                }
            }
        }

        SectionBox {
            objectName: "monitorsSection"
            Layout.fillWidth: true
            Layout.leftMargin: Theme.pageMargin
            Layout.rightMargin: Theme.pageMargin
            title: Strings.localized("Monitors")
            footer: Strings.localized("Each monitor has its own layout. Changes apply immediately.")

            Label {
                objectName: "noMonitors"
                visible: OverviewViewModel.monitors.length === 0
                text: Strings.localized("No monitors found")
                opacity: 0.7
            }

            GridLayout {
                id: cards
                objectName: "monitorCards"
                readonly property int cardWidth: 320
                Layout.fillWidth: true
                visible: OverviewViewModel.monitors.length > 0
                columns: Math.max(1, Math.floor((width + columnSpacing) / (cardWidth + columnSpacing)))
                columnSpacing: 16
                rowSpacing: 16

                Repeater {
                    model: OverviewViewModel.monitors
                    delegate: Rectangle {
                        id: card
                        required property var modelData
                        required property int index
                        objectName: "monitorCard-" + index
                        Layout.alignment: Qt.AlignTop
                        Layout.preferredWidth: cards.cardWidth
                        implicitHeight: cardColumn.implicitHeight + 24
                        radius: Theme.cornerRadius
                        color: palette.base
                        border.color: Qt.darker(palette.window, 1.15)

                        ColumnLayout {
                            id: cardColumn
                            anchors.fill: parent
                            anchors.margins: 12
                            spacing: 10

                            Label {
                                objectName: "monitorName"
                                Layout.fillWidth: true
                                elide: Text.ElideRight
                                text: card.modelData.name
                                font.bold: true
                            }

                            MonitorPreview {
                                objectName: "monitorPreview"
                                Layout.fillWidth: true
                                Layout.preferredHeight: width / Math.max(0.1, aspect)
                                aspect: card.modelData.aspect
                                pictureSource: card.modelData.pictureSource
                                zones: card.modelData.zones
                            }

                            RowLayout {
                                Layout.fillWidth: true
                                Label { text: Strings.localized("Layout") }
                                ComboBox {
                                    objectName: "layoutPicker"
                                    Layout.fillWidth: true
                                    Accessible.name: Strings.localized("Layout")
                                    model: OverviewViewModel.layouts
                                    textRole: "name"
                                    valueRole: "id"
                                    currentIndex: OverviewViewModel.layouts.findIndex( // qmllint disable
                                                      entry => entry.id === card.modelData.layoutID)
                                    onActivated: (index) => OverviewViewModel.assignLayout(
                                                     card.modelData.id, OverviewViewModel.layouts[index].id)
                                }
                            }

                            Button {
                                objectName: "editZones"
                                Layout.fillWidth: true
                                text: Strings.localized("Edit zones for this monitor")
                                onClicked: AppViewModel.editZones(card.modelData.id)
                            }
                        }
                    }
                }
            }

            Button {
                objectName: "showZones"
                Layout.alignment: Qt.AlignRight
                text: Strings.localized("Show zones on all monitors")
                icon.source: Symbols.source("eye")
                onClicked: AppViewModel.previewZones()
            }
        }

        SectionBox {
            objectName: "draggingSection"
            Layout.fillWidth: true
            Layout.leftMargin: Theme.pageMargin
            Layout.rightMargin: Theme.pageMargin
            title: Strings.localized("Dragging")
            footer: Strings.localized("Esc cancels while dragging. Dropping outside a zone keeps the size.")

            Repeater {
                model: [
                    {
                        icon: "hand.draw",
                        title: Strings.localized("Drag a window by its title bar"),
                        text: Strings.localized("Zones appear. Drop the window on one and it fills that zone.")
                    },
                    {
                        icon: "option",
                        title: Strings.localized("Custom title bars"),
                        text: Strings.localized("For Chrome or Telegram, hold Alt and drag from anywhere in the window.")
                    },
                    {
                        icon: "arrow.uturn.backward",
                        title: Strings.localized("Drag a window out of its zone"),
                        text: Strings.localized("It gets back the size it had before. You can turn this off in Settings.")
                    }
                ]
                delegate: RowLayout {
                    id: tip
                    required property var modelData
                    Layout.fillWidth: true
                    spacing: 12
                    SymbolIcon {
                        Layout.alignment: Qt.AlignTop
                        name: tip.modelData.icon
                        size: 22
                        color: Theme.accent
                    }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 2
                        Label {
                            text: tip.modelData.title
                            font.bold: true
                        }
                        Label {
                            Layout.fillWidth: true
                            wrapMode: Text.WordWrap
                            text: tip.modelData.text
                            opacity: 0.8
                        }
                    }
                }
            }
        }

        SectionBox {
            objectName: "keyboardSection"
            Layout.fillWidth: true
            Layout.leftMargin: Theme.pageMargin
            Layout.rightMargin: Theme.pageMargin
            Layout.bottomMargin: Theme.pageMargin
            title: Strings.localized("Keyboard")

            Repeater {
                model: OverviewViewModel.commands
                delegate: ColumnLayout {
                    id: commandRow
                    required property var modelData
                    readonly property bool held: modelData.heldElsewhere.length > 0
                    objectName: "command-" + modelData.rawValue
                    Layout.fillWidth: true
                    spacing: 4
                    RowLayout {
                        Layout.fillWidth: true
                        spacing: 12
                        SymbolIcon { name: commandRow.modelData.icon; size: 18 }
                        Label {
                            Layout.fillWidth: true
                            text: commandRow.modelData.title
                        }
                        SymbolIcon {
                            objectName: "heldElsewhereMark"
                            visible: commandRow.held
                            name: "exclamationmark.triangle.fill"
                            size: 14
                            color: Theme.warning
                        }
                        // Dimmed: pressing these keys reaches the other program, not Tessera.
                        KeyCaps {
                            objectName: "keyCaps"
                            keys: commandRow.modelData.keys
                            opacity: commandRow.held ? 0.5 : 1
                        }
                    }
                    Label {
                        objectName: "heldElsewhere"
                        visible: commandRow.held
                        text: commandRow.modelData.heldElsewhere
                        color: Theme.warning
                        font.pixelSize: 12
                        wrapMode: Text.WordWrap
                        horizontalAlignment: Text.AlignRight
                        Layout.fillWidth: true
                    }
                }
            }

            Button {
                objectName: "customize"
                Layout.alignment: Qt.AlignRight
                text: Strings.localized("Customize")
                onClicked: AppViewModel.openSettings("keyboard")
            }
        }
    }
}
