import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tessera

// The tray menu inside the main window, for desktops without a tray and for when the tray icon
// is switched off. The entries and their actions are the tray menu's own (`MenuViewModel`).
ToolButton {
    id: root
    objectName: "appMenuButton"

    readonly property bool noTray: !MenuViewModel.trayAvailable
    readonly property string noTrayNote:
        Strings.localized("The desktop has no system tray. Every item of the tray menu is in this menu.")

    // For tests and for a window shortcut that opens it.
    readonly property alias menuPopup: appMenu

    visible: !MenuViewModel.trayShown
    text: Strings.localized("Menu")
    icon.source: Symbols.source("menubar")
    display: AbstractButton.TextBesideIcon
    Accessible.name: text
    Accessible.description: noTray ? noTrayNote : ""
    ToolTip.visible: hovered && noTray && !appMenu.visible
    ToolTip.text: noTrayNote
    ToolTip.delay: 500

    onClicked: {
        if (appMenu.visible) {
            appMenu.close()
            return
        }
        // Made before it opens, so it opens at its full size.
        rebuild()
        appMenu.open()
    }

    Menu {
        id: appMenu
        objectName: "appMenu"
        y: root.height
    }

    Connections {
        target: MenuViewModel
        function onItemsChanged() {
            if (appMenu.visible)
                root.rebuild()
        }
    }

    Component {
        id: entryComponent
        MenuItem {
            id: entry
            property string itemId
            property string shortcutText
            property string symbol
            property string note
            property bool heading: false

            font.bold: heading
            onTriggered: MenuViewModel.activate(itemId)
            ToolTip.visible: hovered && note !== ""
            ToolTip.text: note
            ToolTip.delay: 500

            contentItem: Item { // qmllint disable deferred-property-id
                implicitWidth: row.implicitWidth + row.anchors.leftMargin
                implicitHeight: row.implicitHeight
                RowLayout {
                    id: row
                    anchors.fill: parent
                    // Room for the check mark, as the style leaves it.
                    anchors.leftMargin: entry.checkable && entry.indicator
                                        ? entry.indicator.width + entry.spacing : 0
                    spacing: 8
                    SymbolIcon {
                        visible: entry.symbol !== ""
                        name: entry.symbol
                        size: 16
                        Layout.preferredWidth: size
                        Layout.preferredHeight: size
                        color: entry.palette.windowText
                        opacity: entry.enabled ? 1 : 0.5
                    }
                    Label {
                        objectName: "title"
                        text: entry.text
                        font: entry.font
                        color: entry.palette.windowText
                        opacity: entry.enabled || entry.heading ? 1 : 0.5
                        wrapMode: Text.WordWrap
                        Layout.fillWidth: true
                        Layout.maximumWidth: 420
                    }
                    Label {
                        objectName: "shortcut"
                        visible: entry.shortcutText !== ""
                        text: entry.shortcutText
                        color: entry.palette.windowText
                        opacity: 0.6
                        Layout.leftMargin: 16
                    }
                }
            }
        }
    }

    Component {
        id: separatorComponent
        MenuSeparator {}
    }

    // The menu is made afresh each time it opens, as the tray menu is, and while it is open
    // whenever the entries change.
    function rebuild() {
        // Owned by the button: without an owner the engine would collect them while shown.
        while (appMenu.count > 0)
            appMenu.removeItem(appMenu.itemAt(0))
        if (noTray) {
            appMenu.addItem(entryComponent.createObject(root, {
                objectName: "noTrayNote", text: noTrayNote, enabled: false
            }))
            appMenu.addItem(separatorComponent.createObject(root))
        }
        const items = MenuViewModel.items
        for (let i = 0; i < items.length; ++i) {
            const item = items[i]
            if (item.kind === "separator") {
                appMenu.addItem(separatorComponent.createObject(root))
                continue
            }
            appMenu.addItem(entryComponent.createObject(root, {
                objectName: item.id,
                itemId: item.id,
                text: item.title,
                symbol: item.symbol,
                shortcutText: item.shortcut,
                note: item.note,
                heading: item.kind === "heading",
                checkable: item.checkable,
                checked: item.checked,
                enabled: item.enabled
            }))
        }
        fitWidth()
        Qt.callLater(fitWidth)
    }

    // The menu takes the width of its widest entry; titles are never squeezed into lines.
    function fitWidth() {
        let widest = 0
        for (let i = 0; i < appMenu.count; ++i) {
            const item = appMenu.itemAt(i)
            if (item)
                widest = Math.max(widest, item.implicitWidth)
        }
        appMenu.width = Math.max(200, widest + appMenu.leftPadding + appMenu.rightPadding)
    }
}
