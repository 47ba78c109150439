pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls

// A row of segments, one per entry of the model ({ rawValue, title, icon }); exactly one is on.
Row {
    id: picker
    property var model: []
    property string current
    signal picked(string rawValue)
    spacing: 0

    Repeater {
        model: picker.model
        delegate: Button {
            required property var modelData
            objectName: "segment-" + modelData.rawValue
            text: modelData.title
            icon.source: Symbols.source(modelData.icon)
            icon.width: 16
            icon.height: 16
            checkable: true
            checked: picker.current === modelData.rawValue
            flat: !checked
            onClicked: picker.picked(modelData.rawValue)
        }
    }
}
