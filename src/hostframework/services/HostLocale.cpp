#include "HostLocale.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QTranslator>

Q_LOGGING_CATEGORY(lcHostLocale, "vex.locale", QtInfoMsg)

namespace HostLocale {

bool install(QCoreApplication *app)
{
    const QLocale portuguese(QLocale::Portuguese, QLocale::Brazil);
    QLocale::setDefault(portuguese);
    auto *translator = new QTranslator(app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(portuguese, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
        qCWarning(lcHostLocale).noquote()
            << "Qt's Portuguese translations not found in" << folder
            << "(Debian package qt6-translations-l10n)";
        delete translator;
        return false;
    }
    app->installTranslator(translator);
    return true;
}

} // namespace HostLocale
