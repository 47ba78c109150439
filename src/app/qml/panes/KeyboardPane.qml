pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tessera

// The window commands' shortcuts: one recorder per command, the warnings under them (a clash, or
// keys another program holds) and the way back to the default shortcuts. Scrolled and within the page margins, like the other
// panes.
ScrollView {
    id: pane
    contentWidth: availableWidth
    clip: true

    ColumnLayout {
        width: pane.availableWidth - 2 * Theme.pageMargin
        x: Theme.pageMargin
        spacing: Theme.spacing

        Item { implicitHeight: 1 }

        SectionBox {
            Layout.fillWidth: true
            title: KeyboardPaneModel.header
            footer: KeyboardPaneModel.footer

            Repeater {
                model: KeyboardPaneModel.commands

                delegate: ColumnLayout {
                    id: row
                    required property var modelData
                    objectName: "commandRow_" + modelData.command
                    readonly property string conflict:
                        KeyboardPaneModel.conflicts[row.modelData.command] ?? ""
                    readonly property string heldElsewhere:
                        KeyboardPaneModel.heldElsewhere[row.modelData.command] ?? ""
                    Layout.fillWidth: true
                    spacing: 4

                    RowLayout {
                        Layout.fillWidth: true
                        spacing: 8
                        SymbolIcon {
                            name: row.modelData.icon
                            size: 18
                        }
                        Label {
                            text: row.modelData.title
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                        }
                        ShortcutRecorder {
                            id: rowRecorder
                            objectName: "recorder_" + row.modelData.command
                            recorder: row.modelData.recorder
                        }
                    }
                    RowLayout {
                        objectName: "heldElsewhereRow_" + row.modelData.command
                        visible: row.heldElsewhere.length > 0
                        Layout.fillWidth: true
                        spacing: 6
                        SymbolIcon {
                            name: "exclamationmark.triangle.fill"
                            size: 14
                            color: Theme.warning
                        }
                        Label {
                            objectName: "heldElsewhere_" + row.modelData.command
                            text: row.heldElsewhere
                            color: Theme.warning
                            font.pixelSize: 12
                            wrapMode: Text.WordWrap
                            Layout.fillWidth: true
                        }
                        Button {
                            objectName: "recordAnother_" + row.modelData.command
                            text: KeyboardPaneModel.recordAnotherTitle
                            visible: !rowRecorder.listening
                            onClicked: rowRecorder.startRecording()
                        }
                    }
                    RowLayout {
                        visible: row.conflict.length > 0
                        Layout.fillWidth: true
                        spacing: 6
                        SymbolIcon {
                            name: "exclamationmark.triangle.fill"
                            size: 14
                            color: Theme.warning
                        }
                        Label {
                            objectName: "conflict_" + row.modelData.command
                            text: row.conflict
                            color: Theme.warning
                            font.pixelSize: 12
                            wrapMode: Text.WordWrap
                            Layout.fillWidth: true
                        }
                    }
                }
            }

            Button {
                objectName: "restoreDefaultShortcuts"
                text: KeyboardPaneModel.restoreDefaultsTitle
                Layout.alignment: Qt.AlignRight
                onClicked: KeyboardPaneModel.restoreDefaults()
            }
        }

        Label {
            objectName: "keyboardError"
            visible: text.length > 0
            text: KeyboardPaneModel.lastError
            color: Theme.warning
            wrapMode: Text.WordWrap
            Layout.fillWidth: true
        }
    }
}
