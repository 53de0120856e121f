#include "translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

constexpr const char* kFolderBelowPrefix = "share/voxreel/translations";

// "de-DE" and "de_DE.UTF-8" alike name the language "de".
QString LanguageOf(const QString& uiLanguage)
{
    return uiLanguage.section(QLatin1Char('-'), 0, 0)
        .section(QLatin1Char('_'), 0, 0)
        .section(QLatin1Char('.'), 0, 0)
        .toLower();
}

QString ProgramFile(const QString& folder, const QString& language)
{
    return QDir(folder).filePath(QStringLiteral("voxreel_%1.qm").arg(language));
}

// Loads one file into a translator owned by app; false when it has none.
bool Install(QCoreApplication& app, const QString& file)
{
    auto* pTranslator = new QTranslator(&app);
    if (!pTranslator->load(file)) {
        delete pTranslator;
        return false;
    }
    QCoreApplication::installTranslator(pTranslator);
    return true;
}

} // namespace

QString ChooseLanguage(const QStringList& uiLanguages, const QString& folder)
{
    for (const QString& uiLanguage : uiLanguages) {
        const QString language = LanguageOf(uiLanguage);
        // English is the program's own: a user who puts it before another
        // language gets it, though a translation to the other exists.
        if (language == QLatin1String("en") || language == QLatin1String("c"))
            return QStringLiteral("en");
        if (!language.isEmpty() && QFileInfo::exists(ProgramFile(folder, language)))
            return language;
    }
    return {};
}

QString InstallTranslations(QCoreApplication& app, const QStringList& uiLanguages,
                            const QString& folder)
{
    const QString language = ChooseLanguage(uiLanguages, folder);
    if (language.isEmpty() || language == QLatin1String("en"))
        return QStringLiteral("en");
    Install(app, ProgramFile(folder, language));
    // Qt's own texts where the system has them (qt6-translations-l10n).
    const QString qtFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    Install(app, QDir(qtFolder).filePath(QStringLiteral("qtbase_%1.qm").arg(language)));
    return language;
}

QString TranslationsFolder()
{
    return QDir(QCoreApplication::applicationDirPath())
        .filePath(QStringLiteral("../") + QLatin1String(kFolderBelowPrefix));
}
