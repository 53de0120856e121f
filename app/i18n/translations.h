// The program in the user's language: its own texts from voxreel_<lang>.qm
// and Qt's (file dialog, message boxes) from qtbase_<lang>.qm.
#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

// The language of the first of uiLanguages ("de-DE", "fr", "en-US" ...) the
// program speaks: English, its own, or one with a voxreel_<lang>.qm in
// folder; empty for a list that names none of them, which means English.
QString ChooseLanguage(const QStringList& uiLanguages, const QString& folder);

// Installs the translations of the language uiLanguages ask for, from folder
// and Qt's translations folder, on app. Returns the language chosen ("en"
// for the program's own English, which needs no file).
QString InstallTranslations(QCoreApplication& app, const QStringList& uiLanguages,
                            const QString& folder);

// Where the program's .qm files are: share/voxreel/translations beside the
// folder of the program, the same in the build tree and an installed tree.
QString TranslationsFolder();
