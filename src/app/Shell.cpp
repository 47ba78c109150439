#include "Shell.h"

#include "AppViewModel.h"
#include "ExclusionsPaneModel.h"
#include "GeneralPaneModel.h"
#include "KeyboardPaneModel.h"
#include "MenuViewModel.h"
#include "OverviewViewModel.h"
#include "PermissionsPaneModel.h"
#include "Preferences.h"
#include "Strings.h"
#include "SymbolImageProvider.h"
#include "UndoViewModel.h"
#include "WindowsPaneModel.h"
#include "ZonesPageModel.h"

#include "core/app/AppState.h"

#include <QQmlExtensionPlugin>

// The module's types and files are in a static plugin; the shell is what every program and test
// that shows Tessera's QML links, so the import lives here once.
Q_IMPORT_QML_PLUGIN(TesseraPlugin)

#include <QQmlEngine>
#include <QQuickImageProvider>

#include <initializer_list>

namespace tessera::shell {

QUrl moduleFile(const QString& name) {
    return QUrl(QStringLiteral("qrc:/qt/qml/Tessera/") + name);
}

void findModule(QQmlEngine& engine) {
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
}

Shell::Shell(ShellPorts ports, QObject* parent)
    : QObject(parent), ports_(std::move(ports)),
      strings_(std::make_unique<Strings>(ports_.localizer)),
      preferences_(std::make_unique<Preferences>(ports_.defaults)),
      app_(std::make_unique<AppViewModel>(ports_, *preferences_, *strings_)),
      overview_(std::make_unique<OverviewViewModel>(ports_, *preferences_, *strings_)),
      generalPane_(std::make_unique<GeneralPaneModel>(ports_, *preferences_, *strings_)),
      windowsPane_(std::make_unique<WindowsPaneModel>(ports_, *preferences_, *strings_)),
      keyboardPane_(std::make_unique<KeyboardPaneModel>(ports_, *preferences_, *strings_)),
      exclusionsPane_(std::make_unique<ExclusionsPaneModel>(ports_, *preferences_, *strings_)),
      permissionsPane_(std::make_unique<PermissionsPaneModel>(ports_, *preferences_, *strings_)),
      menu_(std::make_unique<MenuViewModel>(ports_, *preferences_, *strings_)),
      undo_(std::make_unique<UndoViewModel>(*strings_)),
      zonesPage_(std::make_unique<ZonesPageModel>(ports_, *preferences_, *strings_,
                                                  undo_->manager(), keyboardPane_->coordinator())) {
    // Imported or restored layouts replace what the zone edits' steps would bring back.
    connect(generalPane_.get(), &GeneralPaneModel::layoutsReplaced, this,
            [this] { undo_->manager().removeAllActions(ports_.state.undoTarget()); });
}

Shell::~Shell() = default;

void Shell::expose(QQmlEngine& engine) {
    findModule(engine);
    for (QObject* model : std::initializer_list<QObject*>{
             strings_.get(), preferences_.get(), app_.get(), overview_.get(), zonesPage_.get(),
             undo_.get(), generalPane_.get(), windowsPane_.get(), keyboardPane_.get(),
             exclusionsPane_.get(), permissionsPane_.get(), menu_.get()}) {
        lendSingleton(engine, *model);
    }
    // The desktop pictures of the overview's display cards.
    engine.addImageProvider("desktop", overview_->makePictureProvider().release());
    engine.addImageProvider("symbols", std::make_unique<SymbolImageProvider>().release());
}

} // namespace tessera::shell
