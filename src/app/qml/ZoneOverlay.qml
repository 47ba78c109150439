pragma ComponentBehavior: Bound

import QtQuick
import Tessera

// One display's overlay: the dimmed backdrop and, zone by zone, the highlight that grows over
// the hovered zone and the frosted card bearing the zone's name. Every number comes from
// `overlay` (an OverlayViewModel); this file only draws them and runs the animations it names.
// It takes no input: the window lets every click through.
Item {
    id: root

    required property OverlayViewModel overlay

    readonly property color accent: overlay.accentColor
    readonly property bool dark: overlay.dark

    function accentAt(opacity) {
        return Qt.rgba(accent.r, accent.g, accent.b, opacity)
    }

    // A change animated as the view model describes it: a pause (the stagger), then one run
    // along its Bézier curve (a sampled spring or a standard ease). Behaviors run it only when
    // the change has one; changes without an animation ("none") land at once.
    function animates(timing) {
        return timing !== undefined && (timing.duration || 0) > 0
    }

    component Motion: SequentialAnimation {
        id: motion
        property var timing: ({})
        PauseAnimation {
            duration: motion.timing.delay || 0
        }
        NumberAnimation {
            duration: motion.timing.duration || 0
            easing.type: Easing.BezierSpline
            easing.bezierCurve: motion.timing.curve || [0, 0, 1, 1, 1, 1]
        }
    }

    Rectangle {
        objectName: "backdrop"
        anchors.fill: parent
        color: "black"
        opacity: root.overlay.backdropOpacity
        Behavior on opacity {
            enabled: root.animates(root.overlay.backdropAnimation)
            Motion {
                timing: root.overlay.backdropAnimation
            }
        }
    }

    Repeater {
        model: root.overlay.zones // qmllint disable type

        delegate: Item {
            id: zoneView
            required property OverlayZoneItem modelData
            readonly property OverlayZoneItem zone: modelData
            objectName: "zone-" + zone.zoneId
            anchors.fill: parent

            // The accent-coloured highlight, from the card's size to (nearly) the zone's.
            Rectangle {
                objectName: "highlight"
                x: zoneView.zone.highlightRect.x
                y: zoneView.zone.highlightRect.y
                width: zoneView.zone.highlightRect.width
                height: zoneView.zone.highlightRect.height
                radius: zoneView.zone.highlightRadius
                antialiasing: true
                color: root.accentAt(zoneView.zone.highlightFillOpacity)
                border.color: root.accentAt(zoneView.zone.highlightStrokeOpacity)
                border.width: zoneView.zone.highlightStrokeWidth
                opacity: zoneView.zone.highlightOpacity

                Behavior on x {
                    enabled: root.animates(zoneView.zone.highlightAnimation)
                    Motion {
                        timing: zoneView.zone.highlightAnimation
                    }
                }
                Behavior on y {
                    enabled: root.animates(zoneView.zone.highlightAnimation)
                    Motion {
                        timing: zoneView.zone.highlightAnimation
                    }
                }
                Behavior on width {
                    enabled: root.animates(zoneView.zone.highlightAnimation)
                    Motion {
                        timing: zoneView.zone.highlightAnimation
                    }
                }
                Behavior on height {
                    enabled: root.animates(zoneView.zone.highlightAnimation)
                    Motion {
                        timing: zoneView.zone.highlightAnimation
                    }
                }
                Behavior on radius {
                    enabled: root.animates(zoneView.zone.highlightAnimation)
                    Motion {
                        timing: zoneView.zone.highlightAnimation
                    }
                }
                Behavior on opacity {
                    enabled: root.animates(zoneView.zone.highlightAnimation)
                    Motion {
                        timing: zoneView.zone.highlightAnimation
                    }
                }
            }

            // The card: a frosted tile standing in for glass, with its shadow, the accent tint
            // and border of the hovered zone, and the name.
            Item {
                id: card
                objectName: "card"
                x: zoneView.zone.cardRect.x
                y: zoneView.zone.cardRect.y
                width: zoneView.zone.cardRect.width
                height: zoneView.zone.cardRect.height
                transformOrigin: Item.Center
                scale: zoneView.zone.cardScale
                opacity: zoneView.zone.cardOpacity
                transform: Translate {
                    y: card.offset
                }

                property real offset: zoneView.zone.cardOffset
                property real tint: zoneView.zone.tintOpacity
                property real border: zoneView.zone.borderOpacity
                property real shadow: zoneView.zone.shadowOpacity
                property real shadowY: zoneView.zone.shadowOffset.y

                Behavior on scale {
                    enabled: root.animates(zoneView.zone.cardAnimation)
                    Motion {
                        timing: zoneView.zone.cardAnimation
                    }
                }
                Behavior on opacity {
                    enabled: root.animates(zoneView.zone.cardAnimation)
                    Motion {
                        timing: zoneView.zone.cardAnimation
                    }
                }
                Behavior on offset {
                    enabled: root.animates(zoneView.zone.cardAnimation)
                    Motion {
                        timing: zoneView.zone.cardAnimation
                    }
                }
                Behavior on tint {
                    enabled: root.animates(zoneView.zone.cardAnimation)
                    Motion {
                        timing: zoneView.zone.cardAnimation
                    }
                }
                Behavior on border {
                    enabled: root.animates(zoneView.zone.cardAnimation)
                    Motion {
                        timing: zoneView.zone.cardAnimation
                    }
                }
                Behavior on shadow {
                    enabled: root.animates(zoneView.zone.cardAnimation)
                    Motion {
                        timing: zoneView.zone.cardAnimation
                    }
                }
                Behavior on shadowY {
                    enabled: root.animates(zoneView.zone.cardAnimation)
                    Motion {
                        timing: zoneView.zone.cardAnimation
                    }
                }

                // A soft shadow without a blur pass: a wide faint tile under a tighter one.
                Rectangle {
                    readonly property real spread: zoneView.zone.shadowRadius / 2
                    x: zoneView.zone.shadowOffset.x - spread
                    y: card.shadowY - spread / 2
                    width: card.width + 2 * spread
                    height: card.height + spread
                    radius: zoneView.zone.cardRadius + spread
                    antialiasing: true
                    color: Qt.rgba(0, 0, 0, card.shadow * 0.45)
                }
                Rectangle {
                    x: zoneView.zone.shadowOffset.x
                    y: card.shadowY
                    width: card.width
                    height: card.height
                    radius: zoneView.zone.cardRadius
                    antialiasing: true
                    color: Qt.rgba(0, 0, 0, card.shadow * 0.55)
                }

                Rectangle {
                    objectName: "tile"
                    anchors.fill: parent
                    radius: zoneView.zone.cardRadius
                    antialiasing: true
                    color: root.dark ? Qt.rgba(0.16, 0.16, 0.18, 0.9) : Qt.rgba(0.98, 0.98, 0.99, 0.9)
                    border.width: 1
                    border.color: root.dark ? Qt.rgba(1, 1, 1, 0.16) : Qt.rgba(0, 0, 0, 0.10)
                }
                Rectangle {
                    objectName: "tint"
                    anchors.fill: parent
                    radius: zoneView.zone.cardRadius
                    antialiasing: true
                    color: root.accentAt(card.tint)
                }
                Rectangle {
                    objectName: "border"
                    anchors.fill: parent
                    radius: zoneView.zone.cardRadius
                    antialiasing: true
                    color: "transparent"
                    border.width: zoneView.zone.borderWidth
                    border.color: root.accentAt(card.border)
                }

                Text {
                    objectName: "name"
                    anchors.fill: parent
                    anchors.leftMargin: zoneView.zone.horizontalPadding
                    anchors.rightMargin: zoneView.zone.horizontalPadding
                    text: zoneView.zone.name
                    textFormat: Text.PlainText
                    font.pixelSize: zoneView.zone.fontSize
                    font.weight: Font.DemiBold
                    color: root.dark ? "#ececee" : "#1d1d1f"
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                    wrapMode: Text.Wrap
                    elide: Text.ElideRight
                }
            }
        }
    }
}
