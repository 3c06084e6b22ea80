#include "platform/qt_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace platform {

bool InstallGermanQtTexts(QCoreApplication& application)
{
    static const char kName[] = "tolvarGermanQtTexts";
    if (application.findChild<QTranslator*>(QLatin1String(kName), Qt::FindDirectChildrenOnly))
        return true;
    auto* translator = new QTranslator(&application);
    translator->setObjectName(QLatin1String(kName));
    if (!translator->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    return true;
}

} // namespace platform
