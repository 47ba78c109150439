#include "UndoViewModel.h"

#include "Strings.h"

#include <QVariantList>

namespace tessera::shell {

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
    return name.isEmpty() ? strings_.tr("Undo") : strings_.tr("Undo %@", QVariantList{name});
}

QString UndoViewModel::redoTitle() const {
    const auto name = redoActionName();
    return name.isEmpty() ? strings_.tr("Redo") : strings_.tr("Redo %@", QVariantList{name});
}

bool UndoViewModel::undo() {
    return manager_.undo();
}

bool UndoViewModel::redo() {
    return manager_.redo();
}

} // namespace tessera::shell
