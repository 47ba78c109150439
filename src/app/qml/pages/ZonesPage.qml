pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tessera

// The zone editor: one display at a time, its layout on the canvas, the layouts to choose from,
// and the inspector of the layout and the selected zone. Everything shown comes from
// `zonesPage`; the page keeps no state of its own beyond what is open.
Item {
    id: page
    objectName: "zonesPage"

    // Destructive actions ("Delete…", the confirmation's button) are drawn in red.
    readonly property color destructive: AppViewModel.darkScheme ? "#ff453a" : "#d70015"
    readonly property int inspectorWidth: 300

    // The desktop picture of a display, as the overview has loaded it.
    function pictureOf(screenID) {
        const monitors = OverviewViewModel.monitors
        for (let i = 0; i < monitors.length; ++i) {
            if (monitors[i].id === screenID)
                return monitors[i].pictureSource
        }
        return ""
    }

    // The inspector's captions line up in one column, as wide as the longest caption in the
    // language shown, so none is cut ("Сочетание клавиш").
    FontMetrics { id: captionMetrics; font: captionProbe.font }
    Label { id: captionProbe; visible: false }
    function widestText(texts) {
        return Math.ceil(Math.max(...texts.map(text => captionMetrics.advanceWidth(text))))
    }
    readonly property real captionWidth:
        widestText([Strings.localized("Name"), Strings.localized("Monitors"), Strings.localized("Shortcut")])
    readonly property real exactCaptionWidth:
        widestText([Strings.localized("Left"), Strings.localized("Top"), Strings.localized("Width"), Strings.localized("Height")])

    // A row of the inspector: a caption and its control.
    component InspectorRow: RowLayout {
        property alias caption: captionLabel.text
        Layout.fillWidth: true
        spacing: 10
        Label {
            id: captionLabel
            Layout.preferredWidth: page.captionWidth
            opacity: 0.85
        }
    }

    // The halves of an exact-size field's stepper.
    component StepButton: AbstractButton {
        id: stepButton
        property string glyph
        implicitWidth: 18
        implicitHeight: 13
        focusPolicy: Qt.NoFocus
        autoRepeat: true
        contentItem: Label {
            text: stepButton.glyph
            font.pixelSize: 9
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle {
            radius: 3
            color: stepButton.down ? Qt.darker(palette.button, 1.15) : palette.button
            border.color: Qt.darker(palette.window, 1.3)
        }
    }

    // One exact-size field: the percent text ("33.3%"), committed on Enter or when the focus
    // leaves, and its stepper.
    component ExactSizeField: RowLayout {
        id: exact
        property int edge
        property string key
        property alias caption: exactCaption.text
        readonly property string shown: ZonesPageModel.exactSizeTexts[edge] ?? ""
        readonly property var stepper: ZonesPageModel.exactSizeSteppers[edge] ?? ({})
        spacing: 4

        function discardEdit() {
            exactField.editedZoneID = ""
            exactField.text = Qt.binding(() => exact.shown)
        }

        // Another zone selected: what was typed for the last one is dropped.
        readonly property string zoneID: ZonesPageModel.selectedZoneID
        onZoneIDChanged: discardEdit()

        Label {
            id: exactCaption
            Layout.preferredWidth: page.exactCaptionWidth
            opacity: 0.85
        }
        TextField {
            id: exactField
            objectName: "exactField_" + exact.key
            Layout.preferredWidth: 48
            leftPadding: 4
            rightPadding: 4
            text: exact.shown
            horizontalAlignment: Text.AlignRight
            selectByMouse: true
            Accessible.name: exact.caption
            // The zone being typed for: an edit belongs to it even if the selection moves on
            // before the field loses the focus.
            property string editedZoneID
            onTextEdited: editedZoneID = ZonesPageModel.selectedZoneID
            onEditingFinished: {
                // Leaving the field untouched is no edit (and no undo step); a text that is no
                // number gives way to the stored value again.
                if (editedZoneID.length > 0 && editedZoneID === ZonesPageModel.selectedZoneID
                        && text !== exact.shown)
                    ZonesPageModel.setExactSizeText(exact.edge, text)
                exact.discardEdit()
            }
        }
        ColumnLayout {
            spacing: 0
            StepButton {
                objectName: "exactUp_" + exact.key
                glyph: "\u25B4"
                enabled: exact.stepper.up === true
                onClicked: ZonesPageModel.stepExactSize(exact.edge, true)
            }
            StepButton {
                objectName: "exactDown_" + exact.key
                glyph: "\u25BE"
                enabled: exact.stepper.down === true
                onClicked: ZonesPageModel.stepExactSize(exact.edge, false)
            }
        }
    }

    RowLayout {
        anchors.fill: parent
        anchors.margins: Theme.pageMargin
        spacing: Theme.spacing

        // --- The editor: displays, layouts, buttons, canvas ---
        ColumnLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 12

            RowLayout {
                Layout.fillWidth: true
                spacing: 12
                Label {
                    objectName: "zonesTitle"
                    text: ZonesPageModel.title
                    font.pixelSize: 22
                    font.bold: true
                }
                Item { Layout.fillWidth: true }
                Button {
                    objectName: "showZonesButton"
                    text: Strings.localized("Show zones on all monitors")
                    icon.source: Symbols.source("eye")
                    onClicked: ZonesPageModel.previewZones()
                }
            }

            // A change the layouts file did not take stays in effect; the next change, or
            // "Try Again", writes it.
            RowLayout {
                objectName: "layoutsSaveError"
                visible: ZonesPageModel.saveError.length > 0
                Layout.fillWidth: true
                spacing: 6
                SymbolIcon {
                    Layout.alignment: Qt.AlignTop
                    name: "exclamationmark.triangle.fill"
                    size: 14
                    color: Theme.warning
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 2
                    Label {
                        text: Strings.localized("Some changes couldn’t be saved")
                        color: Theme.warning
                        font.bold: true
                    }
                    Label {
                        objectName: "layoutsSaveErrorText"
                        Layout.fillWidth: true
                        text: ZonesPageModel.saveError
                        color: Theme.warning
                        font.pixelSize: 12
                        wrapMode: Text.WordWrap
                    }
                }
                Button {
                    objectName: "layoutsSaveAgain"
                    text: Strings.localized("Try Again")
                    onClicked: ZonesPageModel.saveAgain()
                }
            }

            // The displays, each in miniature; the edited one is framed.
            Flow {
                objectName: "displayButtons"
                Layout.fillWidth: true
                spacing: 10
                visible: ZonesPageModel.screens.length > 0

                // By count, so that the buttons stay (with their hover and focus) while what
                // they show changes.
                Repeater {
                    model: ZonesPageModel.screens.length
                    delegate: AbstractButton {
                        id: displayButton
                        required property int index
                        readonly property var modelData: ZonesPageModel.screens[index] ?? ({})
                        objectName: "displayButton_" + index
                        readonly property bool selected: modelData.selected === true
                        focusPolicy: Qt.TabFocus
                        text: modelData.name ?? ""
                        Accessible.role: Accessible.Button
                        Accessible.name: text
                        Accessible.selectable: true
                        Accessible.selected: selected
                        implicitWidth: Math.max(miniature.width, nameLabel.width) + 12
                        implicitHeight: miniature.height + nameLabel.implicitHeight + 16
                        onClicked: ZonesPageModel.chooseDisplay(modelData.id)

                        background: Rectangle {
                            radius: 8
                            color: displayButton.selected ? Qt.rgba(0.04, 0.52, 1, 0.12)
                                                          : displayButton.hovered ? Qt.darker(palette.window, 1.06)
                                                                                  : "transparent"
                            border.color: displayButton.selected ? Theme.accent : "transparent"
                            border.width: 2
                        }
                        contentItem: Item { // qmllint disable deferred-property-id
                            MonitorPreview {
                                id: miniature
                                objectName: "displayPreview"
                                anchors.horizontalCenter: parent.horizontalCenter
                                y: 0
                                readonly property real fitAspect: Math.max(0.4, Math.min(3, aspect))
                                height: 46
                                width: height * fitAspect
                                aspect: displayButton.modelData.aspect ?? 16 / 10
                                zones: displayButton.modelData.zones ?? []
                                pictureSource: page.pictureOf(displayButton.modelData.id)
                            }
                            Label {
                                id: nameLabel
                                anchors.top: miniature.bottom
                                anchors.topMargin: 4
                                anchors.horizontalCenter: parent.horizontalCenter
                                width: Math.min(implicitWidth, 180)
                                elide: Text.ElideRight
                                text: displayButton.text
                                font.pixelSize: 11
                                font.bold: displayButton.selected
                            }
                        }
                        leftPadding: 6
                        rightPadding: 6
                        topPadding: 6
                        bottomPadding: 6
                    }
                }
            }

            Label {
                text: Strings.localized("Monitor Layout")
                font.bold: true
                font.pixelSize: 15
            }

            // The layouts of the store in store order, then the "New…" card, which stays in sight
            // however many layouts there are.
            RowLayout {
                Layout.fillWidth: true
                spacing: 10
                Flickable {
                    id: layoutStrip
                    objectName: "layoutStrip"
                    Layout.fillWidth: true
                    // No wider than its cards, so "New…" follows right after the last one.
                    Layout.preferredWidth: contentWidth
                    Layout.maximumWidth: contentWidth
                    implicitHeight: layoutRow.height + 10
                    contentWidth: layoutRow.width
                    contentHeight: layoutRow.height
                    flickableDirection: Flickable.HorizontalFlick
                    boundsBehavior: Flickable.StopAtBounds
                    clip: true
                    ScrollBar.horizontal: ScrollBar { policy: ScrollBar.AsNeeded }

                    // A mouse wheel turns vertically; the row only scrolls sideways.
                    WheelHandler {
                        objectName: "layoutStripWheel"
                        target: null
                        orientation: Qt.Vertical
                        onWheel: event => {
                            const maximum = Math.max(0, layoutStrip.contentWidth - layoutStrip.width)
                            const step = event.pixelDelta.y !== 0
                                    ? event.pixelDelta.y
                                    : event.angleDelta.y / 120 * (layoutRow.cardWidth + layoutRow.spacing)
                            layoutStrip.contentX = Math.max(0, Math.min(maximum, layoutStrip.contentX - step))
                        }
                    }

                    // Scrolls just far enough to show the card whole.
                    function reveal(item) {
                        if (item.x < contentX)
                            contentX = item.x
                        else if (item.x + item.width > contentX + width)
                            contentX = Math.min(item.x + item.width - width,
                                                Math.max(0, contentWidth - width))
                    }

                    Row {
                        id: layoutRow
                        objectName: "layoutRow"
                        spacing: 10
                        readonly property int cardWidth: 116
                        readonly property real thumbnailHeight:
                            Math.min(64, (cardWidth - 12) / Math.max(0.1, ZonesPageModel.canvasAspect))
                        readonly property real cardHeight: thumbnailHeight + 40

                        // By count: a card (and its open menu) outlives the changes it shows.
                        Repeater {
                            model: ZonesPageModel.layouts.length
                            delegate: AbstractButton {
                                id: layoutCard
                                required property int index
                                readonly property var modelData: ZonesPageModel.layouts[index] ?? ({})
                                objectName: "layoutCard_" + index
                                readonly property bool selected: modelData.selected === true
                                width: layoutRow.cardWidth
                                height: layoutRow.cardHeight
                                hoverEnabled: true
                                focusPolicy: Qt.TabFocus
                                text: modelData.name ?? ""
                                Accessible.role: Accessible.Button
                                Accessible.name: text
                                Accessible.selectable: true
                                Accessible.selected: selected
                                ToolTip.visible: hovered
                                ToolTip.delay: 600
                                ToolTip.text: text
                                onClicked: ZonesPageModel.chooseLayout(modelData.id)
                                // The edited layout stays in sight, a new one included (the row
                                // places a new card a moment after it is made).
                                onSelectedChanged: if (selected) layoutStrip.reveal(layoutCard)
                                onXChanged: if (selected) layoutStrip.reveal(layoutCard)

                                background: Rectangle {
                                    radius: 8
                                    color: layoutCard.selected ? Qt.rgba(0.04, 0.52, 1, 0.12)
                                                               : layoutCard.hovered ? Qt.darker(palette.window, 1.06)
                                                                                    : "transparent"
                                    border.color: layoutCard.selected ? Theme.accent : Qt.darker(palette.window, 1.15)
                                    border.width: layoutCard.selected ? 2 : 1
                                }
                                contentItem: Item {}

                                Column {
                                    id: cardColumn
                                    x: 6
                                    y: 6
                                    width: layoutCard.width - 12
                                    spacing: 4
                                    MonitorPreview {
                                        objectName: "layoutThumbnail"
                                        width: parent.width
                                        height: layoutRow.thumbnailHeight
                                        aspect: ZonesPageModel.canvasAspect
                                        zones: layoutCard.modelData.zones ?? []
                                    }
                                    Label {
                                        objectName: "layoutCardName"
                                        width: parent.width
                                        horizontalAlignment: Text.AlignHCenter
                                        elide: Text.ElideRight
                                        text: layoutCard.text
                                        font.pixelSize: 12
                                        font.bold: layoutCard.selected
                                    }
                                }

                                // The card's own menu acts on its layout, not on the edited one.
                                MouseArea {
                                    anchors.fill: parent
                                    acceptedButtons: Qt.RightButton
                                    onClicked: mouse => cardMenu.popup(mouse.x, mouse.y)
                                }
                                Menu {
                                    id: cardMenu
                                    objectName: "layoutCardMenu"
                                    MenuItem {
                                        objectName: "cardDuplicate"
                                        text: Strings.localized("Duplicate")
                                        icon.source: Symbols.source("plus.square.on.square")
                                        onTriggered: ZonesPageModel.duplicateLayout(layoutCard.modelData.id)
                                    }
                                    MenuItem {
                                        objectName: "cardDelete"
                                        text: Strings.localized("Delete…")
                                        enabled: ZonesPageModel.canDeleteLayout
                                        icon.source: Symbols.source("trash")
                                        icon.color: page.destructive
                                        palette.text: page.destructive
                                        palette.windowText: page.destructive
                                        onTriggered: ZonesPageModel.requestLayoutDeletion(layoutCard.modelData.id)
                                    }
                                }
                            }
                        }
                    }
                }
                AbstractButton {
                    id: newCard
                    objectName: "newLayoutCard"
                    Layout.preferredWidth: layoutRow.cardWidth
                    Layout.preferredHeight: layoutRow.cardHeight
                    Layout.alignment: Qt.AlignTop
                    hoverEnabled: true
                    text: Strings.localized("New…")
                    Accessible.role: Accessible.Button
                    Accessible.name: text
                    ToolTip.visible: hovered
                    ToolTip.delay: 600
                    ToolTip.text: Strings.localized("New layout from a template")
                    onClicked: ZonesPageModel.showsPresets = true
                    background: Rectangle {
                        radius: 8
                        color: newCard.hovered ? Qt.darker(palette.window, 1.06) : "transparent"
                        border.color: Qt.darker(palette.window, 1.25)
                    }
                    contentItem: Column {
                        spacing: 6
                        topPadding: Math.max(0, (newCard.height - 60) / 2)
                        SymbolIcon {
                            anchors.horizontalCenter: parent.horizontalCenter
                            name: "plus"
                            size: 24
                            color: Theme.accent
                        }
                        Label {
                            anchors.horizontalCenter: parent.horizontalCenter
                            text: newCard.text
                        }
                    }
                }
                Item { Layout.fillWidth: true }
            }

            // Above the canvas.
            RowLayout {
                Layout.fillWidth: true
                spacing: 8
                Button {
                    objectName: "addZoneButton"
                    text: Strings.localized("Add Zone")
                    icon.source: Symbols.source("plus")
                    enabled: ZonesPageModel.hasLayout
                    onClicked: ZonesPageModel.addZone()
                }
                Button {
                    objectName: "clearButton"
                    text: Strings.localized("Clear")
                    icon.source: Symbols.source("trash")
                    enabled: ZonesPageModel.canClear
                    ToolTip.visible: hovered
                    ToolTip.delay: 600
                    ToolTip.text: Strings.localized("Delete all zones of this layout. Ctrl+Z brings them back.")
                    onClicked: ZonesPageModel.clearZones()
                }
                Button {
                    id: gridButton
                    objectName: "gridButton"
                    text: ZonesPageModel.gridTitle
                    icon.source: Symbols.source("squareshape.split.3x3")
                    checked: gridPopover.visible
                    onClicked: ZonesPageModel.showsGridPicker = !ZonesPageModel.showsGridPicker
                }
                Item { Layout.fillWidth: true }
            }

            // The canvas keeps the free area's shape and takes as much room as there is.
            Item {
                id: canvasArea
                objectName: "canvasArea"
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.minimumHeight: 160
                readonly property real aspect: Math.max(0.1, ZonesPageModel.canvasAspect)
                // The hint sits right under the canvas, however tall the window is.
                readonly property real fittedWidth:
                    Math.max(0, Math.min(width, (height - canvasHint.height - 8) * aspect))

                Rectangle {
                    id: canvasBackdrop
                    anchors.top: parent.top
                    anchors.horizontalCenter: parent.horizontalCenter
                    width: canvasArea.fittedWidth
                    height: width / canvasArea.aspect
                    radius: 8
                    clip: true
                    gradient: Gradient {
                        GradientStop { position: 0.0; color: "#4f7cc9" }
                        GradientStop { position: 1.0; color: "#2a3d66" }
                    }
                    Image {
                        objectName: "canvasPicture"
                        anchors.fill: parent
                        source: page.pictureOf(ZonesPageModel.editedScreenID)
                        visible: status === Image.Ready
                        fillMode: Image.PreserveAspectCrop
                        asynchronous: true
                        cache: false
                        opacity: 0.8
                    }
                    ZoneCanvas {
                        id: zoneCanvas
                        objectName: "zoneCanvas"
                        anchors.fill: parent
                        canvas: ZonesPageModel.canvas
                        // The page draws the gradient and the desktop picture itself.
                        showsBackdrop: false
                    }
                }

                Label {
                    id: canvasHint
                    objectName: "canvasHint"
                    anchors.top: canvasBackdrop.bottom
                    anchors.topMargin: 8
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: Strings.localized("Drag a zone or its edges · draw on empty space · Ctrl+Z undoes")
                    opacity: 0.7
                    font.pixelSize: 12
                }
            }

        }

        // --- The inspector ---
        ScrollView {
            id: inspector
            objectName: "inspector"
            Layout.preferredWidth: page.inspectorWidth
            Layout.fillHeight: true
            contentWidth: availableWidth
            clip: true

            ColumnLayout {
                width: inspector.availableWidth
                spacing: Theme.spacing

                SectionBox {
                    objectName: "layoutSection"
                    Layout.fillWidth: true
                    title: Strings.localized("Layout")

                    InspectorRow {
                        caption: Strings.localized("Name")
                        TextField {
                            objectName: "layoutNameField"
                            Layout.fillWidth: true
                            enabled: ZonesPageModel.hasLayout
                            text: ZonesPageModel.layoutName
                            selectByMouse: true
                            Accessible.name: Strings.localized("Name")
                            onTextEdited: ZonesPageModel.renameLayout(text)
                        }
                    }
                    InspectorRow {
                        caption: Strings.localized("Monitors")
                        Label {
                            objectName: "monitorsText"
                            Layout.fillWidth: true
                            wrapMode: Text.WordWrap
                            text: ZonesPageModel.monitorsText
                        }
                    }
                    RowLayout {
                        Layout.fillWidth: true
                        spacing: 8
                        Button {
                            objectName: "duplicateLayoutButton"
                            text: Strings.localized("Duplicate")
                            enabled: ZonesPageModel.hasLayout
                            onClicked: ZonesPageModel.duplicateLayout()
                        }
                        Button {
                            objectName: "deleteLayoutButton"
                            text: Strings.localized("Delete…")
                            enabled: ZonesPageModel.canDeleteLayout
                            palette.buttonText: page.destructive
                            onClicked: ZonesPageModel.requestLayoutDeletion()
                        }
                    }
                }

                SectionBox {
                    objectName: "zoneSection"
                    Layout.fillWidth: true
                    visible: ZonesPageModel.hasSelection
                    title: Strings.localized("Zone")

                    InspectorRow {
                        caption: Strings.localized("Name")
                        TextField {
                            objectName: "zoneNameField"
                            Layout.fillWidth: true
                            text: ZonesPageModel.zoneName
                            selectByMouse: true
                            Accessible.name: Strings.localized("Name")
                            onTextEdited: ZonesPageModel.renameZone(text)
                        }
                    }
                    InspectorRow {
                        caption: Strings.localized("Shortcut")
                        ShortcutRecorder {
                            id: zoneShortcutRecorder
                            objectName: "zoneShortcutRecorder"
                            recorder: ZonesPageModel.zoneRecorder
                        }
                        Item { Layout.fillWidth: true }
                    }
                    RowLayout {
                        objectName: "zoneHeldElsewhere"
                        visible: ZonesPageModel.zoneHeldElsewhereMessage.length > 0
                        Layout.fillWidth: true
                        spacing: 6
                        SymbolIcon {
                            name: "exclamationmark.triangle.fill"
                            size: 14
                            color: Theme.warning
                        }
                        Label {
                            objectName: "zoneHeldElsewhereText"
                            Layout.fillWidth: true
                            text: ZonesPageModel.zoneHeldElsewhereMessage
                            color: Theme.warning
                            font.pixelSize: 12
                            wrapMode: Text.WordWrap
                        }
                        Button {
                            objectName: "zoneRecordAnother"
                            text: Strings.localized("Record Another")
                            visible: !zoneShortcutRecorder.listening
                            onClicked: zoneShortcutRecorder.startRecording()
                        }
                    }
                    RowLayout {
                        objectName: "zoneConflict"
                        visible: ZonesPageModel.zoneConflictMessage.length > 0
                        Layout.fillWidth: true
                        spacing: 6
                        SymbolIcon {
                            Layout.alignment: Qt.AlignTop
                            name: "exclamationmark.triangle.fill"
                            size: 14
                            color: Theme.warning
                        }
                        Label {
                            objectName: "zoneConflictText"
                            Layout.fillWidth: true
                            text: ZonesPageModel.zoneConflictMessage
                            color: Theme.warning
                            font.pixelSize: 12
                            wrapMode: Text.WordWrap
                        }
                    }
                    RowLayout {
                        Layout.fillWidth: true
                        spacing: 8
                        Button {
                            id: splitButton
                            objectName: "splitMenuButton"
                            text: Strings.localized("Split in Half")
                            onClicked: splitMenu.popup(splitButton, 0, splitButton.height)
                            Menu {
                                id: splitMenu
                                objectName: "splitMenu"
                                MenuItem {
                                    objectName: "splitLeftRight"
                                    text: Strings.localized("Left and Right")
                                    icon.source: Symbols.source("rectangle.split.2x1")
                                    onTriggered: ZonesPageModel.splitZone("", true)
                                }
                                MenuItem {
                                    objectName: "splitTopBottom"
                                    text: Strings.localized("Top and Bottom")
                                    icon.source: Symbols.source("rectangle.split.1x2")
                                    onTriggered: ZonesPageModel.splitZone("", false)
                                }
                            }
                        }
                        Button {
                            objectName: "deleteZoneButton"
                            text: Strings.localized("Delete Zone")
                            onClicked: ZonesPageModel.deleteZone()
                        }
                    }
                }

                SectionBox {
                    objectName: "positionSection"
                    Layout.fillWidth: true
                    visible: ZonesPageModel.hasSelection
                    title: Strings.localized("Position")
                    footer: Strings.localized("Percent of the monitor’s free area, excluding panels and docks.")

                    GridLayout {
                        columns: 1
                        rowSpacing: 6
                        ExactSizeField { edge: 0; key: "left"; caption: Strings.localized("Left") }
                        ExactSizeField { edge: 1; key: "top"; caption: Strings.localized("Top") }
                        ExactSizeField { edge: 2; key: "width"; caption: Strings.localized("Width") }
                        ExactSizeField { edge: 3; key: "height"; caption: Strings.localized("Height") }
                    }
                }

                Label {
                    objectName: "noSelectionText"
                    Layout.fillWidth: true
                    visible: !ZonesPageModel.hasSelection
                    text: Strings.localized("Select a zone on the preview to rename it, set its exact size, or assign a shortcut.")
                    wrapMode: Text.WordWrap
                    opacity: 0.7
                }

                Item { Layout.fillHeight: true }
            }
        }
    }

    // A recorder whose zone went away stops listening, so the hotkeys come back.
    readonly property bool hasSelection: ZonesPageModel.hasSelection
    onHasSelectionChanged: {
        const recorder = ZonesPageModel.zoneRecorder
        if (!hasSelection && recorder && recorder.listening)
            recorder.stopListening()
    }

    // --- The grid density popover, under its button ---
    Popup {
        id: gridPopover
        objectName: "gridPopover"
        readonly property bool wanted: ZonesPageModel.showsGridPicker
        parent: gridButton
        y: gridButton.height + 6
        padding: 16
        focus: true
        closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutsideParent

        onWantedChanged: wanted ? open() : close()
        Component.onCompleted: if (wanted) open()
        onClosed: {
            if (ZonesPageModel.showsGridPicker)
                ZonesPageModel.showsGridPicker = false
        }

        GridDensityPicker {
            objectName: "gridDensityPicker"
            screenID: ZonesPageModel.editedScreenID
        }
    }

    // --- The layout deletion confirmation ---
    Alert {
        id: deleteDialog
        objectName: "deleteLayoutDialog"
        title: ZonesPageModel.deletionTitle
        message: ZonesPageModel.deletionMessage
        wanted: ZonesPageModel.confirmsLayoutDeletion
        // Escape, or closing by any other way than the buttons, keeps the layout.
        onDismissed: ZonesPageModel.cancelLayoutDeletion()
        Button {
            objectName: "deletionConfirm"
            text: ZonesPageModel.deletionButton
            palette.buttonText: page.destructive
            onClicked: ZonesPageModel.confirmLayoutDeletion()
        }
        Button {
            objectName: "deletionCancel"
            text: Strings.localized("Cancel")
            onClicked: ZonesPageModel.cancelLayoutDeletion()
        }
    }

    // --- The template sheet ---
    Popup {
        id: presetSheet
        objectName: "presetSheet"
        readonly property bool wanted: ZonesPageModel.showsPresets
        parent: Overlay.overlay
        anchors.centerIn: parent
        width: parent ? Math.min(900, parent.width - 60) : 900
        height: parent ? Math.min(860, parent.height - 60) : 860
        modal: true
        focus: true
        padding: 20
        closePolicy: Popup.CloseOnEscape

        onWantedChanged: wanted ? open() : close()
        Component.onCompleted: if (wanted) open()
        // The previews are built afresh for each opening, for the display edited now.
        onAboutToShow: presetGallery.gallery = ZonesPageModel.presetGallery()
        onClosed: {
            if (ZonesPageModel.showsPresets)
                ZonesPageModel.showsPresets = false
        }

        background: Rectangle {
            radius: Theme.cornerRadius
            color: palette.window
            border.color: Qt.darker(palette.window, 1.3)
        }

        PresetGallery {
            id: presetGallery
            objectName: "presetGallery"
            anchors.fill: parent
        }
    }
}
