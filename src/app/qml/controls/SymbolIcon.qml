import QtQuick

// A symbol drawn at a size, tinted with a colour.
Image {
    property string name
    property int size: 18
    property color color: palette.windowText
    source: name ? "image://symbols/" + name + "?color=" + encodeURIComponent(color) : ""
    sourceSize: Qt.size(size * 2, size * 2)
    width: size
    height: size
    fillMode: Image.PreserveAspectFit
}
