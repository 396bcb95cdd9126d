#include "base/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool QtTranslations::installGerman()
{
#ifdef Q_OS_WIN
    const QString directory =
            QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
#else
    const QString directory = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#endif
    // "qtbase" rather than the catalogue "qt", which would also want the multimedia texts.
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                          QStringLiteral("_"), directory)
        || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}
