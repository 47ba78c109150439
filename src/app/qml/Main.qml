import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tessera

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
    Shortcut { sequence: "Ctrl+1"; onActivated: AppViewModel.openPage("overview") }
    Shortcut { sequence: "Ctrl+2"; onActivated: AppViewModel.openPage("zones") }
    Shortcut { sequence: "Ctrl+3"; onActivated: AppViewModel.openPage("settings") }
    Shortcut { sequence: "Ctrl+4"; onActivated: AppViewModel.openPage("about") }
    Shortcut { sequence: "Ctrl+,"; onActivated: AppViewModel.openPage("settings") }
    // Shown beside "Quit Tessera" in the menu.
    Shortcut { sequence: "Ctrl+Q"; context: Qt.ApplicationShortcut; onActivated: MenuViewModel.activate("quit") }

    // The window's undo history (zone edits). A focused text field takes Ctrl+Z for its own
    // text first, as text fields do everywhere.
    Shortcut {
        objectName: "undoShortcut"
        sequences: [StandardKey.Undo] // qmllint disable unqualified
        enabled: UndoViewModel.canUndo
        onActivated: UndoViewModel.undo()
    }
    Shortcut {
        objectName: "redoShortcut"
        sequence: "Ctrl+Shift+Z"
        enabled: UndoViewModel.canRedo
        onActivated: UndoViewModel.redo()
    }

    // A menu item with its keys at the right, as desktop menus show them; the style's own item
    // has no place for them.
    component ShortcutMenuItem: MenuItem {
        id: shortcutItem
        property string shortcutText
        contentItem: RowLayout {
            spacing: 24
            opacity: shortcutItem.enabled ? 1 : 0.5
            Label {
                text: shortcutItem.text
                font: shortcutItem.font
                color: shortcutItem.highlighted ? shortcutItem.palette.highlightedText
                                                : shortcutItem.palette.windowText
                Layout.fillWidth: true
            }
            Label {
                objectName: "shortcut"
                text: shortcutItem.shortcutText
                color: shortcutItem.highlighted ? shortcutItem.palette.highlightedText
                                                : shortcutItem.palette.windowText
                opacity: 0.7
            }
        }
    }

    // The item that had the keyboard before a menu of the bar took it. The bar keeps the focus
    // (and its title highlighted) when a menu closes with Esc, which would leave the arrow keys
    // to the bar instead of the zone canvas; closing a menu hands the focus back.
    property Item focusBeforeMenu: null
    onActiveFocusItemChanged: {
        if (activeFocusItem && !insideMenuOrPopup(activeFocusItem))
            focusBeforeMenu = activeFocusItem
    }
    function insideMenuOrPopup(item) {
        for (let it = item; it; it = it.parent) {
            if (it === mainWindow.menuBar || it === Overlay.overlay)
                return true
        }
        return false
    }
    function returnFocusFromMenu() {
        if (focusBeforeMenu && focusBeforeMenu.visible)
            focusBeforeMenu.forceActiveFocus()
        else
            mainWindow.contentItem.forceActiveFocus()
    }

    menuBar: MenuBar {
        objectName: "menuBar"
        // A title under the pointer when its menu closes (Esc) stays highlighted for good: the
        // bar resets itself only for a title that isn't hovered. Titles take no hover, so the
        // bar always lets go.
        delegate: MenuBarItem { objectName: menu.objectName + "Title"; hoverEnabled: false }
        Menu {
            objectName: "editMenu"
            title: Strings.localized("Edit")
            width: Math.max(200, undoItem.implicitWidth, redoItem.implicitWidth)
            onClosed: Qt.callLater(mainWindow.returnFocusFromMenu) // qmllint disable
            ShortcutMenuItem {
                id: undoItem
                objectName: "undoItem"
                text: UndoViewModel.undoTitle
                shortcutText: UndoViewModel.undoShortcut
                enabled: UndoViewModel.canUndo
                onTriggered: UndoViewModel.undo()
            }
            ShortcutMenuItem {
                id: redoItem
                objectName: "redoItem"
                text: UndoViewModel.redoTitle
                shortcutText: UndoViewModel.redoShortcut
                enabled: UndoViewModel.canRedo
                onTriggered: UndoViewModel.redo()
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
                Accessible.name: Strings.localized("Section")
                model: AppViewModel.pages
                current: AppViewModel.page
                onPicked: (rawValue) => AppViewModel.page = rawValue
            }

            Button {
                id: accessNeededBadge
                objectName: "accessNeededBadge"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                visible: AppViewModel.accessNeeded
                flat: true
                text: Strings.localized("Access Needed")
                icon.source: Symbols.source("exclamationmark.triangle.fill")
                icon.color: Theme.warning
                ToolTip.visible: hovered
                ToolTip.text: Strings.localized("Open Settings and grant permissions")
                onClicked: AppViewModel.openSettings("permissions")
            }
        }
    }

    StackLayout {
        id: pages
        anchors.fill: parent
        currentIndex: ({overview: 0, zones: 1, settings: 2, about: 3})[AppViewModel.page] ?? -1

        Loader { source: "OverviewPage.qml"; active: pages.currentIndex === 0 }
        Loader { source: "ZonesPage.qml"; active: pages.currentIndex === 1 }
        Loader { source: "SettingsPage.qml"; active: pages.currentIndex === 2 }
        Loader { source: "AboutPage.qml"; active: pages.currentIndex === 3 }
    }

    Connections {
        target: AppViewModel
        function onShowWindowRequested() {
            mainWindow.show()
            mainWindow.raise()
            mainWindow.requestActivate()
        }
    }
}
