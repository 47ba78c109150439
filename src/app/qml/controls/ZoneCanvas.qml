import QtQuick
import QtQuick.Controls
import QtQuick.Shapes
import Tessera

// The interactive picture of one layout: zone boxes to select, move and resize, empty space to
// draw new zones on, arrow keys and Delete while focused, a context menu per zone. `canvas` (a
// ZoneCanvasViewModel) decides everything; this item only feeds it the pointer and keys in its
// own points and draws what it exposes.
Item {
    id: root
    objectName: "zoneCanvas"

    property var canvas: null
    // A stand-in for the display's picture; a page that draws the picture itself turns it off.
    property bool showsBackdrop: true
    readonly property color destructiveColor: "#e0312b"

    activeFocusOnTab: true

    // The last change came from an arrow key: boxes settle a little faster then.
    property bool nudging: false

    Binding {
        target: root.canvas
        when: root.canvas !== null
        property: "viewWidth"
        value: root.width
    }
    Binding {
        target: root.canvas
        when: root.canvas !== null
        property: "viewHeight"
        value: root.height
    }
    Binding {
        target: root.canvas
        when: root.canvas !== null
        property: "focused"
        value: root.activeFocus
    }

    onCanvasChanged: buildMenu()
    Component.onCompleted: buildMenu()

    // --- Drawing ---

    Rectangle {
        anchors.fill: parent
        visible: root.showsBackdrop
        radius: 10
        gradient: Gradient {
            orientation: Gradient.Vertical
            GradientStop { position: 0.0; color: "#4f7cc9" }
            GradientStop { position: 1.0; color: "#2a3d66" }
        }
    }

    Item {
        id: gridLines
        objectName: "gridLines"
        anchors.fill: parent
        opacity: root.canvas ? root.canvas.gridLineOpacity : 0.16
        Behavior on opacity {
            NumberAnimation { duration: 200; easing.type: Easing.OutCubic }
        }
        Repeater {
            model: root.canvas ? root.canvas.gridLines : []
            // A half-point line on whole points plus a quarter covers half of one pixel: drawn
            // as that pixel at half strength, since a rectangle half a pixel wide may cover no
            // pixel centre at all and vanish.
            delegate: Rectangle {
                required property var modelData
                readonly property bool vertical: modelData[0] === modelData[2]
                x: vertical ? Math.floor(modelData[0]) : modelData[0]
                y: vertical ? modelData[1] : Math.floor(modelData[1])
                width: vertical ? 1 : modelData[2] - modelData[0]
                height: vertical ? modelData[3] - modelData[1] : 1
                color: Qt.rgba(1, 1, 1, 0.5)
            }
        }
    }

    Item {
        id: zoneLayer
        objectName: "zoneBoxes"
        anchors.fill: parent

        Repeater {
            // Rows stay with their zone, so a box animates from where it was to where its zone
            // is now instead of being made afresh.
            model: root.canvas ? root.canvas.zoneBoxes : null
            delegate: Item {
                id: box
                required property int index
                required property string zoneID
                required property string name
                required property string shortcut
                required property bool selected
                required property bool live
                required property real boxX
                required property real boxY
                required property real boxWidth
                required property real boxHeight

                objectName: "zoneBox_" + index
                // Smaller zones come later and lie on top.
                z: index
                x: boxX
                y: boxY
                width: Math.max(0, boxWidth)
                height: Math.max(0, boxHeight)

                // A critically damped spring: response 0.22 s after a drag, 0.18 s after a key.
                Behavior on x {
                    enabled: !box.live
                    SpringAnimation { spring: root.nudging ? 19.5 : 13.05; damping: root.nudging ? 1.12 : 0.91; epsilon: 0.1 } // qmllint disable unqualified
                }
                Behavior on y {
                    enabled: !box.live
                    SpringAnimation { spring: root.nudging ? 19.5 : 13.05; damping: root.nudging ? 1.12 : 0.91; epsilon: 0.1 } // qmllint disable unqualified
                }
                Behavior on width {
                    enabled: !box.live
                    SpringAnimation { spring: root.nudging ? 19.5 : 13.05; damping: root.nudging ? 1.12 : 0.91; epsilon: 0.1 } // qmllint disable unqualified
                }
                Behavior on height {
                    enabled: !box.live
                    SpringAnimation { spring: root.nudging ? 19.5 : 13.05; damping: root.nudging ? 1.12 : 0.91; epsilon: 0.1 } // qmllint disable unqualified
                }

                Rectangle {
                    anchors.fill: parent
                    radius: 8
                    color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b,
                                   box.selected ? 0.38 : 0.26)
                    border.width: box.selected ? 2 : 1
                    border.color: box.selected ? Theme.accent : Qt.rgba(1, 1, 1, 0.3)
                }

                Column {
                    anchors.centerIn: parent
                    width: parent.width - 12
                    spacing: 4
                    visible: box.height > 20

                    Label {
                        objectName: "zoneName"
                        width: parent.width
                        horizontalAlignment: Text.AlignHCenter
                        elide: Text.ElideRight
                        text: box.name
                        color: "white"
                        font.pixelSize: 13
                        font.weight: Font.DemiBold
                    }
                    Rectangle {
                        objectName: "zoneShortcut"
                        anchors.horizontalCenter: parent.horizontalCenter
                        visible: box.shortcut !== ""
                        width: Math.min(parent.width, shortcutText.implicitWidth + 12)
                        height: shortcutText.implicitHeight + 4
                        radius: height / 2
                        color: Qt.rgba(0, 0, 0, 0.28)
                        Label {
                            id: shortcutText
                            anchors.centerIn: parent
                            width: parent.width - 8
                            horizontalAlignment: Text.AlignHCenter
                            elide: Text.ElideRight
                            text: box.shortcut
                            color: "white"
                            font.pixelSize: 11
                            font.weight: Font.Medium
                        }
                    }
                }

                Loader {
                    anchors.right: parent.right
                    anchors.bottom: parent.bottom
                    anchors.rightMargin: 8
                    anchors.bottomMargin: 6
                    active: box.selected && root.canvas !== null && root.canvas.sizeLabel !== "" // qmllint disable unqualified
                    sourceComponent: Label {
                        objectName: "sizeLabel"
                        text: root.canvas.sizeLabel // qmllint disable unqualified
                        color: Qt.rgba(1, 1, 1, 0.85)
                        font.pixelSize: 11
                        font.weight: Font.Medium
                    }
                }
            }
        }
    }

    // A rounded rectangle outlined with dashes; dash lengths are given in points.
    component DashedBox: Shape {
        id: shape
        property real radius: 8
        property color strokeColor: "white"
        property real strokeWidth: 1
        property color fillColor: "transparent"
        property real dash: 5
        property real gap: 4
        readonly property real r: Math.max(0, Math.min(radius, width / 2, height / 2))

        ShapePath {
            strokeColor: shape.strokeColor
            strokeWidth: shape.strokeWidth
            fillColor: shape.fillColor
            strokeStyle: ShapePath.DashLine
            // The pattern counts in stroke widths.
            dashPattern: [shape.dash / shape.strokeWidth, shape.gap / shape.strokeWidth]
            startX: shape.r
            startY: 0
            PathLine { x: shape.width - shape.r; y: 0 }
            PathArc { x: shape.width; y: shape.r; radiusX: shape.r; radiusY: shape.r }
            PathLine { x: shape.width; y: shape.height - shape.r }
            PathArc { x: shape.width - shape.r; y: shape.height; radiusX: shape.r; radiusY: shape.r }
            PathLine { x: shape.r; y: shape.height }
            PathArc { x: 0; y: shape.height - shape.r; radiusX: shape.r; radiusY: shape.r }
            PathLine { x: 0; y: shape.r }
            PathArc { x: shape.r; y: 0; radiusX: shape.r; radiusY: shape.r }
        }
    }

    DashedBox {
        objectName: "snapOutline"
        readonly property var rect: root.canvas ? root.canvas.snapRect : null
        visible: !!rect
        x: rect ? rect.x : 0
        y: rect ? rect.y : 0
        width: rect ? Math.max(0, rect.width) : 0
        height: rect ? Math.max(0, rect.height) : 0
        strokeColor: Qt.rgba(1, 1, 1, 0.9)
        strokeWidth: 1.5
        dash: 5
        gap: 4
    }

    DashedBox {
        objectName: "drawnZone"
        readonly property var rect: root.canvas ? root.canvas.drawnRect : null
        visible: !!rect
        x: rect ? rect.x : 0
        y: rect ? rect.y : 0
        width: rect ? Math.max(0, rect.width) : 0
        height: rect ? Math.max(0, rect.height) : 0
        fillColor: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.25)
        strokeColor: Theme.accent
        strokeWidth: 2
        dash: 6
        gap: 4
    }

    // The selected zone's resize targets: squares on the corners, invisible strips on the edges.
    Repeater {
        model: root.canvas ? root.canvas.handles : []
        delegate: Item {
            id: handle
            required property var modelData
            objectName: "handle_" + modelData.handle
            x: modelData.x
            y: modelData.y
            width: modelData.width
            height: modelData.height

            Rectangle {
                visible: handle.modelData.corner
                anchors.centerIn: parent
                anchors.verticalCenterOffset: 0.5
                width: 10
                height: 10
                radius: 2
                color: Qt.rgba(0, 0, 0, 0.18)
            }
            Rectangle {
                visible: handle.modelData.corner
                anchors.centerIn: parent
                width: 9
                height: 9
                radius: 1.5
                color: "white"
                border.width: 1.5
                border.color: Theme.accent
            }
        }
    }

    Rectangle {
        objectName: "emptyState"
        anchors.centerIn: parent
        visible: root.canvas !== null && root.canvas.showsEmptyState
        width: Math.min(parent.width - 24, Math.max(headline.implicitWidth, message.implicitWidth) + 40)
        height: emptyColumn.implicitHeight + 32
        radius: 14
        color: Qt.rgba(0, 0, 0, 0.32)
        border.color: Qt.rgba(1, 1, 1, 0.18)

        Column {
            id: emptyColumn
            anchors.centerIn: parent
            width: parent.width - 40
            spacing: 6
            SymbolIcon {
                anchors.horizontalCenter: parent.horizontalCenter
                name: "rectangle.dashed.badge.record"
                size: 32
                color: "white"
            }
            Label {
                id: headline
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                text: Strings.localized("No zones yet")
                color: "white"
                font.pixelSize: 17
                font.weight: Font.DemiBold
            }
            Label {
                id: message
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
                text: Strings.localized("Drag on the screen to draw one, or pick a template.")
                color: Qt.rgba(1, 1, 1, 0.85)
            }
        }
    }

    // --- Pointer ---

    // One area for every gesture: what lies under the press decides whether it moves or resizes
    // a zone or draws on empty space.
    MouseArea {
        id: pointer
        objectName: "canvasPointer"
        anchors.fill: parent
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        hoverEnabled: true
        preventStealing: true

        // The gesture of the left button: pointerTarget at the press (empty for empty space).
        property var target: ({})
        property point start
        property bool travelled: false
        property bool gesture: false
        property int hoverCursor: Qt.ArrowCursor

        cursorShape: gesture && target.cursor !== undefined ? target.cursor : hoverCursor

        function updateHover(x, y) {
            if (!root.canvas)
                return
            const t = root.canvas.pointerTarget(x, y)
            hoverCursor = t.cursor !== undefined ? t.cursor : Qt.ArrowCursor
        }

        function finish(x, y) {
            if (!gesture)
                return
            gesture = false
            root.forceActiveFocus()
            if (!root.canvas)
                return
            if (target.zoneID !== undefined) {
                root.canvas.zoneDragEnded(target.handle)
                // A click on a zone's body picks the smallest zone there.
                if (!travelled && target.handle === "move")
                    root.canvas.backgroundDragEnded(x, y)
            } else {
                root.canvas.backgroundDragEnded(x, y)
            }
            updateHover(x, y)
        }

        onPressed: (mouse) => {
            root.forceActiveFocus()
            if (!root.canvas)
                return
            // The secondary button opens the zone's menu once it is released.
            if (mouse.button === Qt.RightButton)
                return
            root.nudging = false
            target = root.canvas.pointerTarget(mouse.x, mouse.y)
            start = Qt.point(mouse.x, mouse.y)
            travelled = false
            gesture = true
        }
        onPositionChanged: (mouse) => {
            if (!gesture) {
                updateHover(mouse.x, mouse.y)
                return
            }
            if (!root.canvas)
                return
            const dx = mouse.x - start.x
            const dy = mouse.y - start.y
            if (target.zoneID !== undefined) {
                if (!travelled && Math.hypot(dx, dy) < 1)
                    return
                travelled = true
                root.canvas.zoneDragChanged(target.zoneID, target.handle, dx, dy)
            } else {
                travelled = true
                root.canvas.backgroundDragChanged(start.x, start.y, mouse.x, mouse.y)
            }
        }
        onReleased: (mouse) => {
            if (mouse.button === Qt.LeftButton) {
                finish(mouse.x, mouse.y)
            } else if (mouse.button === Qt.RightButton && !gesture && root.canvas) {
                // Only a zone's body has a menu; its zone is selected first.
                const zoneID = root.canvas.zoneMenuRequested(mouse.x, mouse.y)
                if (zoneID.length > 0) {
                    zoneMenu.zoneID = zoneID
                    zoneMenu.popup(root, mouse.x, mouse.y)
                }
            }
        }
        onCanceled: finish(start.x, start.y)
    }

    Menu {
        id: zoneMenu
        objectName: "zoneContextMenu"
        property string zoneID
    }

    // The menu's entries are made at run time, which Qt 6.4 refuses for a component bound to its
    // file (pragma ComponentBehavior: Bound); so this file's delegates reach `root` unbound, as
    // the lint directives on those lines say.
    Component {
        id: menuItemComponent
        MenuItem {
            property string menuAction
            property bool destructive: false
            icon.color: destructive ? root.destructiveColor : root.palette.windowText // qmllint disable unqualified
            Component.onCompleted: {
                if (destructive) {
                    palette.windowText = root.destructiveColor // qmllint disable unqualified
                    palette.highlightedText = root.destructiveColor
                }
            }
            onTriggered: {
                if (root.canvas) // qmllint disable unqualified
                    root.canvas.menuAction(menuAction, zoneMenu.zoneID)
            }
        }
    }
    Component {
        id: menuSeparatorComponent
        MenuSeparator {}
    }

    function buildMenu() {
        while (zoneMenu.count > 0) {
            const item = zoneMenu.takeItem(0)
            if (item)
                item.destroy()
        }
        if (!canvas)
            return
        for (const entry of canvas.menuItems) {
            if (entry.dividerBefore)
                zoneMenu.addItem(menuSeparatorComponent.createObject(root))
            zoneMenu.addItem(menuItemComponent.createObject(root, {
                objectName: "zoneMenu_" + entry.action,
                menuAction: entry.action,
                text: entry.title,
                destructive: entry.destructive,
                "icon.source": Symbols.source(entry.image)
            }))
        }
        // As wide as its widest entry: the style's fixed width cuts longer translations.
        let widest = 0
        for (let i = 0; i < zoneMenu.count; ++i)
            widest = Math.max(widest, zoneMenu.itemAt(i).implicitWidth)
        zoneMenu.width = Math.max(200, widest + zoneMenu.leftPadding + zoneMenu.rightPadding)
    }

    // --- Keys ---

    Keys.onPressed: (event) => {
        if (!root.canvas) {
            event.accepted = false
            return
        }
        switch (event.key) {
        case Qt.Key_Left:
        case Qt.Key_Right:
        case Qt.Key_Up:
        case Qt.Key_Down:
            root.nudging = true
            event.accepted = root.canvas.arrowKey(event.key)
            break
        case Qt.Key_Delete:
        case Qt.Key_Backspace:
            event.accepted = root.canvas.deleteCommand()
            break
        default:
            event.accepted = false
        }
    }
}
