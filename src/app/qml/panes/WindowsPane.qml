import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "../controls"

// Dragging, the size of the zone cards, the spacing between placed windows and the editor's
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

        SectionBox {
            Layout.fillWidth: true
            title: strings.localized("Dragging")
            ToggleRow {
                switchName: "snapOnDragSwitch"
                title: strings.localized("Arrange windows while dragging")
                detail: strings.localized("Zones appear when you drag a window by its title bar.")
                value: (prefs.revision, prefs.boolValue("snapOnDrag"))
                onToggledTo: on => prefs.setBool("snapOnDrag", on)
            }
            ToggleRow {
                switchName: "restoreOnDragOutSwitch"
                title: strings.localized("Restore size when leaving a zone")
                detail: strings.localized("A window dragged out of its zone gets back the size it had before.")
                value: (prefs.revision, prefs.boolValue("restoreOnDragOut"))
                onToggledTo: on => prefs.setBool("restoreOnDragOut", on)
            }
        }

        SectionBox {
            Layout.fillWidth: true
            title: strings.localized("Zone card size")
            RowLayout {
                Layout.fillWidth: true
                spacing: 12
                Slider {
                    id: cardSlider
                    objectName: "cardScaleSlider"
                    Layout.fillWidth: true
                    from: windowsPane.cardScaleMinimum
                    to: windowsPane.cardScaleMaximum
                    stepSize: windowsPane.cardScaleStep
                    snapMode: Slider.SnapAlways
                    value: windowsPane.cardScale
                    Accessible.name: strings.localized("Zone card size")
                    onMoved: windowsPane.cardScale = value
                }
                Label {
                    objectName: "cardScaleLabel"
                    text: windowsPane.cardScaleText
                    horizontalAlignment: Text.AlignRight
                    Layout.preferredWidth: 48
                }
            }
            // One card as the overlay draws it at this size, with room for the largest one.
            Item {
                Layout.fillWidth: true
                implicitHeight: windowsPane.cardPreviewMaximumSize.height + 16
                Rectangle {
                    id: cardPreview
                    objectName: "cardPreview"
                    anchors.centerIn: parent
                    width: windowsPane.cardPreviewSize.width
                    height: windowsPane.cardPreviewSize.height
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
                text: strings.localized("Show Zones")
                onClicked: app.previewZones()
            }
        }

        SectionBox {
            Layout.fillWidth: true
            title: strings.localized("Spacing")
            RowLayout {
                Layout.fillWidth: true
                spacing: 16
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 8
                    RowLayout {
                        spacing: 12
                        Label { text: strings.localized("Gap between windows") }
                        SpinBox {
                            id: gapStepper
                            objectName: "windowGapStepper"
                            from: windowsPane.windowGapMinimum
                            to: windowsPane.windowGapMaximum
                            stepSize: windowsPane.windowGapStep
                            value: windowsPane.windowGap
                            editable: false
                            Accessible.name: strings.localized("Gap between windows")
                            textFromValue: (v, locale) => windowsPane.formatWindowGap(v)
                            onValueModified: windowsPane.windowGap = value
                        }
                    }
                }
                // Two windows side by side, as the mover places them with this gap.
                Rectangle {
                    id: gapPicture
                    objectName: "gapPreview"
                    readonly property var preview: windowsPane.gapPreview
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
                enabled: windowsPane.tightEdgesEnabled
                title: strings.localized("No gap at screen edges")
                detail: strings.localized("Windows touch the panels and sides of the screen.")
                value: windowsPane.tightEdges
                onToggledTo: on => windowsPane.tightEdges = on
            }
        }

        SectionBox {
            Layout.fillWidth: true
            title: strings.localized("Zone Editor")
            GridDensityPicker {
                objectName: "gridDensityPicker"
                Layout.fillWidth: true
            }
        }

        Item { implicitHeight: 1 }
    }
}
