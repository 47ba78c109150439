#include "ExclusionsPaneModel.h"
#include "QmlValues.h"

#include "ApplicationCatalog.h"
#include "Preferences.h"
#include "Strings.h"

#include "core/app/Preferences.h"
#include "core/ui/IgnoredAppsList.h"
#include "platform/linux/DesktopEntries.h"

#include <QFileInfo>
#include <QVariantMap>

#include <filesystem>
#include <utility>

namespace tessera::shell {

namespace {

namespace fs = std::filesystem;

// A file URL or a plain path.
fs::path localPath(const QVariant& file) {
    const QUrl url = file.metaType().id() == QMetaType::QUrl ? file.toUrl() : QUrl(file.toString());
    const QString path = url.isLocalFile() ? url.toLocalFile() : file.toString();
    return fs::path(path.toStdString()).lexically_normal();
}

// The desktop file id: below an applications folder the subfolders count ("kde4-konsole"),
// anywhere else only the file name does.
std::string desktopIdOf(const fs::path& file, const std::vector<fs::path>& folders) {
    for (const auto& folder : folders) {
        const auto relative = file.lexically_relative(folder);
        if (!relative.empty() && *relative.begin() != "..") {
            return desktopFileId(relative);
        }
    }
    return desktopFileId(file.filename());
}

} // namespace

ExclusionsPaneModel::ExclusionsPaneModel(const ShellPorts& ports, Preferences& preferences,
                                         const Strings& strings, QObject* parent)
    : QObject(parent), ports_(ports), preferences_(preferences), strings_(strings) {
    connect(&preferences_, &Preferences::changed, this, [this](const QString& key) {
        if (key == text(prefs::ignoredApps)) {
            Q_EMIT changed();
        }
    });
}

ExclusionsPaneModel::~ExclusionsPaneModel() = default;

QVariantList ExclusionsPaneModel::apps() const {
    QVariantList list;
    for (const auto& identifier : ignoredApps(ports_.defaults)) {
        const auto id = text(identifier);
        const auto entry = ports_.applications.find(id);
        const bool named = entry && !entry->name.isEmpty();
        list.push_back(QVariantMap{{"identifier", id},
                                   {"name", named ? entry->name : id},
                                   {"iconSource", entry ? entry->iconSource : QString()},
                                   {"installed", entry.has_value()}});
    }
    return list;
}

bool ExclusionsPaneModel::empty() const {
    return ignoredApps(ports_.defaults).empty();
}

QUrl ExclusionsPaneModel::applicationsFolder() const {
    return QUrl::fromLocalFile(QStringLiteral("/usr/share/applications"));
}

int ExclusionsPaneModel::addDesktopFiles(const QVariantList& files) {
    const auto folders = applicationFolders();
    std::vector<std::string> candidates;
    QStringList skipped;
    for (const auto& file : files) {
        const auto path = localPath(file);
        auto id = desktopIdOf(path, folders);
        std::string error;
        const auto entry = id.empty() ? std::nullopt : readDesktopEntryFile(path, id, &error);
        // Links and folders have desktop entries too, but no windows to keep zones from.
        if (!entry || (!entry->type.empty() && entry->type != "Application")) {
            skipped.push_back(strings_.localized(
                QStringLiteral("“%@” was skipped: it isn’t a readable application entry."),
                {QString::fromStdString(path.filename().string())}));
            continue;
        }
        candidates.push_back(std::move(id));
    }

    const auto current = ignoredApps(ports_.defaults);
    const auto updated = addingIgnoredApps(current, candidates);
    const int added = static_cast<int>(updated.size() - current.size());
    const QString previousError = std::exchange(lastError_, skipped.join(QLatin1Char('\n')));
    // A write announces itself through the preferences; one that failed still changes the list
    // for this run, and lastError, set after that announcement, says it won't last.
    if (added > 0 ? !write(updated) : lastError_ != previousError) {
        Q_EMIT changed();
    }
    return added;
}

void ExclusionsPaneModel::stopIgnoring(const QString& identifier) {
    const auto current = ignoredApps(ports_.defaults);
    const auto updated = removingIgnoredApp(current, identifier.toStdString());
    const QString previousError = std::exchange(lastError_, QString());
    if (updated.size() != current.size() ? !write(updated) : !previousError.isEmpty()) {
        Q_EMIT changed();
    }
}

bool ExclusionsPaneModel::write(const std::vector<std::string>& identifiers) {
    if (preferences_.setString(text(prefs::ignoredApps), text(encodeIgnoredApps(identifiers)))) {
        return true;
    }
    const auto reason = preferences_.lastError();
    lastError_ = lastError_.isEmpty() ? reason : lastError_ + QLatin1Char('\n') + reason;
    return false;
}

} // namespace tessera::shell
