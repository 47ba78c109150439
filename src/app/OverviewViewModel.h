#pragma once

#include "NextTurn.h"
#include "Shell.h"

#include "QmlSingleton.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QVariantList>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

class QQuickImageProvider;

namespace tessera {

class Connection;

namespace shell {

// The desktop pictures loaded for the previews, shared with the image provider that QML reads
// them through (from its own loader threads, hence the lock).
class DesktopPictureShelf;

// The Overview page: a card per display with its layout and the picture of its desktop, the
// layouts to choose from, the window commands with their key caps, and whether the warning card
// shows. Everything is re-read after the application state changed (the state also
// re-announces every store change) and after a command's shortcut changed.
class OverviewViewModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // [{ id, name, aspect, zones: [{ x, y, width, height, name }], layoutID, pictureSource }],
    // one per display in the system's order. Zones are fractions of the whole display, largest
    // first; pictureSource is empty until the desktop's picture has loaded.
    Q_PROPERTY(QVariantList monitors READ monitors NOTIFY monitorsChanged)
    // [{ id, name }] of every layout in the store, names as the interface shows them.
    Q_PROPERTY(QVariantList layouts READ layouts NOTIFY layoutsChanged)
    // [{ rawValue, title, icon, keys: ["Ctrl", "Alt", "←"], heldElsewhere }] in command order;
    // no keys for a shortcut the user removed; heldElsewhere says why the shortcut does nothing
    // while another program holds it, else is empty.
    Q_PROPERTY(QVariantList commands READ commands NOTIFY commandsChanged)
    Q_PROPERTY(bool accessNeeded READ accessNeeded NOTIFY accessNeededChanged)
public:
    static OverviewViewModel* create(QQmlEngine* engine, QJSEngine*) {
        return lentSingleton<OverviewViewModel>(engine);
    }
    // The file of the desktop's picture on a display; empty when the desktop publishes none.
    // Runs on a worker thread and may block there.
    using PictureLocator = std::function<QString(const QString& screenID)>;

    OverviewViewModel(const ShellPorts& ports, Preferences& preferences, const Strings& strings,
                      QObject* parent = nullptr);
    ~OverviewViewModel() override;

    QVariantList monitors() const { return monitors_; }
    QVariantList layouts() const { return layouts_; }
    QVariantList commands() const { return commands_; }
    bool accessNeeded() const { return accessNeeded_; }

    // Shows the layout on that display only. False when either is unknown.
    Q_INVOKABLE bool assignLayout(const QString& screenID, const QString& layoutID);

    // Replaces where pictures come from (GNOME's setting by default); pictures already asked
    // for are asked for again.
    void setPictureLocator(PictureLocator locator);
    // The loaded picture of a display; null while there is none.
    QImage picture(const QString& screenID) const;
    // What serves "image://desktop/…" to QML; the engine takes it over.
    std::unique_ptr<QQuickImageProvider> makePictureProvider() const;

    // The locator of GNOME desktops: `gsettings get org.gnome.desktop.background picture-uri`
    // when the program exists, the same picture for every display.
    static QString gnomeDesktopPicture(const QString& screenID);

Q_SIGNALS:
    // A turn of the event loop after a change (coalesced), each only when what it announces
    // differs, so that an open picker is not rebuilt by an unrelated change of the state.
    void monitorsChanged();
    void layoutsChanged();
    void commandsChanged();
    void accessNeededChanged();

private:
    void scheduleRefresh();
    void refresh();
    QVariantList readMonitors() const;
    QVariantList readLayouts() const;
    QVariantList readCommands() const;
    void dropPicturesOfGoneDisplays();
    // Starts loading the picture of every display not asked for yet.
    void requestPictures();
    void requestPicture(const QString& screenID);
    void pictureLoaded(const QString& screenID, unsigned ticket, const QImage& image);

    ShellPorts ports_;
    Preferences& preferences_;
    const Strings& strings_;
    std::vector<Connection> connections_;
    QVariantList monitors_;
    QVariantList layouts_;
    QVariantList commands_;
    bool accessNeeded_ = false;

    PictureLocator locator_;
    std::shared_ptr<DesktopPictureShelf> shelf_;
    NextTurn refresh_;
    // The newest load asked for per display; a result with another ticket is out of date.
    std::map<QString, unsigned> tickets_;
    unsigned nextTicket_ = 0;
    // Loads finishing on a worker hold this weakly; it dies first when the view model goes.
    std::shared_ptr<const int> lifetime_ = std::make_shared<const int>(0);
};

} // namespace shell
} // namespace tessera
