#include "UndoViewModel.h"

#include "Strings.h"

#include "core/hotkeys/KeyCombos.h"

#include <QVariantList>

#include <cstdint>

namespace tessera::shell {

namespace {

// Key code of Z, numbered as shortcuts are stored.
constexpr std::uint32_t zKeyCode = 6;

QString zShortcut(const Strings& strings, std::uint32_t modifiers) {
    return QString::fromStdString(
        linuxShortcutText(KeyCombo{zKeyCode, modifiers, {}}, strings.localizer()));
}

} // namespace

UndoViewModel::UndoViewModel(const Strings& strings, QObject* parent)
    : QObject(parent), strings_(strings),
      managerChanged_(manager_.onChange([this] { Q_EMIT changed(); })) {}

UndoViewModel::~UndoViewModel() = default;

bool UndoViewModel::canUndo() const {
    return manager_.canUndo();
}

bool UndoViewModel::canRedo() const {
    return manager_.canRedo();
}

QString UndoViewModel::undoActionName() const {
    return QString::fromStdString(manager_.undoActionName());
}

QString UndoViewModel::redoActionName() const {
    return QString::fromStdString(manager_.redoActionName());
}

QString UndoViewModel::undoTitle() const {
    const auto name = undoActionName();
    return name.isEmpty() ? strings_.localized("Undo")
                          : strings_.localized("Undo %@", QVariantList{name});
}

QString UndoViewModel::redoTitle() const {
    const auto name = redoActionName();
    return name.isEmpty() ? strings_.localized("Redo")
                          : strings_.localized("Redo %@", QVariantList{name});
}

QString UndoViewModel::undoShortcut() const {
    return zShortcut(strings_, carbon::controlKey);
}

QString UndoViewModel::redoShortcut() const {
    return zShortcut(strings_, carbon::controlKey | carbon::shiftKey);
}

bool UndoViewModel::undo() {
    return manager_.undo();
}

bool UndoViewModel::redo() {
    return manager_.redo();
}

} // namespace tessera::shell
