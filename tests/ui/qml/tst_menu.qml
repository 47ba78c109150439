import QtQuick
import QtQuick.Controls
import QtTest
import Tessera

Item {
    id: root
    width: 800
    height: 900

    Component {
        id: buttonComponent
        AppMenuButton {}
    }

    TestCase {
        name: "AppMenuButton"
        when: windowShown

        function entry(popup, id) {
            for (let i = 0; i < popup.count; ++i) {
                const item = popup.itemAt(i)
                if (item && item.objectName === id)
                    return item
            }
            return null
        }

        function openMenu() {
            const button = createTemporaryObject(buttonComponent, root)
            verify(button)
            mouseClick(button)
            tryCompare(button.menuPopup, "opened", true)
            // Laid out: taller than the status line and a few entries.
            tryVerify(() => button.menuPopup.height > 200)
            return button
        }

        function cleanup() {
            Preferences.setBool("snapOnDrag", true)
        }

        function test_menuHoldsTheItems() {
            const popup = openMenu().menuPopup
            const note = popup.itemAt(0)
            compare(note.objectName, "noTrayNote")
            compare(note.enabled, false)

            const items = MenuViewModel.items
            let entries = 0
            for (let i = 0; i < items.length; ++i) {
                if (items[i].kind === "separator")
                    continue
                ++entries
                const shown = entry(popup, items[i].id)
                verify(shown, items[i].id)
                compare(shown.text, items[i].title)
                compare(shown.enabled, items[i].enabled)
                compare(shown.checkable, items[i].checkable)
                compare(shown.checked, items[i].checked)
                // Wide enough for every title on one line.
                compare(findChild(shown, "title").lineCount, 1, items[i].id)
            }
            // The note, its separator, the entries and one separator between each two groups.
            compare(popup.count, 2 + items.length)
            verify(entries >= 15)

            compare(findChild(entry(popup, "command.zoneLeft"), "shortcut").text, "Ctrl+Alt+←")
        }

        function test_arrangeWhileDraggingFlipsThePreference() {
            let popup = openMenu().menuPopup
            const toggle = entry(popup, "snapOnDrag")
            compare(toggle.checked, true)
            mouseClick(toggle)
            tryCompare(popup, "opened", false)
            compare(Preferences.boolValue("snapOnDrag"), false)

            // Opened again, the switch shows the new value.
            popup = openMenu().menuPopup
            compare(entry(popup, "snapOnDrag").checked, false)
            mouseClick(entry(popup, "snapOnDrag"))
            compare(Preferences.boolValue("snapOnDrag"), true)
        }
    }
}
