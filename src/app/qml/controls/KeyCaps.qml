pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls

// A shortcut drawn as key caps, one per key: ["Ctrl", "Alt", "←"]. A dash when there is none.
Row {
    id: caps
    property var keys: []
    spacing: 4

    Label {
        visible: caps.keys.length === 0
        text: "—"
        color: Theme.secondaryText
    }

    Repeater {
        model: caps.keys
        delegate: Rectangle {
            id: keyCap
            required property string modelData
            width: Math.max(24, cap.implicitWidth + 12)
            height: 22
            radius: 5
            color: Qt.lighter(palette.button, 1.05)
            border.color: Qt.darker(palette.window, 1.3)
            Label {
                id: cap
                anchors.centerIn: parent
                text: keyCap.modelData
                font.pixelSize: 12
            }
        }
    }
}
