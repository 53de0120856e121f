// The program in German (LANGUAGE=de, with the translations installed as the
// program installs them): the language chosen from the user's list, the status
// texts translated with their arguments, and the real window showing German texts.
#include <QAction>
#include <QApplication>
#include <QLocale>

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "i18n/shown_texts.h"
#include "i18n/translations.h"
#include "rules/status_text.h"
#include "rules/window_ids.h"
#include "voxreel/notify_texts.h"
#include "window_testkit.h"

namespace apptest {
namespace {

// The language is the first of the user's list the program speaks; every text
// the renderer can send reaches the status line in German, formats with their
// arguments; any other text is shown as it comes. Then the window's texts.
TEST_F(WindowTest, TheFirstSpokenLanguageIsChosenAndTextsAreShownInIt)
{
    const fs::path folder = TempFolder("languages");
    for (const char* pszFile : {"voxreel_de.qm", "voxreel_fr.qm"})
        std::ofstream(folder / pszFile) << "";
    const std::pair<QStringList, const char*> languages[] = {
        {{"fr_FR.UTF-8"}, "fr"},
        {{"en-US", "de"}, "en"}, // English first: the program's own
        {{"pt-BR", "fr-CA"}, "fr"},
        {{"pt-BR"}, ""}};
    for (const auto& [uiLanguages, pszChosen] : languages)
        EXPECT_EQ(
            ChooseLanguage(uiLanguages, QString::fromStdString(folder.string())).toStdString(),
            pszChosen)
            << uiLanguages.join(',').toStdString();
    fs::remove_all(folder);

    const std::pair<const char*, const char*> texts[] = {
        {"Adding files: 3 of 400", "Dateien werden hinzugefügt: 3 von 400"},
        {"Playback failed: error code 80004005 - Datei nicht gefunden",
         "Wiedergabe fehlgeschlagen: Fehlercode 80004005 - Datei nicht gefunden"},
        {"The Voxreel microphone cannot hear itself: recording from Mic 2 instead",
         "Das Voxreel-Mikrofon kann sich nicht selbst hören: Aufnahme stattdessen von Mic 2"},
        // Not the form of any text: shown as it comes.
        {"Skype has connected!!", "Skype has connected!!"},
        {"An error occurred: 8000400", "An error occurred: 8000400"},
    };
    for (const auto& [pszEnglish, pszGerman] : texts)
        EXPECT_EQ(ShownStatus(pszEnglish).toStdString(), pszGerman);
    EXPECT_EQ(ShownCallName("Call 7", 7).toStdString(), "Anruf 7");
    EXPECT_EQ(ShownCallName("Call 7", 8).toStdString(), "Call 7"); // a partner's own name
    for (const char* pszFormat : kRendererNotifyTexts) {
        const std::string strText = FormatStatus(pszFormat, {0x80004005u});
        EXPECT_NE(ShownStatus(strText).toStdString(), strText);
    }

    CVoxreelDlg& dlg = Open();
    std::set<std::string> shown;
    const auto add = [&](const QString& text) { shown.insert(text.toStdString()); };
    for (QAction* pAction : dlg.findChildren<QAction*>()) {
        add(pAction->text());
        add(pAction->toolTip());
    }
    for (QLabel* pLabel : dlg.findChildren<QLabel*>())
        add(pLabel->text());
    for (int nColumn : {0, 1})
        add(Rows()->headerData(nColumn, Qt::Horizontal).toString());
    add(Control<QLabel>(IDC_STATUS_ICON)->accessibleName());
    for (const char* pszText :
         {"Immer im Vordergrund\tStrg+Umschalt+A", "&Einstellungen...", "&Über Voxreel...",
          "&Beenden", "Jetzt abspielen!", "Aktive Anrufe", "Stimme", "Wiedergabe",
          "Aktuelle Wiedergabe:", "Lokale Lautstärke", "Lautstärke im Anruf", "Titel", "Dauer",
          "Anrufprogramm nicht verbunden"})
        EXPECT_TRUE(shown.count(pszText)) << pszText;
    EXPECT_EQ(Control<QSlider>(IDC_LOCAL_VOLUME)->toolTip().toStdString(), "Lokale Lautstärke");
    // Qt's own dialogs, from qt6-translations-l10n.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel").toStdString(), "Abbrechen");

    // The renderer's start-up text: its notices reach the status line in German.
    EXPECT_TRUE(
        WaitFor([&] { return Text(IDC_STATUS) == "Aufnahme über ein Mikrofon gestartet"; }));

    // The About box keeps its shortcuts' tabs, not its table form's carriage returns.
    EXPECT_TRUE(ShownAboutText().startsWith(" Die folgenden Bibliotheken werden verwendet:\n"));
    EXPECT_TRUE(ShownAboutText().contains("\n\tImmer im Vordergrund an/aus\tStrg+Umschalt+A\n"));
    EXPECT_FALSE(ShownAboutText().contains(QLatin1Char('\r')));
}

} // namespace
} // namespace apptest

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("LANGUAGE", "de", 1); // before Qt first reads the system locale
    QApplication app(argc, argv);
    InstallTranslations(app, QLocale::system().uiLanguages(), TranslationsFolder());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
