import QtQuick
import QtQuick.Layouts

// A symbol drawn at a size, in the scheme's text colour unless told otherwise.
Image {
    property string name
    property int size: 18
    property color color: Theme.iconColor
    source: Symbols.source(name, color)
    // Drawn at twice the size for sharp edges; laid out at the size, which layouts would
    // otherwise take from the picture.
    sourceSize.width: size * 2
    sourceSize.height: size * 2
    width: size
    height: size
    Layout.preferredWidth: size
    Layout.preferredHeight: size
    fillMode: Image.PreserveAspectFit
}
