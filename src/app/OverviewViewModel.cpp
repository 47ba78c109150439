#include "OverviewViewModel.h"
#include "QmlValues.h"

#include "Preferences.h"
#include "Strings.h"

#include "core/app/AppState.h"
#include "core/app/Preferences.h"
#include "core/model/Signal.h"
#include "core/store/DisplayNames.h"
#include "core/store/LayoutStore.h"
#include "core/ui/Overview.h"
#include "core/ui/Pages.h"

#include <QCoreApplication>
#include <QImageReader>
#include <QMetaObject>
#include <QProcess>
#include <QQuickImageProvider>
#include <QStandardPaths>
#include <QStringList>
#include <QThreadPool>
#include <QVariantMap>

#include <algorithm>
#include <mutex>

namespace tessera::shell {

class DesktopPictureShelf {
public:
    QImage get(const QString& key) const {
        const std::lock_guard lock(mutex_);
        const auto found = images_.find(key);
        return found == images_.end() ? QImage() : found->second;
    }
    void put(const QString& key, QImage image) {
        const std::lock_guard lock(mutex_);
        images_[key] = std::move(image);
    }
    void remove(const QString& key) {
        const std::lock_guard lock(mutex_);
        images_.erase(key);
    }

private:
    mutable std::mutex mutex_;
    std::map<QString, QImage> images_;
};

namespace {

// The shelf keeps each display's picture under "<ticket>", so that QML, which caches images by
// address, sees a new address for every new picture.
QString shelfKey(unsigned ticket) {
    return QString::number(ticket);
}

class DesktopPictureProvider final : public QQuickImageProvider {
public:
    explicit DesktopPictureProvider(std::shared_ptr<const DesktopPictureShelf> shelf)
        : QQuickImageProvider(QQuickImageProvider::Image), shelf_(std::move(shelf)) {}

    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override {
        auto image = shelf_->get(id);
        if (size != nullptr) {
            *size = image.size();
        }
        if (!image.isNull() && requestedSize.isValid() && !requestedSize.isEmpty()) {
            image = image.scaled(requestedSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        }
        return image;
    }

private:
    std::shared_ptr<const DesktopPictureShelf> shelf_;
};

// Reads the picture as a thumbnail: the orientation the file records applied, the longer side
// at most desktopThumbnailMaxSide pixels. Null when there is no such picture.
QImage loadThumbnail(const QString& path) {
    if (path.isEmpty()) {
        return {};
    }
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const auto full = reader.size();
    if (full.isValid()) {
        const auto [width, height] =
            thumbnailSize(full.width(), full.height(), desktopThumbnailMaxSide);
        if (width > 0 && height > 0) {
            reader.setScaledSize(QSize(static_cast<int>(width), static_cast<int>(height)));
        }
    }
    auto image = reader.read();
    // Formats that can't scale while reading (and report no size beforehand) are scaled after.
    const auto [width, height] =
        thumbnailSize(image.width(), image.height(), desktopThumbnailMaxSide);
    if (!image.isNull() && (width != image.width() || height != image.height())) {
        image = image.scaled(static_cast<int>(width), static_cast<int>(height),
                             Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return image;
}

} // namespace

OverviewViewModel::OverviewViewModel(const ShellPorts& ports, Preferences& preferences,
                                     const Strings& strings, QObject* parent)
    : QObject(parent), ports_(ports), preferences_(preferences), strings_(strings),
      locator_(&OverviewViewModel::gnomeDesktopPicture),
      shelf_(std::make_shared<DesktopPictureShelf>()), refresh_(this, [this] {
          dropPicturesOfGoneDisplays();
          requestPictures();
          refresh();
      }) {
    connections_.push_back(ports_.state.onWillChange([this] { scheduleRefresh(); }));
    connect(&preferences_, &Preferences::changed, this, [this](const QString& key) {
        if (key.startsWith(text(prefs::shortcutPrefix))) {
            scheduleRefresh();
        }
    });
    refresh();
    // Pictures are asked for once the event loop runs, so that whoever builds the view model
    // can choose where they come from first.
    QMetaObject::invokeMethod(
        this, [this] { requestPictures(); }, Qt::QueuedConnection);
}

OverviewViewModel::~OverviewViewModel() = default;

void OverviewViewModel::scheduleRefresh() {
    refresh_.request();
}

void OverviewViewModel::refresh() {
    if (auto list = readMonitors(); list != monitors_) {
        monitors_ = std::move(list);
        Q_EMIT monitorsChanged();
    }
    if (auto list = readLayouts(); list != layouts_) {
        layouts_ = std::move(list);
        Q_EMIT layoutsChanged();
    }
    if (auto list = readCommands(); list != commands_) {
        commands_ = std::move(list);
        Q_EMIT commandsChanged();
    }
    if (const bool needed = tessera::accessNeeded(ports_.state.permissions());
        needed != accessNeeded_) {
        accessNeeded_ = needed;
        Q_EMIT accessNeededChanged();
    }
}

QVariantList OverviewViewModel::readMonitors() const {
    const auto& state = ports_.state;
    QVariantList list;
    for (const auto& screen : state.screens()) {
        const auto layout = state.store().layoutFor(screen);
        const auto zones = previewZoneList(previewZones(layout, screen, ports_.localizer));
        const auto id = text(screen.id);
        QString pictureSource;
        if (const auto ticket = tickets_.find(id);
            ticket != tickets_.end() && !shelf_->get(shelfKey(ticket->second)).isNull()) {
            pictureSource = QStringLiteral("image://desktop/") + shelfKey(ticket->second);
        }
        list.append(QVariantMap{{"id", id},
                                {"name", text(screen.name)},
                                {"aspect", previewAspect(screen)},
                                {"zones", zones},
                                {"layoutID", text(layout.id.string())},
                                {"pictureSource", pictureSource}});
    }
    return list;
}

QVariantList OverviewViewModel::readLayouts() const {
    QVariantList list;
    for (const auto& layout : ports_.state.store().layouts()) {
        list.append(
            QVariantMap{{"id", text(layout.id.string())},
                        {"name", text(displayName(layout.id, layout.name, ports_.localizer))}});
    }
    return list;
}

QVariantList OverviewViewModel::readCommands() const {
    QVariantList list;
    for (const auto& row : commandOverviewRows(ports_.defaults, ports_.localizer,
                                               ports_.state.shortcutsHeldElsewhere())) {
        QStringList keys;
        for (const auto& cap : row.keyCaps) {
            keys.append(text(cap));
        }
        list.append(QVariantMap{{"rawValue", text(rawValue(row.command))},
                                {"title", text(row.title)},
                                {"icon", text(row.symbol)},
                                {"keys", keys},
                                {"heldElsewhere", text(row.heldElsewhereMessage.value_or(""))}});
    }
    return list;
}

bool OverviewViewModel::assignLayout(const QString& screenID, const QString& layoutID) {
    const auto id = Uuid::parse(layoutID.toStdString());
    if (!id) {
        return false;
    }
    const auto& layouts = ports_.state.store().layouts();
    if (std::none_of(layouts.begin(), layouts.end(),
                     [&](const Layout& layout) { return layout.id == *id; })) {
        return false;
    }
    const auto& screens = ports_.state.screens();
    const auto screen = std::find_if(screens.begin(), screens.end(), [&](const ScreenInfo& info) {
        return text(info.id) == screenID;
    });
    if (screen == screens.end()) {
        return false;
    }
    // A copy: assigning may rebuild the list it came from.
    const ScreenInfo target = *screen;
    ports_.state.assignLayout(*id, target);
    return true;
}

void OverviewViewModel::setPictureLocator(PictureLocator locator) {
    locator_ = std::move(locator);
    for (const auto& [screenID, ticket] : tickets_) {
        shelf_->remove(shelfKey(ticket));
    }
    tickets_.clear();
    requestPictures();
    scheduleRefresh();
}

QImage OverviewViewModel::picture(const QString& screenID) const {
    const auto ticket = tickets_.find(screenID);
    return ticket == tickets_.end() ? QImage() : shelf_->get(shelfKey(ticket->second));
}

std::unique_ptr<QQuickImageProvider> OverviewViewModel::makePictureProvider() const {
    return std::make_unique<DesktopPictureProvider>(shelf_);
}

QString OverviewViewModel::gnomeDesktopPicture(const QString& /*screenID*/) {
    const auto program = QStandardPaths::findExecutable(QStringLiteral("gsettings"));
    if (program.isEmpty()) {
        return {};
    }
    QProcess process;
    process.start(program, {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.background"),
                            QStringLiteral("picture-uri")});
    // A worker thread waits; a desktop whose settings hang only leaves the gradient.
    if (!process.waitForFinished(5000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    const auto output = process.readAllStandardOutput().toStdString();
    const auto file = pictureFileFromGSettings(output);
    return file ? QString::fromStdString(*file) : QString();
}

void OverviewViewModel::requestPictures() {
    for (const auto& screen : ports_.state.screens()) {
        const auto id = text(screen.id);
        if (!tickets_.contains(id)) {
            requestPicture(id);
        }
    }
}

void OverviewViewModel::requestPicture(const QString& screenID) {
    const auto ticket = ++nextTicket_;
    tickets_[screenID] = ticket;
    if (!locator_) {
        return;
    }
    // The worker touches nothing of this object; the result comes back through the event loop
    // and is dropped when the view model has gone by then.
    auto* self = this;
    const std::weak_ptr<const int> alive = lifetime_;
    QThreadPool::globalInstance()->start([locator = locator_, screenID, ticket, self, alive] {
        auto image = loadThumbnail(locator(screenID));
        if (image.isNull()) {
            return;
        }
        auto* application = QCoreApplication::instance();
        if (application == nullptr) {
            return;
        }
        QMetaObject::invokeMethod(
            application,
            [self, alive, screenID, ticket, image = std::move(image)] {
                if (alive.lock()) {
                    self->pictureLoaded(screenID, ticket, image);
                }
            },
            Qt::QueuedConnection);
    });
}

void OverviewViewModel::pictureLoaded(const QString& screenID, unsigned ticket,
                                      const QImage& image) {
    // Only the newest load asked for this display may show; an older one, or one for a
    // display that has gone, is out of date.
    const auto current = tickets_.find(screenID);
    if (current == tickets_.end() || current->second != ticket) {
        return;
    }
    shelf_->put(shelfKey(ticket), image);
    refresh();
}

void OverviewViewModel::dropPicturesOfGoneDisplays() {
    const auto& screens = ports_.state.screens();
    for (auto entry = tickets_.begin(); entry != tickets_.end();) {
        const bool present =
            std::any_of(screens.begin(), screens.end(),
                        [&](const ScreenInfo& screen) { return text(screen.id) == entry->first; });
        if (present) {
            ++entry;
        } else {
            shelf_->remove(shelfKey(entry->second));
            entry = tickets_.erase(entry);
        }
    }
}

} // namespace tessera::shell
