#include "Preferences.h"

#include "core/app/Preferences.h"
#include "core/platform/Defaults.h"

#include <QByteArray>
#include <QStringList>

#include <type_traits>

namespace tessera::shell {

Preferences::Preferences(Defaults& defaults, QObject* parent)
    : QObject(parent), defaults_(defaults) {}

QVariant Preferences::value(const QString& key) const {
    const auto stored = defaults_.object(key.toStdString());
    if (!stored) {
        return {};
    }
    return std::visit(
        [](const auto& value) -> QVariant {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, bool>) {
                return value;
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return QVariant::fromValue<qint64>(value);
            } else if constexpr (std::is_same_v<T, double>) {
                return value;
            } else if constexpr (std::is_same_v<T, std::string>) {
                return QString::fromStdString(value);
            } else if constexpr (std::is_same_v<T, Bytes>) {
                return QByteArray(reinterpret_cast<const char*>(value.data()),
                                  static_cast<qsizetype>(value.size()));
            } else {
                QStringList list;
                for (const auto& item : value) {
                    list.append(QString::fromStdString(item));
                }
                return list;
            }
        },
        *stored);
}

bool Preferences::boolValue(const QString& key) const {
    return preferenceBool(defaults_, key.toStdString());
}

double Preferences::doubleValue(const QString& key) const {
    return preferenceDouble(defaults_, key.toStdString());
}

QString Preferences::stringValue(const QString& key) const {
    const auto stored = defaults_.object(key.toStdString());
    if (stored) {
        if (const auto* text = std::get_if<std::string>(&*stored)) {
            return QString::fromStdString(*text);
        }
    }
    return {};
}

bool Preferences::setBool(const QString& key, bool value) {
    const bool ok = defaults_.set(key.toStdString(), value);
    notifyChanged(key);
    return ok;
}

bool Preferences::setInteger(const QString& key, qint64 value) {
    const bool ok = defaults_.set(key.toStdString(), std::int64_t{value});
    notifyChanged(key);
    return ok;
}

bool Preferences::setDouble(const QString& key, double value) {
    const bool ok = defaults_.set(key.toStdString(), value);
    notifyChanged(key);
    return ok;
}

bool Preferences::setString(const QString& key, const QString& value) {
    const bool ok = defaults_.set(key.toStdString(), value.toStdString());
    notifyChanged(key);
    return ok;
}

bool Preferences::remove(const QString& key) {
    const bool ok = defaults_.remove(key.toStdString());
    notifyChanged(key);
    return ok;
}

QString Preferences::lastError() const {
    return QString::fromStdString(defaults_.lastError());
}

bool Preferences::saveAgain() {
    if (!unsavedKey_) {
        return defaults_.lastError().empty();
    }
    const auto key = *unsavedKey_;
    // The persistent domain, not the registered defaults: a removal that failed is removed again
    // rather than written out as the default.
    const auto domain = defaults_.persistentDomain();
    const auto stored = domain.find(key);
    const bool ok =
        stored == domain.end() ? defaults_.remove(key) : defaults_.set(key, stored->second);
    notifyChanged(QString::fromStdString(key));
    return ok;
}

void Preferences::notifyChanged(const QString& key) {
    if (defaults_.lastError().empty()) {
        unsavedKey_.reset();
    } else {
        unsavedKey_ = key.toStdString();
    }
    ++revision_;
    Q_EMIT changed(key);
}

} // namespace tessera::shell
