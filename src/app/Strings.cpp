#include "Strings.h"

#include "core/model/StringTables.h"
#include "core/platform/Localizer.h"

#include <string>
#include <vector>

namespace tessera::shell {

Strings::Strings(const Localizer& localizer, QObject* parent)
    : QObject(parent), localizer_(localizer) {}

QString Strings::language() const {
    return QString::fromStdString(localizer_.language());
}

QString Strings::localized(const QString& key) const {
    return QString::fromStdString(localizer_.localized(key.toStdString()));
}

QString Strings::localized(const QString& key, const QVariantList& arguments) const {
    std::vector<std::string> texts;
    texts.reserve(static_cast<std::size_t>(arguments.size()));
    for (const auto& argument : arguments) {
        texts.push_back(argument.toString().toStdString());
    }
    return QString::fromStdString(localizedFormat(localizer_, key.toStdString(), texts));
}

} // namespace tessera::shell
