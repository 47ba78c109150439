pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tessera

// The template sheet's content: the templates of both orientations (the display's own first),
// each drawn on a miniature of the display being edited. A tile adds its template as a new
// layout of that display; Cancel and Escape close the sheet without one.
FocusScope {
    id: sheet

    // zonesPage.presetGallery() as the sheet opened: { title, message, cancelTitle, aspect,
    // sections: [{ title, orientation, presets: [{ id, title, zones }] }] }.
    property var gallery: ({})
    readonly property real aspect: Math.max(0.1, Number(gallery.aspect ?? 16 / 9))
    readonly property int tileWidth: 128
    readonly property int tileSpacing: 12
    // The box every miniature fits in, whatever the display's shape.
    readonly property size previewBox: Qt.size(tileWidth - 16, 84)
    readonly property real previewWidth: Math.min(previewBox.width, previewBox.height * aspect)

    // After a pick or a cancel.
    signal closed()

    function cancel() {
        ZonesPageModel.showsPresets = false
        sheet.closed()
    }

    function pick(presetID) {
        ZonesPageModel.pickPreset(presetID)
        sheet.closed()
    }

    implicitWidth: 640
    implicitHeight: 520
    focus: true
    Keys.onEscapePressed: sheet.cancel()

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        Label {
            objectName: "presetTitle"
            text: sheet.gallery.title ?? Strings.localized("New Layout")
            font.pixelSize: 18
            font.bold: true
        }
        Label {
            objectName: "presetMessage"
            Layout.fillWidth: true
            text: sheet.gallery.message ?? ""
            wrapMode: Text.WordWrap
            opacity: 0.75
        }

        ScrollView {
            id: scroller
            objectName: "presetScroller"
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentWidth: availableWidth
            clip: true

            ColumnLayout {
                width: scroller.availableWidth
                spacing: 16

                Repeater {
                    model: sheet.gallery.sections ?? []
                    delegate: ColumnLayout {
                        id: section
                        required property var modelData
                        required property int index
                        objectName: "presetSection_" + modelData.orientation
                        Layout.fillWidth: true
                        spacing: 8

                        Label {
                            objectName: "presetSectionTitle"
                            text: section.modelData.title
                            font.bold: true
                            font.pixelSize: 14
                        }

                        GridLayout {
                            id: tiles
                            objectName: "presetGrid"
                            Layout.fillWidth: true
                            columnSpacing: sheet.tileSpacing
                            rowSpacing: sheet.tileSpacing
                            columns: Math.max(1, Math.floor((scroller.availableWidth + columnSpacing)
                                                            / (sheet.tileWidth + columnSpacing)))

                            Repeater {
                                model: section.modelData.presets
                                delegate: AbstractButton {
                                    id: tile
                                    required property var modelData
                                    objectName: "preset_" + modelData.id
                                    Layout.preferredWidth: sheet.tileWidth
                                    Layout.alignment: Qt.AlignTop
                                    implicitHeight: sheet.previewBox.height + titleLabel.implicitHeight + 22
                                    hoverEnabled: true
                                    focusPolicy: Qt.TabFocus
                                    text: modelData.title
                                    Accessible.role: Accessible.Button
                                    Accessible.name: modelData.title
                                    onClicked: sheet.pick(modelData.id)

                                    background: Rectangle {
                                        radius: 8
                                        color: tile.down ? Qt.rgba(0.04, 0.52, 1, 0.18)
                                                         : tile.hovered ? Qt.rgba(0.04, 0.52, 1, 0.08)
                                                                        : "transparent"
                                        border.color: tile.hovered || tile.visualFocus
                                                      ? Theme.accent : "transparent"
                                    }
                                    contentItem: Item { // qmllint disable deferred-property-id
                                        MonitorPreview {
                                            objectName: "presetPreview"
                                            anchors.horizontalCenter: parent.horizontalCenter
                                            y: (sheet.previewBox.height - height) / 2
                                            width: sheet.previewWidth
                                            height: width / sheet.aspect
                                            aspect: sheet.aspect
                                            zones: tile.modelData.zones
                                        }
                                        Label {
                                            id: titleLabel
                                            objectName: "presetTileTitle"
                                            y: sheet.previewBox.height + 6
                                            width: parent.width
                                            horizontalAlignment: Text.AlignHCenter
                                            // Longer translations take a second line rather
                                            // than losing their end.
                                            wrapMode: Text.Wrap
                                            maximumLineCount: 2
                                            elide: Text.ElideRight
                                            text: tile.modelData.title
                                        }
                                    }
                                    padding: 8
                                }
                            }
                        }
                    }
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Item { Layout.fillWidth: true }
            Button {
                objectName: "presetCancel"
                text: sheet.gallery.cancelTitle ?? Strings.localized("Cancel")
                onClicked: sheet.cancel()
            }
        }
    }
}
