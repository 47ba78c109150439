import QtQuick
import Tessera

Item {
    width: 1100
    height: 2000

    ShellTestCase {
        name: "OverviewPage"
        source: "OverviewPage.qml"
        property Item page

        function card(index) { return child(page, "monitorCard-" + index) }

        function init() { page = load() }

        function cleanup() {
            sim.setPermissions(true, true)
            sim.runPending()
            AppViewModel.page = "overview"
        }

        // The section texts are read back from the page's pictures.
        function test_oneCardPerMonitorWithItsLayoutsZones() {
            const monitor = OverviewViewModel.monitors[0]
            compare(OverviewViewModel.monitors.length, 1)
            verify(!findChild(page, "monitorCard-1"))
            verify(!child(page, "noMonitors").visible)
            compare(child(card(0), "monitorName").text, monitor.name)
            const preview = child(card(0), "monitorPreview")
            tryVerify(() => preview.height > 0
                      && Math.abs(preview.width / preview.height - monitor.aspect) < 0.02)
            verify(preview.zones.length > 0)
            compare(preview.zones.length, monitor.zones.length)
        }

        function test_keyboardRowsShowKeyCapsAndKeysAnotherProgramHolds() {
            const row = () => child(page, "command-zoneLeft")
            const caps = child(row(), "keyCaps")
            compare(caps.keys, ["Ctrl", "Alt", "←"])
            verify(visibleText(row(), Strings.localized("Zone to the Left")))
            verify(visibleText(caps, "Ctrl") && visibleText(caps, "←"))
            // Marked, with the reason. The rows are made anew when the commands change.
            const heldMark = () => findChild(row(), "heldElsewhereMark")
            compare(heldMark().visible, false)
            sim.holdKeysElsewhere(123, 0x1800, true)
            tryVerify(() => heldMark() && heldMark().visible, 1000, "no mark on a held shortcut")
            verify(visibleText(row(), "Another application uses this shortcut, so it does nothing in Tessera."))
            sim.holdKeysElsewhere(123, 0x1800, false)
            tryVerify(() => heldMark() && !heldMark().visible, 1000, "the mark stayed")
            // A removed shortcut shows no keys (the default does not work then).
            const shownKeys = () => String(findChild(row(), "keyCaps")?.keys ?? "")
            KeyboardPaneModel.recorder("zoneLeft").removeShortcut()
            tryVerify(() => shownKeys() === "", 1000, "keys shown: " + shownKeys())
            verify(!visibleText(row(), "Ctrl"))
            KeyboardPaneModel.restoreDefaults()
        }

        function test_warningCardWhileAPermissionIsMissing() {
            const warning = child(page, "accessWarning")
            verify(!warning.visible)
            sim.setPermissions(true, false)
            sim.runPending()
            tryCompare(warning, "visible", true)
            mouseClick(child(warning, "grantAccess"))
            tryCompare(AppViewModel, "page", "settings")
            compare(AppViewModel.settingsPane, "permissions")
            sim.setPermissions(true, true)
            sim.runPending()
            tryCompare(warning, "visible", false)
        }

        function test_choosingALayoutAssignsIt() {
            const combo = child(card(0), "layoutPicker")
            compare(combo.count, OverviewViewModel.layouts.length)
            const before = combo.currentIndex
            compare(OverviewViewModel.layouts[before].id, OverviewViewModel.monitors[0].layoutID)
            compare(combo.currentText, OverviewViewModel.layouts[before].name)

            const last = before === combo.count - 1
            combo.forceActiveFocus()
            keyClick(last ? Qt.Key_Up : Qt.Key_Down)
            // The store's change reaches the page through the state.
            sim.runPending()
            const target = last ? before - 1 : before + 1
            const wanted = OverviewViewModel.layouts[target].id
            tryVerify(() => OverviewViewModel.monitors[0].layoutID === wanted)
            tryCompare(child(card(0), "layoutPicker"), "currentIndex", target)
        }

        function test_buttonsOpenTheirPages_data() {
            return [{ tag: "editZones", button: "editZones", page: "zones" },
                    { tag: "customize", button: "customize", page: "settings", pane: "keyboard" }]
        }

        function test_buttonsOpenTheirPages(data) {
            // Another display was being edited before.
            AppViewModel.editZones("1920x1080 Elsewhere 1920x1080")
            AppViewModel.page = "overview"
            mouseClick(child(page, data.button))
            tryCompare(AppViewModel, "page", data.page)
            if (data.pane)
                compare(AppViewModel.settingsPane, data.pane)
            else
                compare(AppViewModel.editorScreenID, OverviewViewModel.monitors[0].id)
        }
    }
}
