pragma Singleton
import QtQuick

// Colours and measures shared by the pages. The palette follows "appearance" (the application
// sets it from C++); the colours here take its light or dark side, and those for text read at
// 4.5:1 or better on the window, on section cards and on fields in both.
QtObject {
    readonly property SystemPalette palette: SystemPalette {}
    readonly property bool dark: palette.window.hslLightness < 0.5

    readonly property color accent: "#0a84ff"
    readonly property color warning: dark ? "#e0a100" : "#8a5c00"
    readonly property color success: dark ? "#30b150" : "#1d7a34"
    // Footers, notes and hints under the main text.
    readonly property color secondaryText: dark ? "#a1a1a6" : "#5f5f64"
    // Symbolic icons are drawn in the text colour, so they turn light with the dark scheme.
    readonly property color iconColor: palette.buttonText

    readonly property int spacing: 16
    readonly property int cornerRadius: 10
    readonly property int pageMargin: 24
}
