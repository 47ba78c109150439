import QtQuick
import QtQuick.Controls

// A switch on the right of its title and explanation, in every pane alike.
DetailRow {
    id: row
    property bool value
    property alias switchName: toggle.objectName
    signal toggledTo(bool on)

    Switch {
        id: toggle
        checked: row.value
        Accessible.name: row.title
        onToggled: {
            row.toggledTo(checked)
            // The stored value decides, whether or not the write went through.
            checked = Qt.binding(() => row.value)
        }
    }
}
