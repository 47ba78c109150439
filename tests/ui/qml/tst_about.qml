import QtQuick
import QtQuick.Controls
import QtTest

// The page is shown in a visible root; a TestCase itself never is.
Item {
    id: root
    width: 900
    height: 700

    TestCase {
        id: testCase
        name: "AboutPage"
        when: windowShown

        Component {
            id: pageComponent
            Loader {
                width: root.width
                height: root.height
                source: "qrc:/qml/pages/AboutPage.qml"
            }
        }

        function test_nameVersionAndLink() {
            const loader = createTemporaryObject(pageComponent, root)
            tryCompare(loader, "status", Loader.Ready)
            const page = loader.item

            compare(findChild(page, "appName").text, "Tessera")
            const icon = findChild(page, "appIcon")
            tryCompare(icon, "status", Image.Ready)

            verify(app.version.length > 0)
            const version = findChild(page, "version").text
            compare(version, strings.localized("Version %@", [app.version]))
            verify(version.indexOf(app.version) >= 0)
            verify(version.indexOf("%@") < 0)

            compare(findChild(page, "tagline").text,
                    strings.localized("Windows snap into your own zones — by dragging or from the keyboard."))
            const credit = findChild(page, "credit")
            compare(credit.children[0].text, strings.localized("Made by"))
            compare(findChild(page, "maker").text, "Tessera Developers")

            const link = findChild(page, "websiteLink")
            verify(link.visible)
            compare(link.address, "https://tessera.app")
            verify(String(link.icon.source).indexOf("globe") >= 0)
        }
    }
}
