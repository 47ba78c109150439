import QtQuick
import QtQuick.Controls
import QtTest
import Tessera

// The template sheet of the zone editor, opened from the "New…" card.
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
        name: "PresetGallery"
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

        // Scrolls to "New…" as the user would, opens the sheet and lets its tiles find their
        // places.
        function openSheet(page) {
            const sheet = child(page, "presetSheet")
            waitForItemPolished(child(page, "layoutRow"))
            const newCard = child(page, "newLayoutCard")
            child(page, "layoutStrip").reveal(newCard)
            mouseClick(newCard)
            tryCompare(sheet, "opened", true)
            verify(ZonesPageModel.showsPresets)
            for (const orientation of ["horizontal", "vertical"]) {
                const section = child(sheet.contentItem, "presetSection_" + orientation)
                waitForItemPolished(child(section, "presetGrid"))
                waitForItemPolished(section)
            }
            waitForItemPolished(child(sheet.contentItem, "presetGallery").children[0])
            return sheet
        }

        // The section headings from top to bottom as drawn.
        function sectionOrder(sheet) {
            const horizontal = child(sheet.contentItem, "presetSection_horizontal")
            const vertical = child(sheet.contentItem, "presetSection_vertical")
            return horizontal.y < vertical.y ? ["horizontal", "vertical"]
                                             : ["vertical", "horizontal"]
        }

        function cleanup() {
            ZonesPageModel.showsPresets = false
            sim.setScreens("single")
        }

        function test_sheetContent() {
            const page = loadPage()
            const sheet = openSheet(page)
            // A landscape display lists the horizontal templates first.
            compare(sectionOrder(sheet), ["horizontal", "vertical"])
            const horizontal = child(sheet.contentItem, "presetSection_horizontal")
            compare(child(horizontal, "presetSectionTitle").text, "Horizontal")
            compare(child(child(sheet.contentItem, "presetSection_vertical"),
                          "presetSectionTitle").text, "Vertical")

            // Every template of the gallery as a tile with its title in its own section.
            for (const section of ZonesPageModel.presetGallery().sections) {
                const shown = child(sheet.contentItem, "presetSection_" + section.orientation)
                for (const preset of section.presets) {
                    const tile = child(shown, "preset_" + preset.id)
                    compare(child(tile, "presetTileTitle").text, preset.title)
                }
            }
            const quarters = child(horizontal, "preset_quarters")
            const preview = child(quarters, "presetPreview")
            compare(preview.zones.length, 4)
            // The miniature has the display's shape.
            fuzzyCompare(preview.width / preview.height,
                         child(sheet.contentItem, "presetGallery").aspect, 0.01)
            // Horizontal templates are not in the vertical section.
            verify(findChild(child(sheet.contentItem, "presetSection_vertical"),
                             "preset_quarters") === null)
        }

        function test_escapeAndCancelAddNothing() {
            const page = loadPage()
            const before = sim.storedLayouts().length
            const edited = ZonesPageModel.layoutID

            let sheet = openSheet(page)
            keyClick(Qt.Key_Escape)
            tryCompare(sheet, "visible", false)
            tryCompare(ZonesPageModel, "showsPresets", false)

            sheet = openSheet(page)
            mouseClick(child(sheet.contentItem, "presetCancel"))
            tryCompare(sheet, "visible", false)
            tryCompare(ZonesPageModel, "showsPresets", false)

            compare(sim.storedLayouts().length, before)
            compare(ZonesPageModel.layoutID, edited)
        }

        function test_pickingATemplateAddsAndAssignsIt() {
            const page = loadPage()
            const before = sim.storedLayouts().length

            const sheet = openSheet(page)
            mouseClick(child(sheet.contentItem, "preset_mainSidebar"))
            tryCompare(sheet, "visible", false)
            tryCompare(ZonesPageModel, "showsPresets", false)
            tryCompare(sim.storedLayouts(), "length", before + 1)

            // The new layout is stored last, shown for the display and its first zone selected.
            const added = sim.storedLayouts()[before]
            compare(added.name, "Main + Sidebar")
            compare(added.zones.map(z => z.name), ["Main", "Sidebar"])
            fuzzyCompare(added.zones[0].width, 0.7, 1e-9)
            tryCompare(ZonesPageModel, "layoutID", added.id)
            tryCompare(ZonesPageModel, "selectedZoneID", added.zones[0].id)
            tryCompare(child(page, "layoutCard_" + before), "selected", true)
            compare(child(page, "layoutNameField").text, "Main + Sidebar")
            const shown = () => {
                const layer = child(page, "zoneBoxes")
                const ids = []
                for (let i = 0; i < layer.children.length; ++i) {
                    if (layer.children[i].zoneID !== undefined)
                        ids.push(layer.children[i].zoneID)
                }
                return ids.sort()
            }
            tryVerify(() => JSON.stringify(shown()) === JSON.stringify(added.zones.map(z => z.id).sort()),
                      3000, "the canvas shows the new layout")
        }

        function test_portraitDisplayListsVerticalFirst() {
            sim.setScreens("withPortrait")
            const page = loadPage()
            tryCompare(ZonesPageModel.screens, "length", 2)
            mouseClick(child(page, "displayButton_1"))
            tryCompare(ZonesPageModel, "editedScreenID", ZonesPageModel.screens[1].id)

            const sheet = openSheet(page)
            compare(sectionOrder(sheet), ["vertical", "horizontal"])
            const gallery = child(sheet.contentItem, "presetGallery")
            verify(gallery.aspect < 1)
            const preview = child(child(sheet.contentItem, "preset_rows"), "presetPreview")
            verify(preview.height > preview.width)

            // A tile of the first section adds its layout to the portrait display.
            const before = sim.storedLayouts().length
            mouseClick(child(sheet.contentItem, "preset_verticalHalves"))
            tryCompare(sim.storedLayouts(), "length", before + 1)
            compare(sim.storedLayouts()[before].name, "Vertical Halves")
            tryCompare(ZonesPageModel, "layoutID", sim.storedLayouts()[before].id)
            compare(ZonesPageModel.editedScreenID, ZonesPageModel.screens[1].id)

            // Back on the landscape display the horizontal templates come first again.
            mouseClick(child(page, "displayButton_0"))
            tryCompare(ZonesPageModel, "editedScreenID", ZonesPageModel.screens[0].id)
            const reopened = openSheet(page)
            compare(sectionOrder(reopened), ["horizontal", "vertical"])
        }
    }
}
