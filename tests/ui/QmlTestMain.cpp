// Qt Quick tests of the pages, panes and controls, offscreen, each file on a fresh shell over
// the simulated desktop (strings, prefs, app, … and "sim" to drive the desktop).

#include "SimControl.h"
#include "SimShell.h"
#include "Theme.h"

#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QtQuickTest>

#include <memory>
#include <vector>

namespace {

class Setup : public QObject {
    Q_OBJECT
public Q_SLOTS:
    void applicationAvailable() {
        QQuickStyle::setStyle(QStringLiteral("Fusion"));
        tessera::shell::applyColorScheme(false);
    }
    void qmlEngineAvailable(QQmlEngine* engine) {
        auto& shell = *shells_.emplace_back(std::make_unique<tessera::test::SimShell>());
        shell.start();
        auto& control = *controls_.emplace_back(std::make_unique<tessera::test::SimControl>(shell));
        shell.shell->expose(*engine);
        engine->rootContext()->setContextProperty(QStringLiteral("sim"), &control);
    }
    void cleanupTestCase() {
        controls_.clear();
        shells_.clear();
    }

private:
    std::vector<std::unique_ptr<tessera::test::SimShell>> shells_;
    std::vector<std::unique_ptr<tessera::test::SimControl>> controls_;
};

} // namespace

QUICK_TEST_MAIN_WITH_SETUP(tessera, Setup)

#include "QmlTestMain.moc"
