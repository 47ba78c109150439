import QtQuick
import QtQuick.Controls
import Tessera

// The zone editor page on the simulated desktop: its inspector, layout cards, displays and the
// template sheet (the canvas itself: tst_zonecanvas.qml).
Item {
    width: 1180
    height: 760

    ShellTestCase {
        name: "ZonesPage"
        source: "ZonesPage.qml"
        property Item page

        function zoneCount() { return editedLayout().zones.length }

        function addZone() {
            const before = zoneCount()
            mouseClick(child(page, "addZoneButton"))
            tryCompare(ZonesPageModel, "hasSelection", true)
            tryVerify(() => zoneCount() === before + 1)
            return ZonesPageModel.selectedZoneID
        }

        // The cards and display buttons are made anew with every change of the page, so tests
        // look them up again after each step.
        function card(index) { return child(page, "layoutCard_" + index) }
        function displayButton(index) { return child(page, "displayButton_" + index) }
        function chooseDisplay(index) {
            mouseClick(displayButton(index))
            tryCompare(ZonesPageModel, "editedScreenID", ZonesPageModel.screens[index].id)
        }

        // Scrolls the layout row to the item, as the user would, and clicks it (a card made a
        // moment ago finds its place when the row is laid out).
        function clickInRow(item, button) {
            waitForItemPolished(child(page, "layoutRow"))
            child(page, "layoutStrip").reveal(item)
            mouseClick(item, item.width / 2, item.height / 2, button)
        }

        function openCardMenu(index) {
            clickInRow(card(index), Qt.RightButton)
            const menu = child(card(index), "layoutCardMenu")
            tryCompare(menu, "opened", true, 5000, "no menu on card " + index)
            return menu
        }

        // Opens the template sheet from "New…" and lets its tiles find their places; the
        // sections' order from top to bottom as drawn.
        function openSheet() {
            const sheet = child(page, "presetSheet")
            clickInRow(child(page, "newLayoutCard"), Qt.LeftButton)
            tryCompare(sheet, "opened", true)
            for (const orientation of ["horizontal", "vertical"])
                waitForItemPolished(child(sheet.contentItem, "presetSection_" + orientation))
            waitForItemPolished(child(sheet.contentItem, "presetGallery").children[0])
            return sheet
        }
        function sectionOrder(sheet) {
            const horizontal = child(sheet.contentItem, "presetSection_horizontal")
            const vertical = child(sheet.contentItem, "presetSection_vertical")
            return horizontal.y < vertical.y ? ["horizontal", "vertical"] : ["vertical", "horizontal"]
        }

        function init() {
            page = load()
            tryVerify(() => ZonesPageModel.layouts.length > 0, 5000, "the store shows no layouts")
        }

        function cleanup() {
            ZonesPageModel.showsPresets = false
            ZonesPageModel.showsGridPicker = false
            ZonesPageModel.cancelLayoutDeletion()
            Preferences.remove("gridColumns")
            sim.setScreens("single")
        }

        // One card per layout in store order, named as the store shows them, the edited one
        // marked; the grid button names the canvas's grid and picks another.
        function test_layoutCardsAndGrid() {
            tryVerify(() => /^Grid 12 × \d+$/.test(child(page, "gridButton").text))
            const layouts = sim.storedLayouts()
            layouts.forEach((layout, i) => {
                compare(child(card(i), "layoutCardName").text, ZonesPageModel.layouts[i].name)
                compare(card(i).selected, layout.id === ZonesPageModel.layoutID)
            })
            verify(findChild(page, "layoutCard_" + layouts.length) === null)

            // The grid button opens the picker; Escape closes it and the model hears of it.
            const button = child(page, "gridButton")
            const popover = child(page, "gridPopover")
            mouseClick(button)
            tryCompare(popover, "opened", true)
            mouseClick(child(popover.contentItem, "gridTile24"))
            compare(Preferences.value("gridColumns"), 24)
            tryVerify(() => /^Grid 24 × \d+$/.test(button.text))
            compare(ZonesPageModel.canvas.columns, 24)
            keyClick(Qt.Key_Escape)
            tryCompare(popover, "visible", false)
            tryCompare(ZonesPageModel, "showsGridPicker", false)
        }

        // Renaming the layout or a zone is no undo step.
        function test_addRenameSplitDeleteAndClear() {
            const before = zoneCount()
            const zoneID = addZone()
            tryCompare(child(page, "zoneSection"), "visible", true)
            compare(child(page, "zoneNameField").text, storedZone(zoneID).name)

            typeInto(child(page, "layoutNameField"), "Desk", false)
            tryVerify(() => editedLayout().name === "Desk")
            const index = ZonesPageModel.layouts.findIndex(l => l.id === ZonesPageModel.layoutID)
            tryCompare(child(card(index), "layoutCardName"), "text", "Desk")
            typeInto(child(page, "zoneNameField"), "Mail", false)
            tryVerify(() => storedZone(zoneID).name === "Mail")
            compare(UndoViewModel.undoActionName, "Add Zone")

            const menu = child(page, "splitMenu")
            for (const [item, names] of [[0, [" Left", " Right"]], [1, [" Left Top", " Left Bottom"]]]) {
                mouseClick(child(page, "splitMenuButton"))
                tryCompare(menu, "opened", true)
                mouseClick(menu.itemAt(item))
                tryVerify(() => zoneCount() === before + 2 + item)
                // The halves take the zone's place.
                const halves = editedLayout().zones.slice(before, before + 2)
                compare(halves.map(z => z.name), names.map(n => "Mail" + n))
            }

            // Delete Zone removes the selected one and selects the first zone left.
            const selected = ZonesPageModel.selectedZoneID
            mouseClick(child(page, "deleteZoneButton"))
            tryVerify(() => storedZone(selected) === null)
            tryCompare(ZonesPageModel, "selectedZoneID", editedLayout().zones[0].id)

            const clear = child(page, "clearButton")
            tryCompare(clear, "enabled", true)
            mouseClick(clear)
            tryVerify(() => zoneCount() === 0)
            tryCompare(clear, "enabled", false)
            tryCompare(child(page, "noSelectionText"), "visible", true)
            verify(!child(page, "zoneSection").visible && !child(page, "positionSection").visible)
        }

        function test_exactSizeFields() {
            const zoneID = addZone()
            const width = child(page, "exactField_width")
            const left = child(page, "exactField_left")
            const top = child(page, "exactField_top")
            tryCompare(width, "text", "40%")
            typeInto(width, "33.33", true)
            tryCompare(width, "text", "33.3%")

            // Something that is no number changes nothing and shows the stored value again.
            typeInto(left, "abc", true)
            tryCompare(left, "text", "30%")

            // Typing for one zone and selecting another of the same size (as a click on the
            // canvas does) before the field loses the focus changes neither zone.
            const other = addZone()
            const third = addZone()
            tryCompare(width, "text", "40%")
            typeInto(width, "55", false)
            ZonesPageModel.selectedZoneID = other
            mouseClick(top)
            tryCompare(width, "text", "40%")
            fuzzyCompare(storedZone(other).width, 0.4, 1e-9)
            fuzzyCompare(storedZone(third).width, 0.4, 1e-9)
            compare(UndoViewModel.undoActionName, "Add Zone")

            // The stepper moves by 5 percent from the value.
            ZonesPageModel.selectedZoneID = zoneID
            tryCompare(top, "text", "30%")
            mouseClick(child(page, "exactUp_height"))
            tryCompare(child(page, "exactField_height"), "text", "45%")
            mouseClick(child(page, "exactDown_top"))
            tryCompare(top, "text", "25%")
            fuzzyCompare(storedZone(zoneID).y, 0.25, 1e-9)
        }

        function test_zoneShortcutAndConflicts() {
            const recorder = child(page, "zoneShortcutRecorder")
            const first = addZone()
            const button = record(recorder, Qt.Key_J, Qt.ControlModifier | Qt.AltModifier)
            tryCompare(button, "text", "Ctrl+Alt+J")
            verify(storedZone(first).shortcut.length > 0, "no shortcut stored")
            verify(!child(page, "zoneConflict").visible)

            // The same keys on a second zone: both are told.
            const second = addZone()
            tryCompare(button, "text", "Record")
            record(recorder, Qt.Key_J, Qt.ControlModifier | Qt.AltModifier)
            tryVerify(() => storedZone(second).shortcut === storedZone(first).shortcut)
            tryCompare(child(page, "zoneConflict"), "visible", true)
            compare(child(page, "zoneConflictText").text, "Already used by “" + storedZone(first).name + "” in “"
                    + ZonesPageModel.layoutName + "”. Only one of them will work.")

            // Removing it ends the warning.
            mouseClick(child(recorder, "removeShortcutButton"))
            tryVerify(() => storedZone(second).shortcut === "")
            tryCompare(child(page, "zoneConflict"), "visible", false)
        }

        function test_duplicateAndDeleteLayout() {
            const count = ZonesPageModel.layouts.length
            const name = ZonesPageModel.layoutName
            mouseClick(child(page, "duplicateLayoutButton"))
            tryCompare(ZonesPageModel, "layoutName", name + " Copy")
            tryVerify(() => card(count).selected)

            // The card's menu duplicates its own layout, not the edited one.
            const firstName = ZonesPageModel.layouts[0].name
            let menu = openCardMenu(0)
            mouseClick(menu.itemAt(0))
            tryCompare(ZonesPageModel, "layoutName", firstName + " Copy")

            // Deleting from a card's menu asks first, showing that layout; Escape and Cancel
            // keep it.
            const dialog = child(page, "deleteLayoutDialog")
            for (const [index, shown] of [[count + 1, firstName], [count, name]]) {
                menu = openCardMenu(index)
                mouseClick(menu.itemAt(1))
                tryCompare(dialog, "opened", true)
                compare(dialog.title, "Delete layout “" + shown + " Copy”?")
                tryCompare(ZonesPageModel, "layoutName", shown + " Copy")
                if (index === count)
                    mouseClick(child(dialog.footer, "deletionCancel"))
                else
                    keyClick(Qt.Key_Escape)
                tryCompare(dialog, "visible", false)
                tryCompare(ZonesPageModel, "confirmsLayoutDeletion", false)
            }
            compare(ZonesPageModel.layouts.length, count + 2)

            const deleteButton = child(page, "deleteLayoutButton")
            mouseClick(deleteButton)
            tryCompare(dialog, "opened", true)
            mouseClick(child(dialog.footer, "deletionConfirm"))
            tryCompare(dialog, "visible", false)
            tryCompare(ZonesPageModel.layouts, "length", count + 1)

            // The last layout can't be deleted, from the button or the card's menu.
            while (ZonesPageModel.layouts.length > 1) {
                ZonesPageModel.requestLayoutDeletion()
                ZonesPageModel.confirmLayoutDeletion()
            }
            tryCompare(deleteButton, "enabled", false)
            menu = openCardMenu(0)
            verify(!menu.itemAt(1).enabled)
            keyClick(Qt.Key_Escape)
            tryCompare(menu, "visible", false)
        }

        // A plain mouse wheel scrolls the row sideways; "New…" stays in sight beside it.
        function test_layoutRowScrollsWithTheWheel() {
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

        function test_aLayoutChosenForADisplayIsThatDisplaysOnly() {
            sim.setScreens("sideBySide")
            tryCompare(ZonesPageModel.screens, "length", 2)
            // The preview button shows every display's zones (for how long: AppStateTest).
            compare(sim.overlaysOnScreen(), 0)
            mouseClick(child(page, "showZonesButton"))
            sim.advance(0.5)
            compare(sim.overlaysOnScreen(), 2)

            compare(displayButton(1).text, ZonesPageModel.screens[1].name)
            chooseDisplay(1)
            tryVerify(() => displayButton(1).selected && !displayButton(0).selected)
            compare(child(page, "gridDensityPicker").screenID, ZonesPageModel.screens[1].id)

            chooseDisplay(0)
            const firstLayout = ZonesPageModel.layoutID
            while (ZonesPageModel.layouts.length < 3)
                ZonesPageModel.duplicateLayout(ZonesPageModel.layouts[0].id)
            ZonesPageModel.chooseLayout(firstLayout)
            chooseDisplay(1)
            const index = ZonesPageModel.layouts.findIndex(l => !l.selected && l.id !== firstLayout)
            const chosen = ZonesPageModel.layouts[index].id
            mouseClick(card(index))
            tryCompare(ZonesPageModel, "layoutID", chosen)
            tryVerify(() => card(index).selected)
            compare(ZonesPageModel.layouts.filter(l => l.selected).length, 1)

            chooseDisplay(0)
            tryCompare(ZonesPageModel, "layoutID", firstLayout)
            verify(!card(index).selected)
            chooseDisplay(1)
            tryCompare(ZonesPageModel, "layoutID", chosen)
        }

        // --- The template sheet ---

        // A landscape display lists the horizontal templates first, in miniatures of its shape;
        // Cancel adds nothing. A pick is stored last, shown for the display and its
        // first zone selected.
        function test_templatesSheet() {
            const sheet = openSheet()
            compare(sectionOrder(sheet), ["horizontal", "vertical"])
            const preview = child(child(sheet.contentItem, "preset_quarters"), "presetPreview")
            fuzzyCompare(preview.width / preview.height,
                         child(sheet.contentItem, "presetGallery").aspect, 0.01)

            const before = sim.storedLayouts().length
            const edited = ZonesPageModel.layoutID
            mouseClick(child(sheet.contentItem, "presetCancel"))
            tryCompare(sheet, "visible", false)
            tryCompare(ZonesPageModel, "showsPresets", false)
            openSheet()
            compare(sim.storedLayouts().length, before)
            compare(ZonesPageModel.layoutID, edited)
            mouseClick(child(sheet.contentItem, "preset_mainSidebar"))
            tryCompare(sheet, "visible", false)
            tryCompare(ZonesPageModel, "showsPresets", false)
            tryVerify(() => sim.storedLayouts().length === before + 1)
            const added = sim.storedLayouts()[before]
            tryCompare(card(before), "selected", true)
            const shown = () => zoneBoxes(page).map(box => box.zoneID).sort().join()
            tryVerify(() => shown() === added.zones.map(z => z.id).sort().join(), 3000,
                      "the canvas shows the new layout")

            // A portrait display lists the vertical ones first.
            sim.setScreens("withPortrait")
            tryCompare(ZonesPageModel.screens, "length", 2)
            chooseDisplay(1)
            compare(sectionOrder(openSheet()), ["vertical", "horizontal"])
        }

    }
}
