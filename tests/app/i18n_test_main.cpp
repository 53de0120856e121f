// A test main for the window in German: the user's language comes from
// LANGUAGE, as for the program, and the program's and Qt's translations are
// installed the way the program installs them.
#include <QApplication>
#include <QLocale>

#include <gtest/gtest.h>

#include <cstdlib>

#include "i18n/translations.h"

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("LANGUAGE", "de", 1); // before Qt first reads the system locale
    QApplication app(argc, argv);
    InstallTranslations(app, QLocale::system().uiLanguages(), TranslationsFolder());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
