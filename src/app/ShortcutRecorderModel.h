#pragma once

#include "core/model/Signal.h"
#include "core/platform/InputEvents.h"

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <memory>
#include <optional>

namespace tessera {

class ShortcutRecorder;

namespace shell {

// Hands a key press made in one of Tessera's windows to the local event monitors; true when one
// swallowed it (ShellHooks::deliverLocalEvent).
using LocalEventDelivery = std::function<bool(const MonitorEvent&)>;

// A key press in Tessera's window as the local monitors see it: a key down with the macOS key
// code and the device-independent modifier flags (Alt is Option, Super/Meta is Command, as the
// hotkeys map them). The keysym (Qt's native virtual key on X11 and Wayland) names the key when
// there is one; without it (offscreen, or a keysym no US key produces) the Qt key does. Nothing for
// a key that has no macOS code.
std::optional<MonitorEvent> keyDownFromQt(int qtKey, quint32 nativeVirtualKey, int qtModifiers);

// One shortcut recorder control as QML sees it: the core recorder's state, its two buttons and
// the key presses made while it listens. Independent of where it is shown, so every place that
// edits a shortcut (the command rows, a zone's inspector) uses the same control.
//
// QML: ShortcutRecorder { recorder: someModel } — see controls/ShortcutRecorder.qml.
class ShortcutRecorderModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the view model that shows it")
    Q_PROPERTY(bool listening READ listening NOTIFY changed)
    // "Press Shortcut…", "Record", or the shortcut as Linux writes it ("Ctrl+Alt+←").
    Q_PROPERTY(QString label READ label NOTIFY changed)
    // The label is a shortcut (drawn at medium weight) rather than a prompt.
    Q_PROPERTY(bool labelIsCombo READ labelIsCombo NOTIFY changed)
    Q_PROPERTY(QString help READ help NOTIFY changed)
    Q_PROPERTY(bool showsRemoveButton READ showsRemoveButton NOTIFY changed)
    Q_PROPERTY(QString removeHelp READ removeHelp NOTIFY changed)
public:
    // A recorder owned elsewhere (the command section owns one per command); it must outlive
    // this object.
    ShortcutRecorderModel(ShortcutRecorder& recorder, LocalEventDelivery deliver,
                          QObject* parent = nullptr);
    // A recorder owned by this object.
    ShortcutRecorderModel(std::unique_ptr<ShortcutRecorder> recorder, LocalEventDelivery deliver,
                          QObject* parent = nullptr);
    ~ShortcutRecorderModel() override;

    bool listening() const;
    QString label() const;
    bool labelIsCombo() const;
    QString help() const;
    bool showsRemoveButton() const;
    QString removeHelp() const;

    // The main button: starts listening, or stops without changing the shortcut.
    Q_INVOKABLE void click();
    // The clear button.
    Q_INVOKABLE void removeShortcut();
    // The control went away while listening: the hotkeys come back, the shortcut stays.
    Q_INVOKABLE void stopListening();
    // A key press in Tessera's window; true when the recorder (or another local monitor)
    // swallowed it, so the window must not act on it.
    Q_INVOKABLE bool keyPressed(int qtKey, int nativeVirtualKey, int qtModifiers);

    ShortcutRecorder& recorder() { return recorder_; }

Q_SIGNALS:
    void changed();

private:
    void keepOwnership();

    std::unique_ptr<ShortcutRecorder> owned_;
    ShortcutRecorder& recorder_;
    LocalEventDelivery deliver_;
    Connection recorderChanged_;
};

} // namespace shell
} // namespace tessera
