import QtQuick
import QtQuick.Controls
import QtTest
import Tessera

// The zone editor page on the simulated desktop. The shell (and its store) lives for the whole
// file, so every test reads the counts and names it starts from instead of assuming them.
Item {
    id: root
    width: 1180
    height: 760

    Component {
        id: pageComponent
        Loader {
            width: root.width
            height: root.height
            source: "qrc:/qt/qml/Tessera/ZonesPage.qml"
        }
    }

    TestCase {
        id: testCase
        name: "ZonesPage"
        when: windowShown

        function loadPage() {
            const loader = createTemporaryObject(pageComponent, root)
            verify(loader)
            tryCompare(loader, "status", Loader.Ready)
            tryVerify(() => ZonesPageModel.layouts.length > 0, 5000, "the store shows no layouts")
            return loader.item
        }

        function child(parent, name) {
            const item = findChild(parent, name)
            verify(item, "no " + name)
            return item
        }

        // The edited layout as the store holds it.
        function stored() {
            const layout = sim.storedLayouts().find(l => l.id === ZonesPageModel.layoutID)
            verify(layout, "the edited layout is not stored")
            return layout
        }

        function storedZone(zoneID) {
            return stored().zones.find(z => z.id === zoneID)
        }

        // Types into a field as the user does: click, replace everything, Enter.
        function typeInto(field, text, commit) {
            mouseClick(field)
            tryVerify(() => field.activeFocus, 2000, "the field has no focus")
            field.selectAll()
            for (const c of text)
                keyClick(c)
            if (commit)
                keyClick(Qt.Key_Return)
        }

        // Undo and redo reach the page through the state's announcement, a turn of the
        // (virtual) main queue later.
        function undoStep() {
            verify(UndoViewModel.undo())
            sim.runPending()
        }

        function redoStep() {
            verify(UndoViewModel.redo())
            sim.runPending()
        }

        function addZone(page) {
            const before = stored().zones.length
            mouseClick(child(page, "addZoneButton"))
            tryCompare(ZonesPageModel, "hasSelection", true)
            tryCompare(stored().zones, "length", before + 1)
            return ZonesPageModel.selectedZoneID
        }

        // The cards and display buttons are made anew with every change of the page, so
        // tests look them up again after each step.
        function card(page, index) {
            return child(page, "layoutCard_" + index)
        }

        function displayButton(page, index) {
            return child(page, "displayButton_" + index)
        }

        // Scrolls the layout row to the card, as the user would, and opens its menu. A card
        // made a moment ago finds its place when the row is laid out.
        function openCardMenu(page, index) {
            waitForItemPolished(child(page, "layoutRow"))
            const c = card(page, index)
            child(page, "layoutStrip").reveal(c)
            mouseClick(c, c.width / 2, c.height / 2, Qt.RightButton)
            const menu = child(c, "layoutCardMenu")
            tryCompare(menu, "opened", true, 5000, "no menu on card " + index)
            return menu
        }

        function cleanup() {
            ZonesPageModel.showsPresets = false
            ZonesPageModel.showsGridPicker = false
            ZonesPageModel.cancelLayoutDeletion()
            Preferences.remove("gridColumns")
        }

        function test_canvasGridButtonAndLayoutCards() {
            const page = loadPage()
            verify(child(page, "zoneCanvas").canvas === ZonesPageModel.canvas)

            // The grid button names the editor grid of the display.
            tryVerify(() => /^Grid 12 × \d+$/.test(child(page, "gridButton").text))
            compare(child(page, "gridButton").text, ZonesPageModel.gridTitle)

            // One card per layout in store order, named as the store shows them, the edited
            // one marked.
            const layouts = sim.storedLayouts()
            compare(ZonesPageModel.layouts.length, layouts.length)
            for (let i = 0; i < layouts.length; ++i) {
                const card = child(page, "layoutCard_" + i)
                compare(card.ToolTip.text, ZonesPageModel.layouts[i].name)
                compare(child(card, "layoutCardName").text, ZonesPageModel.layouts[i].name)
                compare(card.selected, layouts[i].id === ZonesPageModel.layoutID)
            }
            verify(findChild(page, "layoutCard_" + layouts.length) === null)

            // The inspector: the layout section always, the zone sections only with a selection.
            compare(child(page, "layoutNameField").text, ZonesPageModel.layoutName)
            compare(child(page, "monitorsText").text, ZonesPageModel.monitorsText)
            verify(ZonesPageModel.monitorsText.length > 0)
            compare(child(page, "noSelectionText").visible, !ZonesPageModel.hasSelection)
            compare(child(page, "zoneSection").visible, ZonesPageModel.hasSelection)
            compare(child(page, "positionSection").visible, ZonesPageModel.hasSelection)
        }

        function test_showZonesOnAllMonitors() {
            sim.setScreens("sideBySide")
            const page = loadPage()
            tryCompare(ZonesPageModel.screens, "length", 2)
            compare(sim.overlaysOnScreen(), 0)
            mouseClick(child(page, "showZonesButton"))
            sim.advance(0.5)
            compare(sim.overlaysOnScreen(), 2)
            // A preview, not a drag: the zones go away by themselves.
            sim.advance(3)
            compare(sim.overlaysOnScreen(), 0)
            sim.setScreens("single")
        }

        function test_addZoneUndoAndClear() {
            const page = loadPage()
            const before = stored().zones.length
            const zoneID = addZone(page)

            // The new zone is selected and shown in the inspector.
            const zone = storedZone(zoneID)
            compare(zone.name, "Zone " + (before + 1))
            compare([zone.x, zone.y, zone.width, zone.height], [0.3, 0.3, 0.4, 0.4])
            tryCompare(child(page, "zoneSection"), "visible", true)
            verify(!child(page, "noSelectionText").visible)
            compare(child(page, "zoneNameField").text, "Zone " + (before + 1))
            compare(child(page, "exactField_left").text, "30%")
            compare(child(page, "exactField_width").text, "40%")
            compare(UndoViewModel.undoActionName, "Add Zone")

            undoStep()
            tryCompare(stored().zones, "length", before)
            verify(storedZone(zoneID) === undefined)
            redoStep()
            tryCompare(stored().zones, "length", before + 1)

            // Clear empties the layout in one step that brings every zone back.
            const clear = child(page, "clearButton")
            tryCompare(clear, "enabled", true)
            mouseClick(clear)
            tryCompare(stored().zones, "length", 0)
            tryCompare(clear, "enabled", false)
            compare(UndoViewModel.undoActionName, "Clear Zones")
            tryCompare(child(page, "noSelectionText"), "visible", true)
            verify(!child(page, "zoneSection").visible)
            verify(!child(page, "positionSection").visible)
            // A disabled button does nothing, not even an empty undo step.
            mouseClick(clear)
            compare(UndoViewModel.undoActionName, "Clear Zones")

            undoStep()
            tryCompare(stored().zones, "length", before + 1)
            tryCompare(clear, "enabled", true)
        }

        function test_exactSizeFields() {
            const page = loadPage()
            const zoneID = addZone(page)
            const width = child(page, "exactField_width")
            tryCompare(width, "text", "40%")

            typeInto(width, "33.33", true)
            tryCompare(width, "text", "33.3%")
            fuzzyCompare(storedZone(zoneID).width, 0.3333, 1e-9)
            compare(UndoViewModel.undoActionName, "Edit Zone")
            // (The minimum size and the clamping to the area are the editor's rules.)

            // Something that is no number changes nothing and shows the stored value again.
            const left = child(page, "exactField_left")
            typeInto(left, "abc", true)
            tryCompare(left, "text", "30%")
            fuzzyCompare(storedZone(zoneID).x, 0.3, 1e-9)

            // Leaving a field untouched is no edit.
            const top = child(page, "exactField_top")
            const undoName = UndoViewModel.undoActionName
            const zonesBefore = JSON.stringify(stored().zones)
            mouseClick(top)
            mouseClick(left)
            compare(JSON.stringify(stored().zones), zonesBefore)
            compare(UndoViewModel.undoActionName, undoName)

            // Typing for one zone and selecting another of the same size (as a click on the
            // canvas does) before the field loses the focus changes neither zone.
            const other = addZone(page)
            const third = addZone(page)
            tryCompare(width, "text", "40%")
            typeInto(width, "55", false)
            ZonesPageModel.selectedZoneID = other
            tryCompare(ZonesPageModel, "selectedZoneID", other)
            mouseClick(top)
            tryCompare(width, "text", "40%")
            fuzzyCompare(storedZone(other).width, 0.4, 1e-9)
            fuzzyCompare(storedZone(third).width, 0.4, 1e-9)
            compare(UndoViewModel.undoActionName, "Add Zone")
            ZonesPageModel.selectedZoneID = zoneID
            tryCompare(left, "text", "30%")

            // The stepper moves by 5 percent from the value, each step undoable.
            mouseClick(child(page, "exactUp_height"))
            tryCompare(child(page, "exactField_height"), "text", "45%")
            fuzzyCompare(storedZone(zoneID).height, 0.45, 1e-9)
            mouseClick(child(page, "exactDown_top"))
            tryCompare(top, "text", "25%")
            fuzzyCompare(storedZone(zoneID).y, 0.25, 1e-9)
            compare(UndoViewModel.undoActionName, "Edit Zone")
            undoStep()
            tryCompare(top, "text", "30%")
        }

        function test_renamingLayoutAndZone() {
            const page = loadPage()
            const zoneID = addZone(page)

            const layoutName = child(page, "layoutNameField")
            typeInto(layoutName, "Desk", false)
            tryCompare(stored(), "name", "Desk")
            const index = ZonesPageModel.layouts.findIndex(l => l.id === ZonesPageModel.layoutID)
            tryCompare(child(child(page, "layoutCard_" + index), "layoutCardName"), "text", "Desk")
            compare(layoutName.text, "Desk")

            const zoneName = child(page, "zoneNameField")
            typeInto(zoneName, "Mail", false)
            tryCompare(storedZone(zoneID), "name", "Mail")
            compare(ZonesPageModel.zoneName, "Mail")
            // Renaming is no undo step.
            compare(UndoViewModel.undoActionName, "Add Zone")
        }

        function record(page, key, modifiers) {
            const button = child(child(page, "zoneShortcutRecorder"), "recorderButton")
            mouseClick(button)
            tryCompare(button, "text", "Press Shortcut…")
            tryVerify(() => button.activeFocus, 2000, "the listening recorder has no key focus")
            keyClick(key, modifiers)
            return button
        }

        function test_zoneShortcutAndConflicts() {
            const page = loadPage()
            const first = addZone(page)
            const button = record(page, Qt.Key_J, Qt.ControlModifier | Qt.AltModifier)
            tryCompare(button, "text", "Ctrl+Alt+J")
            verify(storedZone(first).shortcut.length > 0, "no shortcut stored")
            compare(UndoViewModel.undoActionName, "Shortcut")
            verify(!child(page, "zoneConflict").visible)

            // The same keys on a second zone: both are told.
            const second = addZone(page)
            tryCompare(button, "text", "Record")
            record(page, Qt.Key_J, Qt.ControlModifier | Qt.AltModifier)
            tryCompare(storedZone(second), "shortcut", storedZone(first).shortcut)
            const conflict = child(page, "zoneConflictText")
            tryCompare(child(page, "zoneConflict"), "visible", true)
            compare(conflict.text, "Already used by “" + storedZone(first).name + "” in “"
                    + ZonesPageModel.layoutName + "”. Only one of them will work.")

            // A window command's keys: the command is named first.
            record(page, Qt.Key_Left, Qt.ControlModifier | Qt.AltModifier)
            tryVerify(() => conflict.text.startsWith("Also used by “"), 2000, conflict.text)

            // Removing it ends the warning.
            mouseClick(child(child(page, "zoneShortcutRecorder"), "removeShortcutButton"))
            tryCompare(storedZone(second), "shortcut", "")
            tryCompare(child(page, "zoneConflict"), "visible", false)
            undoStep()
            tryVerify(() => storedZone(second).shortcut.length > 0)
        }

        function test_splitMenuAndDeleteZone() {
            const page = loadPage()
            const before = stored().zones.length
            const zoneID = addZone(page)
            const name = storedZone(zoneID).name

            const splitButton = child(page, "splitMenuButton")
            mouseClick(splitButton)
            const menu = child(page, "splitMenu")
            tryCompare(menu, "opened", true)
            mouseClick(menu.itemAt(0))
            tryCompare(stored().zones, "length", before + 2)
            verify(storedZone(zoneID) === undefined)

            // The halves take the zone's place, the first one selected.
            const zones = stored().zones
            const leftHalf = zones[zones.length - 2]
            const rightHalf = zones[zones.length - 1]
            compare(leftHalf.name, name + " Left")
            compare(rightHalf.name, name + " Right")
            tryCompare(ZonesPageModel, "selectedZoneID", leftHalf.id)
            tryCompare(child(page, "zoneNameField"), "text", name + " Left")
            compare(UndoViewModel.undoActionName, "Split Zone")

            mouseClick(splitButton)
            tryCompare(menu, "opened", true)
            mouseClick(menu.itemAt(1))
            tryCompare(stored().zones, "length", before + 3)
            compare(stored().zones[before].name, name + " Left Top")

            // Delete Zone removes the selected one and selects the first zone left.
            const selected = ZonesPageModel.selectedZoneID
            mouseClick(child(page, "deleteZoneButton"))
            tryCompare(stored().zones, "length", before + 2)
            verify(storedZone(selected) === undefined)
            compare(UndoViewModel.undoActionName, "Delete Zone")
            tryCompare(ZonesPageModel, "selectedZoneID", stored().zones[0].id)

            undoStep()
            tryVerify(() => storedZone(selected) !== undefined)
        }

        function test_duplicateAndDeleteLayout() {
            const page = loadPage()
            const count = ZonesPageModel.layouts.length
            const name = ZonesPageModel.layoutName

            mouseClick(child(page, "duplicateLayoutButton"))
            tryCompare(ZonesPageModel.layouts, "length", count + 1)
            tryCompare(ZonesPageModel, "layoutName", name + " Copy")
            tryVerify(() => card(page, count).selected)

            // The card's menu duplicates its own layout, not the edited one.
            const firstName = ZonesPageModel.layouts[0].name
            let menu = openCardMenu(page, 0)
            verify(menu.itemAt(1).enabled)
            mouseClick(menu.itemAt(0))
            tryCompare(ZonesPageModel.layouts, "length", count + 2)
            tryCompare(ZonesPageModel, "layoutName", firstName + " Copy")

            // Deleting from a card's menu asks first; Escape keeps the layout.
            menu = openCardMenu(page, count + 1)
            mouseClick(menu.itemAt(1))
            const dialog = child(page, "deleteLayoutDialog")
            tryCompare(dialog, "opened", true)
            compare(dialog.title, "Delete layout “" + firstName + " Copy”?")
            keyClick(Qt.Key_Escape)
            tryCompare(dialog, "visible", false)
            tryCompare(ZonesPageModel, "confirmsLayoutDeletion", false)
            compare(ZonesPageModel.layouts.length, count + 2)

            // Deleting another card's layout shows that one first.
            menu = openCardMenu(page, count)
            mouseClick(menu.itemAt(1))
            tryCompare(dialog, "opened", true)
            compare(dialog.title, "Delete layout “" + name + " Copy”?")
            tryCompare(ZonesPageModel, "layoutName", name + " Copy")
            // Cancel keeps it.
            mouseClick(child(dialog.footer, "deletionCancel"))
            tryCompare(dialog, "visible", false)
            compare(ZonesPageModel.layouts.length, count + 2)

            // Confirming deletes it, and the undo steps of its zones go with it.
            addZone(page)
            verify(UndoViewModel.canUndo)
            const deleted = ZonesPageModel.layoutID
            mouseClick(child(page, "deleteLayoutButton"))
            tryCompare(dialog, "opened", true)
            mouseClick(child(dialog.footer, "deletionConfirm"))
            tryCompare(dialog, "visible", false)
            tryCompare(ZonesPageModel.layouts, "length", count + 1)
            verify(!sim.storedLayouts().some(l => l.id === deleted))
            verify(ZonesPageModel.layoutID !== deleted)
            compare(UndoViewModel.canUndo, false)
        }

        // A plain mouse wheel scrolls the row sideways; "New…" stays in sight beside it.
        function test_layoutRowScrollsWithTheWheel() {
            const page = loadPage()
            const strip = child(page, "layoutStrip")
            for (let i = 0; i < 12 && strip.contentWidth <= strip.width; ++i) {
                ZonesPageModel.duplicateLayout()
                waitForItemPolished(child(page, "layoutRow"))
            }
            verify(strip.contentWidth > strip.width, "the layouts don't fill the row")
            strip.contentX = 0
            mouseWheel(strip, strip.width / 2, strip.height / 2, 0, -120)
            verify(strip.contentX > 0)
            const newCard = child(page, "newLayoutCard")
            verify(newCard.mapToItem(page, newCard.width, 0).x <= page.width)
            verify(newCard.mapToItem(page, 0, 0).x >= strip.mapToItem(page, strip.width, 0).x)
        }

        function test_lastLayoutCannotBeDeleted() {
            const page = loadPage()
            const deleteButton = child(page, "deleteLayoutButton")
            const dialog = child(page, "deleteLayoutDialog")
            while (ZonesPageModel.layouts.length > 1) {
                const count = ZonesPageModel.layouts.length
                tryCompare(deleteButton, "enabled", true)
                mouseClick(deleteButton)
                tryCompare(dialog, "opened", true)
                mouseClick(child(dialog.footer, "deletionConfirm"))
                tryCompare(ZonesPageModel.layouts, "length", count - 1)
                tryCompare(dialog, "visible", false)
            }
            tryCompare(deleteButton, "enabled", false)
            const menu = openCardMenu(page, 0)
            verify(!menu.itemAt(1).enabled)
            keyClick(Qt.Key_Escape)
            tryCompare(menu, "visible", false)
            verify(!ZonesPageModel.confirmsLayoutDeletion)

            // A second layout makes it deletable again.
            mouseClick(child(page, "duplicateLayoutButton"))
            tryCompare(deleteButton, "enabled", true)
        }

        function test_choosingLayoutAndDisplay() {
            sim.setScreens("sideBySide")
            const page = loadPage()
            tryCompare(ZonesPageModel.screens, "length", 2)
            compare(displayButton(page, 1).text, ZonesPageModel.screens[1].name)

            mouseClick(displayButton(page, 1))
            tryCompare(ZonesPageModel, "editedScreenID", ZonesPageModel.screens[1].id)
            tryVerify(() => displayButton(page, 1).selected)
            verify(!displayButton(page, 0).selected)
            compare(child(page, "gridDensityPicker").screenID, ZonesPageModel.screens[1].id)

            // A card chosen for the second display becomes that display's layout only.
            mouseClick(displayButton(page, 0))
            tryCompare(ZonesPageModel, "editedScreenID", ZonesPageModel.screens[0].id)
            const firstLayout = ZonesPageModel.layoutID
            while (ZonesPageModel.layouts.length < 3) {
                const count = ZonesPageModel.layouts.length
                ZonesPageModel.duplicateLayout(ZonesPageModel.layouts[0].id)
                tryCompare(ZonesPageModel.layouts, "length", count + 1)
            }
            ZonesPageModel.chooseLayout(firstLayout)
            tryCompare(ZonesPageModel, "layoutID", firstLayout)
            mouseClick(displayButton(page, 1))
            tryCompare(ZonesPageModel, "editedScreenID", ZonesPageModel.screens[1].id)
            const index = ZonesPageModel.layouts.findIndex(l => !l.selected && l.id !== firstLayout)
            verify(index >= 0)
            const chosen = ZonesPageModel.layouts[index].id
            verify(!card(page, index).selected)
            mouseClick(card(page, index))
            tryCompare(ZonesPageModel, "layoutID", chosen)
            tryVerify(() => card(page, index).selected)
            compare(ZonesPageModel.layouts.filter(l => l.selected).length, 1)

            mouseClick(displayButton(page, 0))
            tryCompare(ZonesPageModel, "editedScreenID", ZonesPageModel.screens[0].id)
            tryCompare(ZonesPageModel, "layoutID", firstLayout)
            verify(!card(page, index).selected)
            mouseClick(displayButton(page, 1))
            tryCompare(ZonesPageModel, "layoutID", chosen)

            sim.setScreens("single")
            tryCompare(ZonesPageModel.screens, "length", 1)
            tryVerify(() => findChild(page, "displayButton_1") === null)
        }

        function test_gridPopover() {
            const page = loadPage()
            const button = child(page, "gridButton")
            const popover = child(page, "gridPopover")
            tryCompare(ZonesPageModel, "gridColumns", 12)
            verify(!popover.visible)

            mouseClick(button)
            tryCompare(popover, "opened", true)
            verify(ZonesPageModel.showsGridPicker)
            const picker = child(popover.contentItem, "gridDensityPicker")
            compare(picker.screenID, ZonesPageModel.editedScreenID)

            mouseClick(child(picker, "gridTile24"))
            tryCompare(ZonesPageModel, "gridColumns", 24)
            compare(Preferences.value("gridColumns"), 24)
            tryVerify(() => /^Grid 24 × \d+$/.test(button.text))
            compare(button.text, ZonesPageModel.gridTitle)
            compare(ZonesPageModel.canvas.columns, 24)

            // Escape closes it and the model hears of it.
            keyClick(Qt.Key_Escape)
            tryCompare(popover, "visible", false)
            tryCompare(ZonesPageModel, "showsGridPicker", false)

            // The button toggles it.
            mouseClick(button)
            tryCompare(popover, "opened", true)
            mouseClick(button)
            tryCompare(popover, "visible", false)
            compare(ZonesPageModel.showsGridPicker, false)
        }
    }
}
