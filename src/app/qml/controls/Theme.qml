pragma Singleton
import QtQuick

// Colours and measures shared by the pages; the palette itself follows "appearance" (the
// application sets it from C++).
QtObject {
    readonly property color accent: "#0a84ff"
    readonly property color warning: "#e0a100"
    readonly property color success: "#30b150"
    readonly property int spacing: 16
    readonly property int cornerRadius: 10
    readonly property int pageMargin: 24
}
