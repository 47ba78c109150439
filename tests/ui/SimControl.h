#pragma once

#include "SimShell.h"
#include "UndoViewModel.h"
#include "ZonesPageModel.h"

#include "core/app/UndoManager.h"
#include "core/editor/ZoneEditor.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <cstdint>

namespace tessera::test {

// What QML tests may do to the simulated desktop behind the shell (as "sim").
class SimControl : public QObject {
    Q_OBJECT
public:
    explicit SimControl(SimShell& shell, QObject* parent = nullptr)
        : QObject(parent), shell_(shell) {}

    // Runs the delayed jobs of the next seconds on the virtual clock.
    Q_INVOKABLE void advance(double seconds) { shell_.scheduler.advance(seconds); }
    Q_INVOKABLE void runPending() { shell_.scheduler.runPending(); }
    // Changes the permissions; the state sees them at the next poll.
    Q_INVOKABLE void setPermissions(bool accessibility, bool inputMonitoring) {
        shell_.desktop.setTrusted(accessibility);
        shell_.input.setListenEventAccess(inputMonitoring);
        shell_.scheduler.advance(2);
    }

    // Another program takes the keys (Carbon modifiers), or lets them go; the hotkeys are
    // registered again, as after any change.
    Q_INVOKABLE void holdKeysElsewhere(int keyCode, int carbonModifiers, bool held) {
        const auto code = static_cast<std::uint32_t>(keyCode);
        const auto modifiers = static_cast<std::uint32_t>(carbonModifiers);
        if (held) {
            shell_.hotkeyPort.markTakenByOtherApplication(code, modifiers);
        } else {
            shell_.hotkeyPort.releaseFromOtherApplication(code, modifiers);
        }
        shell_.state->registerAllHotkeys();
    }

    // Relaunches the application asked for (the process goes on).
    Q_INVOKABLE int relaunchRequests() const {
        return static_cast<int>(shell_.services.count(SimAppServices::Call::relaunch));
    }
    // Addresses handed to the desktop to open, oldest first.
    Q_INVOKABLE QStringList openedURLs() const {
        QStringList urls;
        for (const auto& url : shell_.desktop.openedURLs()) {
            urls.append(QString::fromStdString(url));
        }
        return urls;
    }
    // A path in the test's own folder, for files a test writes and reads.
    Q_INVOKABLE QString tempFile(const QString& name) const {
        return QString::fromStdString((shell_.temp.path() / name.toStdString()).string());
    }
    // From now on the system refuses every change of the login item (empty: it allows them).
    Q_INVOKABLE void refuseLoginItemChanges(const QString& reason) {
        shell_.loginItem.refuseChanges(reason.isEmpty() ? std::nullopt
                                                        : std::optional(reason.toStdString()));
    }

    // From now on every preference write fails (false: they succeed again).
    Q_INVOKABLE void failPreferenceWrites(bool on) { shell_.defaults.failWrites(on); }

    // Replaces the displays with one of the arrangements the tests share: "single",
    // "sideBySide" or "withPortrait" (anything else: no display at all).
    Q_INVOKABLE void setScreens(const QString& arrangement) {
        shell_.desktop.displays().setScreens(
            arrangement == "single"         ? simscreens::single()
            : arrangement == "sideBySide"   ? simscreens::sideBySide()
            : arrangement == "withPortrait" ? simscreens::withPortrait()
                                            : std::vector<SystemDisplay>{});
        shell_.scheduler.runPending();
    }
    // Overlay panels currently shown on the displays.
    Q_INVOKABLE int overlaysOnScreen() const {
        return static_cast<int>(shell_.surfaces.onScreenCount());
    }
    // The layouts as the store holds them, in store order: [{ id, name, zones: [{ id, name, x,
    // y, width, height, shortcut }] }], shortcut being the combo's text or empty.
    Q_INVOKABLE QVariantList storedLayouts() const {
        const auto text = [](const std::string& value) { return QString::fromStdString(value); };
        QVariantList layouts;
        for (const auto& layout : shell_.state->store().layouts()) {
            QVariantList zones;
            for (const auto& z : layout.zones) {
                zones.append(
                    QVariantMap{{"id", text(z.id.string())},
                                {"name", text(z.name)},
                                {"x", z.x},
                                {"y", z.y},
                                {"width", z.width},
                                {"height", z.height},
                                {"shortcut", text(z.shortcut ? z.shortcut->display : "")}});
            }
            layouts.append(QVariantMap{
                {"id", text(layout.id.string())}, {"name", text(layout.name)}, {"zones", zones}});
        }
        return layouts;
    }

    // Stores the edited layout with these zones instead of its own ([{ name, x, y, width,
    // height }], fresh ids), outside the undo history. The new zones' ids, in order.
    Q_INVOKABLE QStringList setEditedZones(const QVariantList& rects) {
        auto layout = shell_.shell->zonesPage().editor().editedLayout();
        QStringList ids;
        if (!layout) {
            return ids;
        }
        layout->zones.clear();
        for (const auto& value : rects) {
            const auto rect = value.toMap();
            Zone zone{Uuid::random(),
                      rect.value("name").toString().toStdString(),
                      rect.value("x").toDouble(),
                      rect.value("y").toDouble(),
                      rect.value("width").toDouble(),
                      rect.value("height").toDouble(),
                      std::nullopt};
            ids.append(QString::fromStdString(zone.id.string()));
            layout->zones.push_back(std::move(zone));
        }
        shell_.state->store().upsert(*layout);
        // A step an earlier test left would let its name pass for this test's.
        shell_.shell->undo().manager().removeAllActions();
        // The state announces the change on the scheduler's next turn.
        shell_.scheduler.runPending();
        return ids;
    }

private:
    SimShell& shell_;
};

} // namespace tessera::test
