import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tessera

// Dragging, windows going back to their zones, the size of the zone cards, the spacing between placed windows and the editor's
// snapping grid.
ScrollView {
    id: pane
    contentWidth: availableWidth
    clip: true

    ColumnLayout {
        width: pane.availableWidth - 2 * Theme.pageMargin
        x: Theme.pageMargin
        spacing: Theme.spacing * 1.5

        Item { implicitHeight: 1 }

        PreferencesSaveNote { Layout.fillWidth: true }

        SectionBox {
            Layout.fillWidth: true
            title: Strings.localized("Dragging")
            ToggleRow {
                switchName: "snapOnDragSwitch"
                title: Strings.localized("Arrange windows while dragging")
                detail: Strings.localized("Zones appear when you drag a window by its title bar.")
                value: WindowsPaneModel.snapOnDrag
                onToggledTo: on => WindowsPaneModel.snapOnDrag = on
            }
            ToggleRow {
                switchName: "restoreOnDragOutSwitch"
                title: Strings.localized("Restore size when leaving a zone")
                detail: Strings.localized("A window dragged out of its zone gets back the size it had before.")
                value: WindowsPaneModel.restoreOnDragOut
                onToggledTo: on => WindowsPaneModel.restoreOnDragOut = on
            }
        }

        SectionBox {
            Layout.fillWidth: true
            title: Strings.localized("Remembered zones")
            ToggleRow {
                switchName: "returnToZonesOnReconnectSwitch"
                title: Strings.localized("Return windows to their zones when a display reconnects")
                value: WindowsPaneModel.returnToZonesOnReconnect
                onToggledTo: on => WindowsPaneModel.returnToZonesOnReconnect = on
            }
            ToggleRow {
                switchName: "openInLastZoneSwitch"
                title: Strings.localized("Open windows in the zone they had last time")
                value: WindowsPaneModel.openInLastZone
                onToggledTo: on => WindowsPaneModel.openInLastZone = on
            }
        }

        SectionBox {
            Layout.fillWidth: true
            title: Strings.localized("Zone card size")
            RowLayout {
                Layout.fillWidth: true
                spacing: 12
                Slider {
                    id: cardSlider
                    objectName: "cardScaleSlider"
                    Layout.fillWidth: true
                    from: WindowsPaneModel.cardScaleMinimum
                    to: WindowsPaneModel.cardScaleMaximum
                    stepSize: WindowsPaneModel.cardScaleStep
                    snapMode: Slider.SnapAlways
                    value: WindowsPaneModel.cardScale
                    Accessible.name: Strings.localized("Zone card size")
                    onMoved: WindowsPaneModel.cardScale = value
                }
                Label {
                    objectName: "cardScaleLabel"
                    text: WindowsPaneModel.cardScaleText
                    horizontalAlignment: Text.AlignRight
                    Layout.preferredWidth: 48
                }
            }
            // One card as the overlay draws it at this size, with room for the largest one.
            Item {
                Layout.fillWidth: true
                implicitHeight: WindowsPaneModel.cardPreviewMaximumSize.height + 16
                Rectangle {
                    id: cardPreview
                    objectName: "cardPreview"
                    anchors.centerIn: parent
                    width: WindowsPaneModel.cardPreviewSize.width
                    height: WindowsPaneModel.cardPreviewSize.height
                    radius: Math.min(Math.min(width, height) / 2, 20)
                    color: Qt.rgba(1, 1, 1, 0.55)
                    border.color: Qt.rgba(0, 0, 0, 0.18)
                    Behavior on width { NumberAnimation { duration: 120 } }
                    Behavior on height { NumberAnimation { duration: 120 } }
                    SymbolIcon {
                        anchors.centerIn: parent
                        name: "macwindow.on.rectangle"
                        size: Math.max(16, Math.round(cardPreview.height / 3))
                        color: "#1c1c1e"
                    }
                }
            }
            Button {
                objectName: "showZonesButton"
                text: Strings.localized("Show Zones")
                onClicked: AppViewModel.previewZones()
            }
        }

        SectionBox {
            Layout.fillWidth: true
            title: Strings.localized("Spacing")
            RowLayout {
                Layout.fillWidth: true
                spacing: 16
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 8
                    RowLayout {
                        spacing: 12
                        Label { text: Strings.localized("Gap between windows") }
                        SpinBox {
                            id: gapStepper
                            objectName: "windowGapStepper"
                            from: WindowsPaneModel.windowGapMinimum
                            to: WindowsPaneModel.windowGapMaximum
                            stepSize: WindowsPaneModel.windowGapStep
                            value: WindowsPaneModel.windowGap
                            editable: false
                            Accessible.name: Strings.localized("Gap between windows")
                            textFromValue: (v, locale) => WindowsPaneModel.formatWindowGap(v)
                            onValueModified: WindowsPaneModel.windowGap = value
                        }
                    }
                }
                // Two windows side by side, as the mover places them with this gap.
                Rectangle {
                    id: gapPicture
                    objectName: "gapPreview"
                    readonly property var preview: WindowsPaneModel.gapPreview
                    readonly property real scale_: width / preview.width
                    width: 176
                    height: preview.height * scale_
                    radius: 4
                    color: Qt.darker(palette.window, 1.35)
                    Repeater {
                        model: [gapPicture.preview.left, gapPicture.preview.right]
                        delegate: Rectangle {
                            required property var modelData
                            x: modelData.x * gapPicture.scale_
                            y: modelData.y * gapPicture.scale_
                            width: modelData.width * gapPicture.scale_
                            height: modelData.height * gapPicture.scale_
                            radius: 2
                            color: palette.base
                            border.color: Qt.rgba(0, 0, 0, 0.25)
                            Behavior on x { NumberAnimation { duration: 120 } }
                            Behavior on width { NumberAnimation { duration: 120 } }
                            Rectangle {
                                width: parent.width
                                height: 5
                                radius: 2
                                color: Qt.darker(palette.base, 1.12)
                            }
                        }
                    }
                }
            }
            ToggleRow {
                switchName: "tightEdgesSwitch"
                enabled: WindowsPaneModel.tightEdgesEnabled
                title: Strings.localized("No gap at screen edges")
                detail: Strings.localized("Windows touch the panels and sides of the screen.")
                value: WindowsPaneModel.tightEdges
                onToggledTo: on => WindowsPaneModel.tightEdges = on
            }
        }

        SectionBox {
            Layout.fillWidth: true
            title: Strings.localized("Zone Editor")
            GridDensityPicker {
                objectName: "gridDensityPicker"
                Layout.fillWidth: true
            }
        }

        Item { implicitHeight: 1 }
    }
}
