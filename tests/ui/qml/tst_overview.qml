import QtQuick
import QtQuick.Controls
import QtTest
import Tessera

// The page is shown in a visible root; a TestCase itself never is.
Item {
    id: root
    width: 1100
    height: 2000

    TestCase {
        id: testCase
        name: "OverviewPage"
        when: windowShown

        Component {
            id: pageComponent
            Loader {
                width: root.width
                height: root.height
                source: "qrc:/qt/qml/Tessera/OverviewPage.qml"
            }
        }

        function loadPage() {
            const loader = createTemporaryObject(pageComponent, root)
            verify(loader)
            tryCompare(loader, "status", Loader.Ready)
            return loader.item
        }

        // Every item under root whose text is exactly the given one.
        function itemsWithText(root, text) {
            let found = []
            if (root.text === text)
                found.push(root)
            for (let i = 0; i < root.children.length; ++i)
                found = found.concat(itemsWithText(root.children[i], text))
            return found
        }

        function visibleText(root, text) {
            return itemsWithText(root, text).some(item => item.visible)
        }

        function card(page, index) {
            const item = findChild(page, "monitorCard-" + index)
            verify(item, "card " + index)
            return item
        }

        function cleanup() {
            sim.setPermissions(true, true)
            sim.runPending()
            AppViewModel.page = "overview"
        }

        // The section texts are read back from the page's pictures.
        function test_oneCardPerMonitor() {
            const page = loadPage()
            // One display on the simulated desktop: one card, and no empty-list message.
            compare(OverviewViewModel.monitors.length, 1)
            verify(findChild(page, "monitorCard-0"))
            verify(!findChild(page, "monitorCard-1"))
            verify(!findChild(page, "noMonitors").visible)
            compare(findChild(card(page, 0), "monitorName").text, OverviewViewModel.monitors[0].name)
            verify(!findChild(page, "accessWarning").visible)
        }

        function test_previewDrawsTheLayoutsZones() {
            const page = loadPage()
            const preview = findChild(card(page, 0), "monitorPreview")
            verify(preview)
            compare(preview.aspect, OverviewViewModel.monitors[0].aspect)
            tryVerify(() => preview.width > 0 && preview.height > 0)
            tryVerify(() => Math.abs(preview.width / preview.height - OverviewViewModel.monitors[0].aspect) < 0.02)
            compare(preview.zones.length, OverviewViewModel.monitors[0].zones.length)
            verify(preview.zones.length > 0)
        }

        function test_keyboardRowsShowKeyCaps() {
            const page = loadPage()
            compare(OverviewViewModel.commands.length, 7)
            const row = findChild(page, "command-zoneLeft")
            verify(row)
            const caps = findChild(row, "keyCaps")
            compare(caps.keys, ["Ctrl", "Alt", "←"])
            verify(visibleText(row, Strings.localized("Zone to the Left")))
            verify(visibleText(caps, "Ctrl"))
            verify(visibleText(caps, "←"))
            compare(findChild(row, "heldElsewhere").visible, false)

            // Keys another program holds are marked, with the reason. The rows are made anew
            // when the commands change.
            const heldMark = () => findChild(findChild(page, "command-zoneLeft"), "heldElsewhereMark")
            sim.holdKeysElsewhere(123, 0x1800, true)
            tryVerify(() => heldMark() && heldMark().visible, 1000, "no mark on a held shortcut")
            verify(visibleText(findChild(page, "command-zoneLeft"),
                               "Another application uses this shortcut, so it does nothing in Tessera."))
            sim.holdKeysElsewhere(123, 0x1800, false)
            tryVerify(() => heldMark() && !heldMark().visible, 1000, "the mark stayed")
        }

        function test_warningCardWhileAPermissionIsMissing() {
            const page = loadPage()
            const warning = findChild(page, "accessWarning")
            verify(!warning.visible)

            sim.setPermissions(true, false)
            sim.runPending()
            tryCompare(warning, "visible", true)

            mouseClick(findChild(warning, "grantAccess"))
            tryCompare(AppViewModel, "page", "settings")
            compare(AppViewModel.settingsPane, "permissions")

            sim.setPermissions(true, true)
            sim.runPending()
            tryCompare(warning, "visible", false)
        }

        function test_choosingALayoutAssignsIt() {
            const page = loadPage()
            const combo = findChild(card(page, 0), "layoutPicker")
            verify(combo)
            verify(OverviewViewModel.layouts.length > 1)
            compare(combo.count, OverviewViewModel.layouts.length)
            const before = combo.currentIndex
            compare(OverviewViewModel.layouts[before].id, OverviewViewModel.monitors[0].layoutID)
            compare(combo.currentText, OverviewViewModel.layouts[before].name)

            const target = before === combo.count - 1 ? before - 1 : before + 1
            combo.forceActiveFocus()
            keyClick(before === combo.count - 1 ? Qt.Key_Up : Qt.Key_Down)
            // The store's change reaches the page through the state.
            sim.runPending()
            const wanted = OverviewViewModel.layouts[target].id
            tryVerify(() => OverviewViewModel.monitors[0].layoutID === wanted)
            const fresh = findChild(card(page, 0), "layoutPicker")
            tryCompare(fresh, "currentIndex", target)
        }

        function test_editZonesOpensThatDisplay() {
            const page = loadPage()
            // Another display was being edited before.
            AppViewModel.editZones("1920x1080 Elsewhere 1920x1080")
            tryCompare(AppViewModel, "editorScreenID", "1920x1080 Elsewhere 1920x1080")
            AppViewModel.page = "overview"
            tryCompare(AppViewModel, "page", "overview")

            mouseClick(findChild(card(page, 0), "editZones"))
            tryCompare(AppViewModel, "page", "zones")
            compare(AppViewModel.editorScreenID, OverviewViewModel.monitors[0].id)
        }

        function test_customizeOpensKeyboardSettings() {
            const page = loadPage()
            mouseClick(findChild(page, "customize"))
            tryCompare(AppViewModel, "page", "settings")
            compare(AppViewModel.settingsPane, "keyboard")
        }
    }
}
