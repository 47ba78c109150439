#include "AppViewModel.h"
#include "QmlValues.h"

#include "Preferences.h"
#include "Strings.h"

#include "core/app/AppState.h"
#include "core/app/Preferences.h"
#include "core/model/Signal.h"
#include "core/ui/Pages.h"

#include <QMetaObject>
#include <QVariantMap>

namespace tessera::shell {

namespace {

template <typename Item> QVariantMap entry(const Strings& strings, Item item) {
    const auto meta = info(item);
    return {{"rawValue", text(meta.rawValue)},
            {"title", strings.localized(text(meta.title))},
            {"icon", text(meta.icon)}};
}

} // namespace

AppViewModel::AppViewModel(const ShellPorts& ports, Preferences& preferences,
                           const Strings& strings, QObject* parent)
    : QObject(parent), ports_(ports), preferences_(preferences), strings_(strings),
      changed_(this, [this] { Q_EMIT changed(); }) {
    connections_.push_back(ports_.state.onWillChange([this] { scheduleChanged(); }));
    connect(&preferences_, &Preferences::changed, this, [this](const QString& key) {
        if (key == text(prefs::appearance)) {
            Q_EMIT appearanceChanged();
        }
    });
}

AppViewModel::~AppViewModel() = default;

void AppViewModel::scheduleChanged() {
    changed_.request();
}

QString AppViewModel::page() const {
    return text(info(ports_.state.page()).rawValue);
}

void AppViewModel::setPage(const QString& rawValue) {
    if (const auto page = appPageFromRaw(rawValue.toStdString())) {
        ports_.state.setPage(*page);
    }
}

QString AppViewModel::settingsPane() const {
    return text(info(ports_.state.settingsPane()).rawValue);
}

void AppViewModel::setSettingsPane(const QString& rawValue) {
    if (const auto pane = settingsPaneFromRaw(rawValue.toStdString())) {
        ports_.state.setSettingsPane(*pane);
    }
}

QVariantList AppViewModel::pages() const {
    QVariantList list;
    for (const auto page : allAppPages) {
        list.append(entry(strings_, page));
    }
    return list;
}

QVariantList AppViewModel::settingsPanes() const {
    QVariantList list;
    for (const auto pane : allSettingsPanes) {
        list.append(entry(strings_, pane));
    }
    return list;
}

bool AppViewModel::accessibilityGranted() const {
    return ports_.state.permissions().accessibility;
}

bool AppViewModel::inputMonitoringGranted() const {
    return ports_.state.permissions().inputMonitoring;
}

bool AppViewModel::accessNeeded() const {
    return tessera::accessNeeded(ports_.state.permissions());
}

QString AppViewModel::appearance() const {
    const auto stored = preferences_.stringValue(text(prefs::appearance));
    const auto choice = appearanceFromRaw(stored.toStdString()).value_or(AppearanceChoice::system);
    return text(rawValue(choice));
}

void AppViewModel::setAppearance(const QString& rawValue) {
    if (appearanceFromRaw(rawValue.toStdString())) {
        preferences_.setString(text(prefs::appearance), rawValue);
    }
}

bool AppViewModel::darkScheme() const {
    return usesDarkScheme(appearance().toStdString(), systemPrefersDark_);
}

void AppViewModel::setSystemPrefersDark(bool dark) {
    if (dark != systemPrefersDark_) {
        systemPrefersDark_ = dark;
        Q_EMIT appearanceChanged();
    }
}

QString AppViewModel::version() const {
    return QString::fromStdString(ports_.state.backupContext().appVersion.value_or(""));
}

QString AppViewModel::editorScreenID() const {
    return QString::fromStdString(ports_.state.editorScreenID().value_or(""));
}

void AppViewModel::openPage(const QString& page) {
    setPage(page);
    Q_EMIT showWindowRequested();
}

void AppViewModel::openSettings(const QString& pane) {
    setSettingsPane(pane);
    openPage(text(info(AppPage::settings).rawValue));
}

void AppViewModel::editZones(const QString& screenID) {
    ports_.state.setEditorScreenID(screenID.toStdString());
    openPage(text(info(AppPage::zones).rawValue));
}

void AppViewModel::previewZones() {
    ports_.state.previewZones();
}

void AppViewModel::relaunch() {
    ports_.state.relaunch();
}

void AppViewModel::quit() {
    if (ports_.hooks.quit) {
        ports_.hooks.quit();
    }
}

} // namespace tessera::shell
