#include "ExclusionsPaneModel.h"
#include "QmlValues.h"

#include "ApplicationCatalog.h"
#include "Preferences.h"
#include "Strings.h"

#include "core/app/Preferences.h"
#include "core/ui/IgnoredAppsList.h"

#include <QVariantMap>

#include <algorithm>
#include <utility>

namespace tessera::shell {

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

QVariantList ExclusionsPaneModel::installedApps() const {
    const auto ignored = ignoredApps(ports_.defaults);
    QVariantList list;
    for (const auto& entry : ports_.applications.applications()) {
        const bool listed = std::find(ignored.begin(), ignored.end(),
                                      entry.identifier.toStdString()) != ignored.end();
        list.push_back(QVariantMap{{"identifier", entry.identifier},
                                   {"name", entry.name},
                                   {"iconSource", entry.iconSource},
                                   {"ignored", listed}});
    }
    return list;
}

int ExclusionsPaneModel::ignoreApps(const QStringList& identifiers) {
    std::vector<std::string> candidates;
    for (const auto& identifier : identifiers) {
        candidates.push_back(identifier.toStdString());
    }
    const auto current = ignoredApps(ports_.defaults);
    const auto updated = addingIgnoredApps(current, candidates);
    const int added = static_cast<int>(updated.size() - current.size());
    const QString previousError = std::exchange(lastError_, QString());
    // A write announces itself through the preferences; one that failed still changes the list
    // for this run, and lastError, set after that announcement, says it won't last.
    if (added > 0 ? !write(updated) : !previousError.isEmpty()) {
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
