pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tessera

// The applications whose windows never show zones while dragged.
ScrollView {
    id: pane
    contentWidth: availableWidth
    clip: true

    readonly property alias chooser: chooser

    ColumnLayout {
        width: pane.availableWidth - 2 * Theme.pageMargin
        x: Theme.pageMargin
        spacing: Theme.spacing

        Item { implicitHeight: 1 }

        SectionBox {
            Layout.fillWidth: true
            title: Strings.localized("Ignored Apps")

            Label {
                text: Strings.localized("Dragging windows of these apps doesn’t show zones. Keyboard shortcuts still work. The tray icon can add the active app in one click.")
                wrapMode: Text.WordWrap
                Layout.fillWidth: true
                opacity: 0.75
            }

            Label {
                objectName: "noIgnoredApps"
                visible: ExclusionsPaneModel.empty
                text: Strings.localized("No ignored apps")
                Layout.fillWidth: true
                Layout.topMargin: 8
                Layout.bottomMargin: 8
                horizontalAlignment: Text.AlignHCenter
                color: Theme.secondaryText
            }

            Repeater {
                objectName: "ignoredAppsList"
                model: ExclusionsPaneModel.apps
                delegate: RowLayout {
                    id: appRow
                    required property var modelData
                    required property int index
                    objectName: "ignoredApp" + index
                    Layout.fillWidth: true
                    spacing: 10

                    Item {
                        implicitWidth: 28
                        implicitHeight: 28
                        Image {
                            id: appIcon
                            anchors.fill: parent
                            source: appRow.modelData.iconSource
                            sourceSize.width: 56
                            sourceSize.height: 56
                            fillMode: Image.PreserveAspectFit
                            asynchronous: true
                            visible: status === Image.Ready
                        }
                        SymbolIcon {
                            anchors.centerIn: parent
                            visible: appIcon.status !== Image.Ready
                            name: "macwindow.on.rectangle"
                            size: 22
                        }
                    }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 0
                        Label {
                            objectName: "appName"
                            text: appRow.modelData.name
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                        }
                        Label {
                            visible: appRow.modelData.name !== appRow.modelData.identifier
                            text: appRow.modelData.identifier
                            elide: Text.ElideMiddle
                            Layout.fillWidth: true
                            color: Theme.secondaryText
                            font.pixelSize: 11
                        }
                    }
                    Button {
                        objectName: "stopIgnoring"
                        text: Strings.localized("Stop Ignoring")
                        icon.source: Symbols.source("minus.circle.fill")
                        onClicked: ExclusionsPaneModel.stopIgnoring(appRow.modelData.identifier)
                    }
                }
            }
        }

        Label {
            objectName: "exclusionsError"
            visible: text.length > 0
            text: ExclusionsPaneModel.lastError
            color: Theme.warning
            wrapMode: Text.WordWrap
            Layout.fillWidth: true
        }

        Button {
            objectName: "addAppsButton"
            text: Strings.localized("Add App…")
            icon.source: Symbols.source("plus")
            onClicked: chooser.open()
        }

        Item { implicitHeight: 1 }
    }

    // The installed applications by name and icon, as the desktop's menus show them; those
    // already ignored are left out. Several can be ticked and ignored at once.
    Alert {
        id: chooser
        objectName: "appChooser"
        title: Strings.localized("Choose Apps to Ignore")
        width: parent ? Math.min(480, parent.width - 40) : 480
        height: parent ? Math.min(560, parent.height - 40) : 560
        focus: true

        property var apps: []
        property var chosen: ({})
        readonly property int chosenCount: Object.keys(chosen).length
        onAboutToShow: {
            apps = ExclusionsPaneModel.installedApps().filter(app => !app.ignored) // qmllint disable
            chosen = {}
            search.text = ""
            search.forceActiveFocus()
        }
        function toggle(identifier) {
            const next = Object.assign({}, chosen)
            if (next[identifier])
                delete next[identifier]
            else
                next[identifier] = true
            chosen = next
        }
        function ignoreChosen() {
            // In the order shown, which is the order the list is written in.
            ExclusionsPaneModel.ignoreApps(apps.map(app => app.identifier).filter(id => chosen[id]))
            close()
        }

        contentItem: ColumnLayout { // qmllint disable deferred-property-id
            spacing: 8
            TextField {
                id: search
                objectName: "appSearch"
                Layout.fillWidth: true
                placeholderText: Strings.localized("Search")
                Accessible.name: Strings.localized("Search")
            }
            ListView {
                id: appList
                objectName: "appChoices"
                Layout.fillWidth: true
                Layout.fillHeight: true
                clip: true
                ScrollBar.vertical: ScrollBar {}
                model: {
                    const needle = search.text.trim().toLowerCase()
                    return needle.length === 0 ? chooser.apps : chooser.apps.filter(
                        app => app.name.toLowerCase().includes(needle)
                               || AppViewModel.identifier.toLowerCase().includes(needle))
                }
                delegate: CheckDelegate {
                    id: choice
                    required property var modelData
                    required property int index
                    objectName: "appChoice_" + modelData.identifier
                    width: ListView.view.width
                    text: modelData.name
                    checked: chooser.chosen[modelData.identifier] === true
                    onClicked: chooser.toggle(modelData.identifier)
                    // The style draws the box's border a shade darker than the window, which is
                    // the dark list's own colour: the box alone takes a window light enough for 3:1.
                    palette.window: Theme.dark ? "#8a8a8e" : Theme.palette.window
                    contentItem: RowLayout { // qmllint disable deferred-property-id
                        spacing: 10
                        Item {
                            implicitWidth: 24
                            implicitHeight: 24
                            Image {
                                id: choiceIcon
                                anchors.fill: parent
                                source: choice.modelData.iconSource
                                sourceSize.width: 48
                                sourceSize.height: 48
                                fillMode: Image.PreserveAspectFit
                                asynchronous: true
                                visible: status === Image.Ready
                            }
                            SymbolIcon {
                                anchors.centerIn: parent
                                visible: choiceIcon.status !== Image.Ready
                                name: "macwindow.on.rectangle"
                                size: 20
                            }
                        }
                        Label {
                            Layout.fillWidth: true
                            text: choice.text
                            elide: Text.ElideRight
                        }
                        // Room for the check box the delegate draws on the right.
                        Item { implicitWidth: choice.indicator ? choice.indicator.width : 0 }
                    }
                }
            }
            Label {
                objectName: "noAppsToChoose"
                visible: appList.count === 0
                Layout.fillWidth: true
                horizontalAlignment: Text.AlignHCenter
                text: Strings.localized("No apps found")
                opacity: 0.6
            }
        }

        Button {
            objectName: "ignoreChosenApps"
            text: Strings.localized("Ignore")
            enabled: chooser.chosenCount > 0
            highlighted: true
            onClicked: chooser.ignoreChosen()
        }
        Button {
            objectName: "cancelChoosingApps"
            text: Strings.localized("Cancel")
            onClicked: chooser.close()
        }
    }
}
