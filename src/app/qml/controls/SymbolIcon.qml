import QtQuick

// A symbol drawn at a size, in the scheme's text colour unless told otherwise.
Image {
    property string name
    property int size: 18
    property color color: Theme.iconColor
    source: Symbols.source(name, color)
    sourceSize: Qt.size(size * 2, size * 2)
    width: size
    height: size
    fillMode: Image.PreserveAspectFit
}
