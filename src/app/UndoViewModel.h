#pragma once

#include "core/app/UndoManager.h"
#include "core/model/Signal.h"

#include "QmlSingleton.h"

#include <QObject>
#include <QString>

namespace tessera::shell {

class Strings;

// The main window's undo history and its Edit menu: the Undo and Redo items with the names of
// the steps they would run ("Undo Edit Zone"), Ctrl+Z and Ctrl+Shift+Z. The zone editor records
// its steps here; the steps survive switching pages, displays and layouts.
class UndoViewModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool canUndo READ canUndo NOTIFY changed)
    Q_PROPERTY(bool canRedo READ canRedo NOTIFY changed)
    // The menu items' titles: "Undo" alone when the step has no name or there is none.
    Q_PROPERTY(QString undoTitle READ undoTitle NOTIFY changed)
    Q_PROPERTY(QString redoTitle READ redoTitle NOTIFY changed)
    // The names of the steps alone, empty when there is none.
    Q_PROPERTY(QString undoActionName READ undoActionName NOTIFY changed)
    Q_PROPERTY(QString redoActionName READ redoActionName NOTIFY changed)
    // The keys beside the menu items, as the desktop writes them ("Ctrl+Z", "Strg+Umschalt+Z").
    Q_PROPERTY(QString undoShortcut READ undoShortcut CONSTANT)
    Q_PROPERTY(QString redoShortcut READ redoShortcut CONSTANT)
public:
    static UndoViewModel* create(QQmlEngine* engine, QJSEngine*) {
        return lentSingleton<UndoViewModel>(engine);
    }
    explicit UndoViewModel(const Strings& strings, QObject* parent = nullptr);
    ~UndoViewModel() override;

    UndoManager& manager() { return manager_; }

    bool canUndo() const;
    bool canRedo() const;
    QString undoTitle() const;
    QString redoTitle() const;
    QString undoActionName() const;
    QString redoActionName() const;
    QString undoShortcut() const;
    QString redoShortcut() const;

    Q_INVOKABLE bool undo();
    Q_INVOKABLE bool redo();

Q_SIGNALS:
    void changed();

private:
    const Strings& strings_;
    UndoManager manager_;
    Connection managerChanged_;
};

} // namespace tessera::shell
