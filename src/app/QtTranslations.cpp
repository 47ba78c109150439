#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace tessera::shell {

std::unique_ptr<QTranslator> installQtTranslations(const QString& language) {
    auto translator = std::make_unique<QTranslator>();
    // "qt_xx" gathers the catalogs of every Qt module (widgets, dialogs, Qt Quick controls).
    if (!translator->load(QLocale(language), QStringLiteral("qt"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator.get())) {
        return nullptr;
    }
    return translator;
}

} // namespace tessera::shell
