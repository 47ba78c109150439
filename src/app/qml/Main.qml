import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import "controls"
import "pages"

// The main window: the page picker in the toolbar, the "Access Needed" badge while a permission
// is missing, and the page chosen. Closing it leaves Tessera running.
ApplicationWindow {
    id: mainWindow
    objectName: "main"
    title: "Tessera"
    width: 1180
    height: 780
    minimumWidth: 960
    minimumHeight: 640
    visible: false

    color: palette.window

    // Linux writes Ctrl where the Mac writes Command; the page commands keep their numbers.
    Shortcut { sequence: "Ctrl+1"; onActivated: app.openPage("overview") }
    Shortcut { sequence: "Ctrl+2"; onActivated: app.openPage("zones") }
    Shortcut { sequence: "Ctrl+3"; onActivated: app.openPage("settings") }
    Shortcut { sequence: "Ctrl+4"; onActivated: app.openPage("about") }
    Shortcut { sequence: "Ctrl+,"; onActivated: app.openPage("settings") }

    // The window's undo history (zone edits). A focused text field takes Ctrl+Z for its own
    // text first, as text fields do everywhere.
    Shortcut {
        objectName: "undoShortcut"
        sequences: [StandardKey.Undo]
        enabled: undo.canUndo
        onActivated: undo.undo()
    }
    Shortcut {
        objectName: "redoShortcut"
        sequence: "Ctrl+Shift+Z"
        enabled: undo.canRedo
        onActivated: undo.redo()
    }

    menuBar: MenuBar {
        objectName: "menuBar"
        Menu {
            objectName: "editMenu"
            title: strings.tr("Edit")
            MenuItem {
                objectName: "undoItem"
                text: undo.undoTitle
                enabled: undo.canUndo
                onTriggered: undo.undo()
            }
            MenuItem {
                objectName: "redoItem"
                text: undo.redoTitle
                enabled: undo.canRedo
                onTriggered: undo.redo()
            }
        }
    }

    header: ToolBar {
        objectName: "toolbar"
        // The page picker sits in the middle of the window whatever stands on either side of
        // it, moving aside only when a side would otherwise overlap it.
        Item {
            id: toolbarContent
            anchors.fill: parent
            anchors.leftMargin: 12
            anchors.rightMargin: 12
            implicitHeight: Math.max(menuButton.implicitHeight, sectionPicker.implicitHeight,
                                     accessNeededBadge.implicitHeight)

            AppMenuButton {
                id: menuButton
                anchors.left: parent.left
                anchors.verticalCenter: parent.verticalCenter
            }

            SegmentedPicker {
                id: sectionPicker
                objectName: "sectionPicker"
                anchors.verticalCenter: parent.verticalCenter
                // Centred on the window, not on the room left between the sides.
                x: Math.max(menuButton.width + 12,
                            Math.min((toolbarContent.parent.width - width) / 2
                                     - toolbarContent.anchors.leftMargin,
                                     (accessNeededBadge.visible ? accessNeededBadge.x
                                                                : toolbarContent.width) - 12 - width))
                Accessible.name: strings.tr("Section")
                model: app.pages
                current: app.page
                onPicked: (rawValue) => app.page = rawValue
            }

            Button {
                id: accessNeededBadge
                objectName: "accessNeededBadge"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                visible: app.accessNeeded
                flat: true
                text: strings.tr("Access Needed")
                icon.source: Symbols.source("exclamationmark.triangle.fill")
                icon.color: Theme.warning
                ToolTip.visible: hovered
                ToolTip.text: strings.tr("Open Settings and grant permissions")
                onClicked: app.openSettings("permissions")
            }
        }
    }

    StackLayout {
        id: pages
        anchors.fill: parent
        currentIndex: ["overview", "zones", "settings", "about"].indexOf(app.page)

        Loader { source: "pages/OverviewPage.qml"; active: pages.currentIndex === 0 }
        Loader { source: "pages/ZonesPage.qml"; active: pages.currentIndex === 1 }
        Loader { source: "pages/SettingsPage.qml"; active: pages.currentIndex === 2 }
        Loader { source: "pages/AboutPage.qml"; active: pages.currentIndex === 3 }
    }

    Connections {
        target: app
        function onShowWindowRequested() {
            mainWindow.show()
            mainWindow.raise()
            mainWindow.requestActivate()
        }
    }
}
