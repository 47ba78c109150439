import QtQuick

// Placeholder; the canvas is being written.
Item {
    property var canvas: null
}
