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
#include "UndoViewModel.h"
#include "WindowsPaneModel.h"
#include "ZonesPageModel.h"

#include "core/app/AppState.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickImageProvider>

namespace tessera::shell {

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

void Shell::expose(QQmlContext& context) {
    context.setContextProperty("strings", strings_.get());
    context.setContextProperty("prefs", preferences_.get());
    context.setContextProperty("app", app_.get());
    context.setContextProperty("overview", overview_.get());
    context.setContextProperty("zonesPage", zonesPage_.get());
    context.setContextProperty("undo", undo_.get());
    context.setContextProperty("generalPane", generalPane_.get());
    context.setContextProperty("windowsPane", windowsPane_.get());
    context.setContextProperty("keyboardPane", keyboardPane_.get());
    context.setContextProperty("exclusionsPane", exclusionsPane_.get());
    context.setContextProperty("permissionsPane", permissionsPane_.get());
    context.setContextProperty("menu", menu_.get());
    // The desktop pictures of the overview's display cards.
    if (auto* engine = context.engine()) {
        engine->addImageProvider("desktop", overview_->makePictureProvider().release());
    }
}

} // namespace tessera::shell
