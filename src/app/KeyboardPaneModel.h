#pragma once

#include "NextTurn.h"
#include "Shell.h"

#include "core/model/Signal.h"
#include "core/placement/WindowCommand.h"

#include "QmlSingleton.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <array>
#include <memory>
#include <optional>

namespace tessera {

class CommandShortcutsSection;
class RecorderCoordinator;

namespace shell {

class ShortcutRecorderModel;

// The Keyboard settings pane: a shortcut recorder per window command, the warning under a
// command whose shortcut clashes with another one or whose keys another program holds (with a
// button that starts the row's recorder), and "Restore Default Shortcuts". Shortcuts
// live in the preferences; every change re-registers the hotkeys (when a hotkey center exists)
// and every row reads its shortcut and its warning again.
//
// QML (context property "keyboardPane"):
//   Repeater { model: keyboardPane.commands }   // {command, title, icon, recorder}
//   keyboardPane.revision, keyboardPane.conflictMessage(modelData.command),
//   keyboardPane.heldElsewhereMessage(modelData.command)
class KeyboardPaneModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString header READ header CONSTANT)
    Q_PROPERTY(QString footer READ footer CONSTANT)
    Q_PROPERTY(QString restoreDefaultsTitle READ restoreDefaultsTitle CONSTANT)
    // The button beside a shortcut that another program holds.
    Q_PROPERTY(QString recordAnotherTitle READ recordAnotherTitle CONSTANT)
    // One entry per command, in case order: command (raw value), title, icon and recorder (a
    // ShortcutRecorderModel). The list itself never changes, so rows are never rebuilt under a
    // recorder that is handling a key press.
    Q_PROPERTY(QVariantList commands READ commands CONSTANT)
    // Moves after every change of a command shortcut or of the zones; bind to it to re-read.
    Q_PROPERTY(int revision READ revision NOTIFY changed)
    // The rows' messages by command (raw value), only for the rows that have one: the clash with
    // another shortcut ("Also used by “…”. …" or "Already used by “…” in “…”. …"), and why a
    // shortcut does nothing while another program holds its keys.
    Q_PROPERTY(QVariantMap conflicts READ conflicts NOTIFY changed)
    Q_PROPERTY(QVariantMap heldElsewhere READ heldElsewhere NOTIFY changed)
    // Why the last change of the shortcuts won't outlive this run; empty when it was saved.
    Q_PROPERTY(QString lastError READ lastError NOTIFY changed)
public:
    static KeyboardPaneModel* create(QQmlEngine* engine, QJSEngine*) {
        return lentSingleton<KeyboardPaneModel>(engine);
    }
    KeyboardPaneModel(const ShellPorts& ports, Preferences& preferences, const Strings& strings,
                      QObject* parent = nullptr);
    ~KeyboardPaneModel() override;

    QString header() const;
    QString footer() const;
    QString restoreDefaultsTitle() const;
    QString recordAnotherTitle() const;
    QVariantList commands() const;
    int revision() const { return revision_; }
    QString lastError() const { return lastError_; }

    QVariantMap conflicts() const;
    QVariantMap heldElsewhere() const;
    // The command's shortcut in effect: {keyCode, carbonModifiers, label}, or an empty map when
    // it has none.
    Q_INVOKABLE QVariantMap shortcut(const QString& command) const;
    // The recorder of the command's row; null for an unknown command.
    Q_INVOKABLE QObject* recorder(const QString& command) const;
    // Removes every stored command shortcut, so all seven have their defaults again. False when
    // the preferences could not be saved (lastError says why).
    Q_INVOKABLE bool restoreDefaults();

    CommandShortcutsSection& section() { return *section_; }
    ShortcutRecorderModel* recorder(WindowCommand command) const;
    // Shared by every recorder of the application, so that starting one stops any other that
    // is listening (the zone editor's recorders join it).
    const std::shared_ptr<RecorderCoordinator>& coordinator() const { return coordinator_; }

Q_SIGNALS:
    void changed();

private:
    void sectionDidChange();
    void preferenceDidChange(const QString& key);
    void scheduleRefresh();
    void refresh();

    ShellPorts ports_;
    Preferences& preferences_;
    const Strings& strings_;
    std::shared_ptr<RecorderCoordinator> coordinator_;
    std::unique_ptr<CommandShortcutsSection> section_;
    std::array<std::unique_ptr<ShortcutRecorderModel>, allWindowCommands.size()> recorders_;
    int revision_ = 0;
    QString lastError_;
    bool notifying_ = false;
    NextTurn refresh_;
    Connection sectionChanged_;
    Connection stateChanged_;
};

} // namespace shell
} // namespace tessera
