import QtQuick
import Tessera

Item {
    width: 800
    height: 900

    Component {
        id: buttonComponent
        AppMenuButton {}
    }

    ShellTestCase {
        name: "AppMenuButton"

        function openMenu() {
            const button = createTemporaryObject(buttonComponent, parent)
            mouseClick(button)
            tryCompare(button.menuPopup, "opened", true)
            // Laid out: taller than the status line and a few entries.
            tryVerify(() => button.menuPopup.height > 200)
            return button.menuPopup
        }

        function test_menuHoldsTheItemsAndTheSwitchFlipsItsPreference() {
            let popup = openMenu()
            compare(popup.itemAt(0).objectName, "noTrayNote")
            compare(popup.itemAt(0).enabled, false)
            const items = MenuViewModel.items
            for (const item of items.filter(item => item.kind !== "separator")) {
                const shown = entry(popup, item.id)
                verify(shown, item.id)
                compare(shown.text, item.title)
                compare(shown.enabled, item.enabled)
                compare(shown.checkable, item.checkable)
                compare(shown.checked, item.checked)
                // Wide enough for every title on one line.
                compare(findChild(shown, "title").lineCount, 1, item.id)
            }
            // The note, its separator, the entries and one separator between each two groups.
            compare(popup.count, 2 + items.length)
            compare(findChild(entry(popup, "command.zoneLeft"), "shortcut").text, "Ctrl+Alt+←")

            mouseClick(entry(popup, "snapOnDrag"))
            tryCompare(popup, "opened", false)
            compare(Preferences.boolValue("snapOnDrag"), false)
            // Opened again, the switch shows the new value.
            popup = openMenu()
            compare(entry(popup, "snapOnDrag").checked, false)
            mouseClick(entry(popup, "snapOnDrag"))
            compare(Preferences.boolValue("snapOnDrag"), true)
        }
    }
}
