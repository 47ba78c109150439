import QtQuick
import QtTest
import Tessera

// What the tests of a page or pane share: the file under test loaded afresh into the visible
// root (a TestCase itself is never shown, so nothing in it could be clicked or take the focus),
// and its parts found by object name. The shell behind it lives for the whole file, so tests
// read the counts and names they start from instead of assuming them.
TestCase {
    when: windowShown
    // The module's file under test, as "ZonesPage.qml".
    property string source

    Component {
        id: loaderComponent
        Loader {}
    }

    function load() {
        const loader = createTemporaryObject(loaderComponent, parent, {
            source: "qrc:/qt/qml/Tessera/" + source, width: parent.width, height: parent.height })
        verify(loader)
        tryCompare(loader, "status", Loader.Ready)
        return loader.item
    }

    // Delegates and pop-up contents come a moment after what holds them.
    function child(item, name) {
        tryVerify(() => findChild(item, name) !== null, 3000, "no " + name)
        return findChild(item, name)
    }

    // The entry of a menu (or any item list) with this object name, or null.
    function entry(menu, name) {
        for (let i = 0; i < menu.count; ++i) {
            if (menu.itemAt(i) && menu.itemAt(i).objectName === name)
                return menu.itemAt(i)
        }
        return null
    }

    // The layout the "Zones" page edits, as the store holds it, and one of its zones (or null).
    function editedLayout() {
        const layout = sim.storedLayouts().find(l => l.id === ZonesPageModel.layoutID)
        verify(layout, "the edited layout is not stored")
        return layout
    }
    function storedZone(zoneID) { return editedLayout().zones.find(z => z.id === zoneID) ?? null }

    // The zone boxes a zone canvas at or under `item` draws.
    function zoneBoxes(item) {
        const layer = findChild(item, "zoneBoxes")
        const boxes = []
        for (let i = 0; i < layer.children.length; ++i) {
            if (layer.children[i].zoneID !== undefined)
                boxes.push(layer.children[i])
        }
        return boxes
    }

    // Whether an item at or under `item` shows exactly this text.
    function visibleText(item, text) {
        if (item.text === text && item.visible)
            return true
        for (let i = 0; i < item.children.length; ++i) {
            if (visibleText(item.children[i], text))
                return true
        }
        return false
    }

    // Types into a field as the user does: click, replace everything, Enter when committing.
    function typeInto(field, text, commit) {
        mouseClick(field)
        tryVerify(() => field.activeFocus, 2000, "the field has no focus")
        field.selectAll()
        for (const c of text)
            keyClick(c)
        if (commit)
            keyClick(Qt.Key_Return)
    }

    // Clicks the recorder's button and presses the keys once it listens; the button.
    function record(recorder, key, modifiers) {
        const button = child(recorder, "recorderButton")
        mouseClick(button)
        tryCompare(button, "text", "Press Shortcut…")
        tryVerify(() => button.activeFocus, 2000, "the listening recorder has no key focus")
        keyClick(key, modifiers)
        return button
    }
}
