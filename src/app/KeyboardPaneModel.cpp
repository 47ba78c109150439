#include "KeyboardPaneModel.h"

#include "Preferences.h"
#include "ShortcutRecorderModel.h"

#include "core/app/AppState.h"
#include "core/hotkeys/CommandShortcutsSection.h"
#include "core/hotkeys/KeyCombos.h"
#include "core/hotkeys/ShortcutRecorder.h"

#include <QMetaObject>

#include <cstddef>
#include <string>

namespace tessera::shell {

namespace {

constexpr std::string_view shortcutKeyPrefix = "shortcut.";

QString commandForQml(WindowCommand command) {
    return QString::fromUtf8(rawValue(command).data(),
                             static_cast<qsizetype>(rawValue(command).size()));
}

QString preferenceKey(WindowCommand command) {
    return QString::fromUtf8(shortcutKeyPrefix.data(),
                             static_cast<qsizetype>(shortcutKeyPrefix.size())) +
           commandForQml(command);
}

// One of the rows' messages by command, for the rows that have it.
QVariantMap messagesByCommand(const std::vector<CommandShortcutRow>& rows,
                              std::optional<std::string> CommandShortcutRow::*message) {
    QVariantMap messages;
    for (const auto& row : rows) {
        if (const auto& text = row.*message) {
            messages.insert(commandForQml(row.command), QString::fromStdString(*text));
        }
    }
    return messages;
}

std::optional<WindowCommand> commandFromQml(const QString& command) {
    return windowCommandFromRaw(command.toStdString());
}

std::size_t indexOf(WindowCommand command) {
    return static_cast<std::size_t>(command);
}

} // namespace

KeyboardPaneModel::KeyboardPaneModel(const ShellPorts& ports, Preferences& preferences,
                                     const Strings& strings, QObject* parent)
    : QObject(parent), ports_(ports), preferences_(preferences), strings_(strings),
      coordinator_(std::make_shared<RecorderCoordinator>()), refresh_(this, [this] { refresh(); }) {
    auto& state = ports_.state;
    section_ = std::make_unique<CommandShortcutsSection>(
        ports_.defaults, state.store(), ports_.localizer, ports_.input,
        [&state] { return state.hotkeys(); }, coordinator_);
    for (const auto command : allWindowCommands) {
        recorders_[indexOf(command)] = std::make_unique<ShortcutRecorderModel>(
            section_->recorder(command), ports_.hooks.deliverLocalEvent, this);
    }
    sectionChanged_ = section_->onChange([this] { sectionDidChange(); });
    // Zones carry shortcuts too, so a change of the layouts can start or end a clash, and the
    // state also tells when other programs take or free a shortcut's keys. It announces a
    // change before it is made; the rows are read again once it is.
    stateChanged_ = state.onWillChange([this] { scheduleRefresh(); });
    connect(&preferences_, &Preferences::changed, this, &KeyboardPaneModel::preferenceDidChange);
}

KeyboardPaneModel::~KeyboardPaneModel() = default;

QString KeyboardPaneModel::header() const {
    return QString::fromStdString(section_->header());
}

QString KeyboardPaneModel::footer() const {
    return QString::fromStdString(section_->footer());
}

QString KeyboardPaneModel::restoreDefaultsTitle() const {
    return QString::fromStdString(section_->restoreDefaultsTitle());
}

QString KeyboardPaneModel::recordAnotherTitle() const {
    return QString::fromStdString(tessera::recordAnotherTitle(ports_.localizer));
}

QVariantList KeyboardPaneModel::commands() const {
    QVariantList list;
    for (const auto& row : section_->rows()) {
        list.append(QVariantMap{
            {QStringLiteral("command"), commandForQml(row.command)},
            {QStringLiteral("title"), QString::fromStdString(row.title)},
            {QStringLiteral("icon"), QString::fromStdString(row.symbol)},
            {QStringLiteral("recorder"),
             QVariant::fromValue(static_cast<QObject*>(recorder(row.command)))},
        });
    }
    return list;
}

QVariantMap KeyboardPaneModel::conflicts() const {
    return messagesByCommand(section_->rows(), &CommandShortcutRow::conflictMessage);
}

QVariantMap KeyboardPaneModel::heldElsewhere() const {
    return messagesByCommand(section_->rows(), &CommandShortcutRow::heldElsewhereMessage);
}

QVariantMap KeyboardPaneModel::shortcut(const QString& command) const {
    const auto known = commandFromQml(command);
    if (!known) {
        return {};
    }
    const auto combo = section_->row(*known).shortcut;
    if (!combo) {
        return {};
    }
    return {{QStringLiteral("keyCode"), static_cast<qint64>(combo->keyCode)},
            {QStringLiteral("carbonModifiers"), static_cast<qint64>(combo->carbonModifiers)},
            {QStringLiteral("label"),
             QString::fromStdString(linuxShortcutText(*combo, ports_.localizer))}};
}

QObject* KeyboardPaneModel::recorder(const QString& command) const {
    const auto known = commandFromQml(command);
    return known ? recorder(*known) : nullptr;
}

ShortcutRecorderModel* KeyboardPaneModel::recorder(WindowCommand command) const {
    return recorders_[indexOf(command)].get();
}

bool KeyboardPaneModel::restoreDefaults() {
    return section_->restoreDefaults();
}

void KeyboardPaneModel::sectionDidChange() {
    // Every write of the section ends with the port's verdict on it.
    lastError_ = QString::fromStdString(ports_.defaults.lastError());
    ++revision_;
    // Others bound to these preferences (the menu shows the shortcuts) read them again.
    notifying_ = true;
    for (const auto command : allWindowCommands) {
        preferences_.notifyChanged(preferenceKey(command));
    }
    notifying_ = false;
    Q_EMIT changed();
}

void KeyboardPaneModel::preferenceDidChange(const QString& key) {
    if (notifying_ ||
        !key.startsWith(QLatin1String(shortcutKeyPrefix.data(),
                                      static_cast<qsizetype>(shortcutKeyPrefix.size())))) {
        return;
    }
    // Written elsewhere (an import, another window): the recorders' labels follow.
    for (const auto command : allWindowCommands) {
        section_->recorder(command).bindingDidChange();
    }
    ++revision_;
    Q_EMIT changed();
}

void KeyboardPaneModel::scheduleRefresh() {
    refresh_.request();
}

void KeyboardPaneModel::refresh() {
    ++revision_;
    Q_EMIT changed();
}

} // namespace tessera::shell
