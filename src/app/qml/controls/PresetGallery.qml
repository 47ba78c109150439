import QtQuick

// Placeholder; the template sheet is being written.
Item {
    signal closed()
}
