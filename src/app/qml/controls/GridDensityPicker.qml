pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tessera

// The snapping grid's column count: one tile per offered count, each a miniature of the display
// with its grid. The rows follow the display's shape, so the tiles differ from display to
// display. Choosing a tile writes "gridColumns"; the editor picks it up on its next update.
ColumnLayout {
    id: picker

    // The display whose shape sets the rows; empty for the first display.
    property string screenID: ""
    // The bound column count.
    property int columns: WindowsPaneModel.gridColumns
    // After a tile was chosen and written.
    signal picked(int columns)

    // Reads the revision to be evaluated again when the grid changes (a comma expression would
    // be dropped by the QML compiler).
    readonly property var model: WindowsPaneModel.revision >= 0
        ? WindowsPaneModel.gridPicker(screenID, columns) : ({})
    readonly property real tileWidth: model.tileWidth
    readonly property real tileSpacing: model.tileSpacing
    readonly property int tilesPerRow: model.tilesPerRow
    readonly property real tileHeight: model.miniatureHeight + 26
    readonly property int selectedIndex: {
        const tiles = model.tiles
        for (let i = 0; i < tiles.length; ++i) {
            if (tiles[i].selected)
                return i
        }
        return -1
    }

    function choose(count) {
        WindowsPaneModel.gridColumns = count
        picker.picked(count)
    }

    spacing: 8

    Label {
        text: Strings.localized("Snapping Grid")
        font.bold: true
        font.pixelSize: 14
    }
    Label {
        text: Strings.localized("Rows follow the monitor’s shape so cells stay close to square.")
        wrapMode: Text.WordWrap
        Layout.fillWidth: true
        opacity: 0.7
        font.pixelSize: 12
    }

    Item {
        id: board
        implicitWidth: picker.tilesPerRow * picker.tileWidth
                       + (picker.tilesPerRow - 1) * picker.tileSpacing
        implicitHeight: 2 * picker.tileHeight + picker.tileSpacing

        function tileX(index) { return (index % picker.tilesPerRow) * (picker.tileWidth + picker.tileSpacing) }
        function tileY(index) { return Math.floor(index / picker.tilesPerRow) * (picker.tileHeight + picker.tileSpacing) }

        // The selection frame springs from tile to tile.
        Rectangle {
            id: highlight
            objectName: "gridPickerHighlight"
            visible: picker.selectedIndex >= 0
            x: board.tileX(Math.max(picker.selectedIndex, 0)) - 3
            y: board.tileY(Math.max(picker.selectedIndex, 0)) - 3
            width: picker.tileWidth + 6
            height: picker.model.miniatureHeight + 6
            radius: 7
            color: "transparent"
            border.color: Theme.accent
            border.width: 2.5
            Behavior on x { SpringAnimation { spring: 4; damping: 0.45; epsilon: 0.25 } }
            Behavior on y { SpringAnimation { spring: 4; damping: 0.45; epsilon: 0.25 } }
        }

        Repeater {
            model: picker.model.tiles
            delegate: Item {
                id: tile
                required property var modelData
                required property int index
                objectName: "gridTile" + modelData.columns
                readonly property bool selected: modelData.selected
                x: board.tileX(index)
                y: board.tileY(index)
                width: picker.tileWidth
                height: picker.tileHeight

                Accessible.role: Accessible.Button
                Accessible.name: modelData.title
                Accessible.selectable: true
                Accessible.selected: selected
                Accessible.onPressAction: picker.choose(modelData.columns)

                Rectangle {
                    id: miniature
                    width: picker.tileWidth
                    height: picker.model.miniatureHeight
                    radius: 4
                    clip: true
                    gradient: Gradient {
                        GradientStop { position: 0; color: "#3a6ea5" }
                        GradientStop { position: 1; color: "#1d3557" }
                    }
                    // Half-point white lines at 75%: one pixel at half that strength, so no
                    // line falls between pixel centres and vanishes.
                    Repeater {
                        model: tile.modelData.lines
                        delegate: Rectangle {
                            required property var modelData
                            readonly property bool vertical: modelData[0] === modelData[2]
                            x: vertical ? Math.round(modelData[0] - 0.5) : modelData[0]
                            y: vertical ? modelData[1] : Math.round(modelData[1] - 0.5)
                            width: vertical ? 1 : modelData[2] - modelData[0]
                            height: vertical ? modelData[3] - modelData[1] : 1
                            color: Qt.rgba(1, 1, 1, 0.375)
                        }
                    }
                }
                Label {
                    anchors.top: miniature.bottom
                    anchors.topMargin: 6
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: tile.modelData.title
                    font.bold: tile.selected
                    color: tile.selected ? Theme.accent : palette.windowText
                }
                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: picker.choose(tile.modelData.columns)
                }
            }
        }
    }
}
