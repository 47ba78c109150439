#pragma once

#include <QString>
#include <QTranslator>

#include <memory>

namespace tessera::shell {

// Qt's own texts (file dialog buttons and labels, text field menus) in the language Tessera
// shows, from the translations Qt installs with the system. Installed on the application for as
// long as the returned translator lives; none when Qt has no translation for the language, and
// then those texts stay English.
std::unique_ptr<QTranslator> installQtTranslations(const QString& language);

} // namespace tessera::shell
