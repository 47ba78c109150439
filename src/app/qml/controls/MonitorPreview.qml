pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls

// A display in miniature: its aspect ratio, its desktop picture (a gradient until one has
// loaded, or when the desktop publishes none) and its layout's zones on top.
Item {
    id: preview
    // Width over height of the display.
    property real aspect: 16 / 10
    // "image://desktop/…" once the picture has loaded.
    property string pictureSource
    // [{ x, y, width, height, name }] as fractions of the display, largest first.
    property var zones: []

    implicitWidth: 280
    implicitHeight: width / Math.max(0.1, aspect)

    // Whether a zone drawn later (smaller, on top) covers the band where zone `index` writes its
    // name: names of overlapping zones would otherwise be drawn over each other.
    function nameCovered(index, bandHeight) {
        const zone = zones[index]
        const top = zone.y + zone.height / 2 - bandHeight / 2
        for (let later = index + 1; later < zones.length; ++later) {
            const other = zones[later]
            if (other.x < zone.x + zone.width && zone.x < other.x + other.width
                    && other.y < top + bandHeight && top < other.y + other.height)
                return true
        }
        return false
    }

    Rectangle {
        id: backdrop
        anchors.fill: parent
        radius: 8
        clip: true
        gradient: Gradient {
            orientation: Gradient.Vertical
            GradientStop { position: 0.0; color: "#4f7cc9" }
            GradientStop { position: 1.0; color: "#2a3d66" }
        }

        Image {
            objectName: "desktopPicture"
            anchors.fill: parent
            anchors.margins: 1
            source: preview.pictureSource
            visible: status === Image.Ready
            fillMode: Image.PreserveAspectCrop
            asynchronous: true
            cache: false
        }

        Repeater {
            model: preview.zones
            delegate: Rectangle {
                id: previewZone
                required property var modelData
                required property int index
                objectName: "previewZone"
                x: modelData.x * backdrop.width + 2
                y: modelData.y * backdrop.height + 2
                width: Math.max(0, modelData.width * backdrop.width - 4)
                height: Math.max(0, modelData.height * backdrop.height - 4)
                radius: 4
                color: Qt.rgba(1, 1, 1, 0.28)
                border.color: Qt.rgba(1, 1, 1, 0.85)
                border.width: 1
                Label {
                    objectName: "previewZoneName"
                    anchors.centerIn: parent
                    width: parent.width - 6
                    horizontalAlignment: Text.AlignHCenter
                    elide: Text.ElideRight
                    clip: true
                    // A name that can't keep a few letters is left out rather than run into its
                    // neighbour's ("LeftCenterRight").
                    visible: parent.height > 16 && width >= Math.min(implicitWidth, 24)
                             && !preview.nameCovered(previewZone.index, height / Math.max(1, backdrop.height))
                    text: previewZone.modelData.name
                    color: "white"
                    font.pixelSize: 10
                }
            }
        }
    }

    // The rounded edge over the picture's corners.
    Rectangle {
        anchors.fill: parent
        radius: 8
        color: "transparent"
        border.color: Qt.darker(palette.window, 1.4)
        border.width: 1
    }
}
