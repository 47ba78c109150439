import QtQuick
import Tessera

// The zone canvas of the "Zones" page driven with real pointer and key events; what it did is
// read back from the store and the window's undo history.
Item {
    width: 700
    height: 420

    Component {
        id: canvasComponent
        ZoneCanvas {
            canvas: ZonesPageModel.canvas
            width: 640
            height: 360
        }
    }

    ShellTestCase {
        name: "ZoneCanvas"

        property var view: null
        readonly property var model: ZonesPageModel.canvas

        function cellWidth() { return 1 / model.columns }
        function cellHeight() { return 1 / model.rows }

        // The canvas point at normalized (x, y).
        function point(x, y) {
            const a = model.area
            return Qt.point(a.x + x * a.width, a.y + y * a.height)
        }

        function find(list, key, value) {
            const found = list.find(entry => entry[key] === value)
            return found === undefined ? null : found
        }
        // A zone as the canvas shows it: where its box is going (not where an animation has it).
        function shownZone(id) {
            const box = boxItem(id)
            return box === null ? null : { x: box.boxX, y: box.boxY, width: box.boxWidth,
                                            height: box.boxHeight, selected: box.selected, live: box.live }
        }
        function editedZones() { return editedLayout().zones }
        function centre(box) { return Qt.point(box.x + box.width / 2, box.y + box.height / 2) }

        function boxItem(id) { return find(zoneBoxes(view), "zoneID", id) }

        function compareZone(actual, expected, message) {
            verify(actual, message)
            for (const key of ["x", "y", "width", "height"])
                fuzzyCompare(actual[key], expected[key], 1e-9, message + " " + key)
        }

        // The edited layout holds exactly these zones (stored outside the undo history), nothing
        // is selected, and the canvas shows them. Returns the zones' ids.
        function useZones(rects) {
            const ids = sim.setEditedZones(rects)
            compare(ids.length, rects.length)
            tryVerify(() => zoneBoxes(view).length === rects.length
                      && ids.every(id => shownZone(id) !== null), 3000,
                      "the canvas shows the stored zones")
            ZonesPageModel.selectedZoneID = ""
            // The page may keep a zone selected in a layout that has zones; the canvas shows
            // whatever it keeps.
            tryVerify(() => zoneBoxes(view).every(z => z.selected === (z.zoneID === ZonesPageModel.selectedZoneID)),
                      3000, "the canvas shows the page's selection")
            return ids
        }

        function select(id) {
            const at = centre(shownZone(id))
            mouseClick(view, at.x, at.y)
            tryCompare(ZonesPageModel, "selectedZoneID", id)
            tryVerify(() => model.handles.length === 8)
        }

        function init() {
            view = createTemporaryObject(canvasComponent, parent)
            verify(view)
            tryCompare(model, "viewWidth", 640)
            tryCompare(model, "viewHeight", 360)
        }

        function cleanup() {
            mouseRelease(parent, 1, 1)
        }

        // A zone on whole cells, away from every border.
        function middleZone() {
            return { name: "Middle", x: 3 * cellWidth(), y: 2 * cellHeight(),
                     width: 4 * cellWidth(), height: 3 * cellHeight() }
        }

        function test_moveLandsOnTheGridAndIsOneUndoStep() {
            const ids = useZones([middleZone(), { name: "Corner", x: 0, y: 0,
                                                  width: cellWidth(), height: cellHeight() }])
            select(ids[1])
            const start = middleZone()
            const before = shownZone(ids[0])
            // Pointer events carry whole points.
            const centred = centre(before)
            const from = Qt.point(Math.round(centred.x), Math.round(centred.y))
            // 2.2 columns right and 0.8 rows down land two columns right and one row down.
            const to = Qt.point(Math.round(from.x + 2.2 * cellWidth() * model.area.width),
                                Math.round(from.y + 0.8 * cellHeight() * model.area.height))

            mousePress(view, from.x, from.y)
            mouseMove(view, to.x, to.y, -1, Qt.LeftButton)
            // While it moves the box follows the pointer exactly and the landing place shows.
            const live = shownZone(ids[0])
            verify(live.live)
            fuzzyCompare(live.x, before.x + (to.x - from.x), 1e-9)
            compare(boxItem(ids[0]).x, live.x)
            verify(findChild(view, "snapOutline").visible)
            tryCompare(findChild(view, "gridLines"), "opacity", 0.4)
            compare(ZonesPageModel.selectedZoneID, ids[0], "a drag selects its zone")
            compare(storedZone(ids[0]).x, start.x, "nothing is stored before the drop")
            mouseRelease(view, to.x, to.y)

            compareZone(storedZone(ids[0]), {
                x: start.x + 2 * cellWidth(), y: start.y + cellHeight(),
                width: start.width, height: start.height }, "moved")
            compare(UndoViewModel.undoActionName, Strings.localized("Edit Zone"))
            verify(!findChild(view, "snapOutline").visible)
            tryCompare(findChild(view, "gridLines"), "opacity", 0.16)
            // The dropped box settles where its zone now is.
            tryVerify(() => Math.abs(boxItem(ids[0]).x - shownZone(ids[0]).x) < 0.5)
        }

        function test_resize_data() {
            return [["nw", Qt.SizeFDiagCursor], ["n", Qt.SizeVerCursor], ["ne", Qt.SizeBDiagCursor],
                    ["e", Qt.SizeHorCursor], ["se", Qt.SizeFDiagCursor], ["s", Qt.SizeVerCursor],
                    ["sw", Qt.SizeBDiagCursor], ["w", Qt.SizeHorCursor]]
                .map(([h, cursor]) => ({ tag: h, handle: h, cursor: cursor }))
        }

        function test_resize(data) {
            const ids = useZones([middleZone()])
            select(ids[0])
            const start = middleZone()
            const from = centre(find(model.handles, "handle", data.handle))
            mouseMove(view, from.x, from.y)
            tryCompare(findChild(view, "canvasPointer"), "cursorShape", data.cursor)

            // Outward by 0.9 of a cell in both directions: the dragged edges round to one whole
            // cell, the others stay where they are.
            const left = data.handle.indexOf("w") >= 0
            const top = data.handle.indexOf("n") >= 0
            const right = data.handle.indexOf("e") >= 0
            const bottom = data.handle.indexOf("s") >= 0
            const to = Qt.point(from.x + (left ? -0.9 : 0.9) * cellWidth() * model.area.width,
                                from.y + (top ? -0.9 : 0.9) * cellHeight() * model.area.height)
            mousePress(view, from.x, from.y)
            mouseMove(view, (from.x + to.x) / 2, (from.y + to.y) / 2, -1, Qt.LeftButton)
            mouseMove(view, to.x, to.y, -1, Qt.LeftButton)
            mouseRelease(view, to.x, to.y)

            const expected = {
                x: start.x - (left ? cellWidth() : 0),
                y: start.y - (top ? cellHeight() : 0),
                width: start.width + (left || right ? cellWidth() : 0),
                height: start.height + (top || bottom ? cellHeight() : 0)
            }
            compareZone(storedZone(ids[0]), expected, data.handle)
            compare(UndoViewModel.undoActionName, Strings.localized("Edit Zone"))
        }

        // An empty layout says how to begin; drawing there adds a zone on whole cells.
        function test_drawingOnAnEmptyLayoutAddsAZoneOnWholeCells() {
            useZones([])
            const empty = findChild(view, "emptyState")
            tryCompare(empty, "visible", true)
            verify(visibleText(empty, Strings.localized("No zones yet")))
            verify(visibleText(empty, Strings.localized("Drag on the screen to draw one, or pick a template.")))
            const from = point(1.2 * cellWidth(), 1.3 * cellHeight())
            const to = point(3.7 * cellWidth(), 3.2 * cellHeight())
            mousePress(view, from.x, from.y)
            mouseMove(view, (from.x + to.x) / 2, (from.y + to.y) / 2, -1, Qt.LeftButton)
            mouseMove(view, to.x, to.y, -1, Qt.LeftButton)
            verify(!empty.visible, "hidden while a zone is drawn")
            const drawn = findChild(view, "drawnZone")
            verify(drawn.visible)
            mouseRelease(view, to.x, to.y)
            verify(!drawn.visible)
            tryCompare(empty, "visible", false)

            const zones = editedZones()
            compare(zones.length, 1)
            compareZone(zones[0], { x: cellWidth(), y: cellHeight(), width: 3 * cellWidth(),
                                    height: 2 * cellHeight() }, "drawn")
            compare(zones[0].name, Strings.localized("Zone %lld", [1]))
            compare(UndoViewModel.undoActionName, Strings.localized("Add Zone"))
            tryCompare(ZonesPageModel, "selectedZoneID", zones[0].id)
            verify(view.activeFocus)
        }

        function test_clicksSelectTheSmallestZoneAndClearOnEmptySpace() {
            const ids = useZones([
                { name: "Big", x: 0, y: 0, width: 6 * cellWidth(), height: 4 * cellHeight() },
                { name: "Inner", x: 2 * cellWidth(), y: cellHeight(), width: 2 * cellWidth(),
                  height: 2 * cellHeight() }
            ])
            const inner = centre(shownZone(ids[1]))
            const empty = point(1 - 0.5 * cellWidth(), 1 - 0.5 * cellHeight())
            // The cursor over the body of a zone and over empty space (over a handle: test_resize).
            const pointer = findChild(view, "canvasPointer")
            const big = point(0.5 * cellWidth(), 3.5 * cellHeight())
            mouseMove(view, empty.x, empty.y)
            mouseMove(view, big.x, big.y)
            tryCompare(pointer, "cursorShape", Qt.OpenHandCursor)
            mouseMove(view, empty.x, empty.y)
            tryCompare(pointer, "cursorShape", Qt.ArrowCursor)

            mouseClick(view, inner.x, inner.y)
            tryCompare(ZonesPageModel, "selectedZoneID", ids[1])
            tryVerify(() => shownZone(ids[1]).selected)
            // The size label sits on the selected box.
            compare(findChild(view, "sizeLabel").text, Strings.localized("%lld%% × %lld%%",
                    [Math.round(200 * cellWidth()), Math.round(200 * cellHeight())]))

            mouseClick(view, big.x, big.y)
            tryCompare(ZonesPageModel, "selectedZoneID", ids[0])

            mouseClick(view, empty.x, empty.y)
            tryCompare(ZonesPageModel, "selectedZoneID", "")
            tryCompare(model, "handles", [])
            verify(view.activeFocus)
            // A right click there opens no menu.
            mouseClick(view, empty.x, empty.y, Qt.RightButton)
            verify(!findChild(view, "zoneContextMenu").opened)
            compare(editedZones().length, 2, "clicks change no zone")
        }

        function test_arrowKeysMoveAndDeleteRemovesTheSelectedZone() {
            const ids = useZones([middleZone(), { name: "Other", x: 0, y: 0, width: cellWidth(),
                                                  height: cellHeight() }])
            const empty = point(0.98, 0.98)
            mouseClick(view, empty.x, empty.y)
            verify(view.activeFocus)
            keyClick(Qt.Key_Delete)
            compare(editedZones().length, 2, "nothing selected, nothing deleted")
            select(ids[0])
            const start = middleZone()
            for (const [key, columns, rows] of [[Qt.Key_Right, 1, 0], [Qt.Key_Up, 1, -1],
                                                [Qt.Key_Left, 0, -1], [Qt.Key_Down, 0, 0]]) {
                keyClick(key)
                compareZone(storedZone(ids[0]), { x: start.x + columns * cellWidth(),
                                                  y: start.y + rows * cellHeight(),
                                                  width: start.width, height: start.height }, key)
            }
            compare(UndoViewModel.undoActionName, Strings.localized("Edit Zone"))

            sim.runPending()
            keyClick(Qt.Key_Delete)
            compare(storedZone(ids[0]), null)
            compare(UndoViewModel.undoActionName, Strings.localized("Delete Zone"))
            sim.runPending()
            select(ids[1])
            keyClick(Qt.Key_Backspace)
            compare(storedZone(ids[1]), null)
        }

        // The halves' sizes: ZoneEditorTest; here, which way each entry splits.
        function test_contextMenu_data() {
            return [
                { tag: "splitLeftRight", title: "Split Left and Right", undoName: "Split Zone",
                  count: 2, start: "x", size: "width" },
                { tag: "splitTopBottom", title: "Split Top and Bottom", undoName: "Split Zone",
                  count: 2, start: "y", size: "height" },
                { tag: "remove", title: "Delete Zone", undoName: "Delete Zone", count: 0 }
            ]
        }

        // Opening the menu selects its zone, so it acts on the zone shown highlighted.
        function test_contextMenu(data) {
            const ids = useZones([middleZone(), { name: "Other", x: 0, y: 0, width: cellWidth(),
                                                  height: cellHeight() }])
            select(ids[1])
            const at = centre(shownZone(ids[0]))
            mouseClick(view, at.x, at.y, Qt.RightButton)
            const menu = findChild(view, "zoneContextMenu")
            tryCompare(menu, "opened", true)
            // Laid out: every entry has its place before one is clicked.
            waitForItemPolished(menu.contentItem)
            compare(ZonesPageModel.selectedZoneID, ids[0])
            tryVerify(() => shownZone(ids[0]).selected && !shownZone(ids[1]).selected)
            const item = entry(menu, "zoneMenu_" + data.tag)
            compare(item.text, Strings.localized(data.title))

            mouseClick(item)
            tryCompare(menu, "opened", false)
            const zones = editedZones().filter(zone => zone.id !== ids[1])
            compare(zones.length, data.count)
            if (data.start)
                fuzzyCompare(zones[1][data.start], zones[0][data.start] + zones[0][data.size], 1e-9)
            verify(storedZone(ids[1]) !== null, "the zone selected before is untouched")
            compare(UndoViewModel.undoActionName, Strings.localized(data.undoName))
        }
    }
}
