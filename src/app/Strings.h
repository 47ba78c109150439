#pragma once

#include "QmlSingleton.h"

#include <QObject>
#include <QString>
#include <QVariantList>

namespace tessera {

class Localizer;

namespace shell {

// The application's string tables as QML reads them: the same tables and the same lookup as the
// core, so a text is translated once. QML writes strings.localized("English text") or
// strings.localized("Version %@", [version]) for a text with placeholders.
//
// The lookup is deliberately not called tr: Q_OBJECT declares a static QObject::tr(const char*)
// that knows nothing of these tables, and a one-argument call with a literal would pick it
// silently and show English in every language.
class Strings : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // The language in effect ("en", "ru", …), for formatting dates and numbers.
    Q_PROPERTY(QString language READ language CONSTANT)
public:
    static Strings* create(QQmlEngine* engine, QJSEngine*) {
        return lentSingleton<Strings>(engine);
    }
    explicit Strings(const Localizer& localizer, QObject* parent = nullptr);

    QString language() const;
    Q_INVOKABLE QString localized(const QString& key) const;
    Q_INVOKABLE QString localized(const QString& key, const QVariantList& arguments) const;

    const Localizer& localizer() const { return localizer_; }

private:
    const Localizer& localizer_;
};

} // namespace shell
} // namespace tessera
