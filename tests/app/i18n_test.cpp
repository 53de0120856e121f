// The program in German: the language chosen from the user's list, the
// status texts translated with their arguments, and the real window showing
// German texts. The process runs with LANGUAGE=de (i18n_test_main.cpp).
#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QToolBar>
#include <QTranslator>

#include <gtest/gtest.h>

#include <set>

#include "i18n/shown_texts.h"
#include "i18n/translations.h"
#include "rules/status_text.h"
#include "rules/window_ids.h"
#include "voxreel/notify_texts.h"
#include "window_testkit.h"

namespace apptest {
namespace {

// Takes the translations out for its lifetime: the program's English.
class EnglishOnly {
public:
    EnglishOnly()
    {
        m_translators = qApp->findChildren<QTranslator*>();
        for (QTranslator* pTranslator : m_translators)
            QCoreApplication::removeTranslator(pTranslator);
    }
    ~EnglishOnly()
    {
        for (QTranslator* pTranslator : m_translators)
            QCoreApplication::installTranslator(pTranslator);
    }

private:
    QList<QTranslator*> m_translators;
};

std::string Shown(std::string_view strText)
{
    return ShownStatus(strText).toStdString();
}

// A text made from a format, with sample arguments for its directives.
std::string Sample(std::string_view strFormat)
{
    std::string out(strFormat);
    for (const auto& [directive, arg] :
         {std::pair{"%08X", "80004005"}, {"%d", "12"}, {"%S", "Gerät: weg"}}) {
        for (auto at = out.find(directive); at != std::string::npos; at = out.find(directive))
            out.replace(at, std::string_view(directive).size(), arg);
    }
    return out;
}

TEST(Languages, TheFirstTheProgramSpeaksIsChosen)
{
    const fs::path folder = TempFolder("languages");
    for (const char* pszLanguage : {"de", "fr"})
        QFile(QString::fromStdString(
                  (folder / ("voxreel_" + std::string(pszLanguage) + ".qm")).string()))
            .open(QIODevice::WriteOnly);
    const QString qFolder = QString::fromStdString(folder.string());
    const struct {
        QStringList uiLanguages;
        const char* pszChosen;
    } cases[] = {
        {{"de-DE"}, "de"},          {{"fr_FR.UTF-8"}, "fr"}, {{"de-AT", "en-US"}, "de"},
        {{"en-US", "de"}, "en"}, // English first: the program's own
        {{"pt-BR", "fr-CA"}, "fr"}, {{"pt-BR"}, ""},         {{}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseLanguage(c.uiLanguages, qFolder).toStdString(), c.pszChosen)
            << c.uiLanguages.join(',').toStdString();
    fs::remove_all(folder);
}

TEST(Languages, TheProgramsAndQtsTranslationsAreInstalled)
{
    EXPECT_EQ(QLocale::system().uiLanguages().value(0).left(2).toStdString(), "de");
    EXPECT_EQ(QCoreApplication::translate("CDlgControls", "Balance").toStdString(), "Balance");
    EXPECT_EQ(QCoreApplication::translate("CVoxreelDlg", "&Quit").toStdString(), "&Beenden");
    // Qt's own dialogs, from qt6-translations-l10n.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel").toStdString(), "Abbrechen");
}

TEST(StatusTexts, EnglishStaysByteForByteWithoutTranslations)
{
    const EnglishOnly english;
    for (const char* pszFormat : StatusFormats()) {
        const std::string strText = Sample(pszFormat);
        EXPECT_EQ(Shown(strText), strText);
        EXPECT_EQ(Shown(strText + " - the reason"), strText + " - the reason");
    }
    EXPECT_EQ(ShownCallName("Call 7", 7).toStdString(), "Call 7");
    EXPECT_EQ(ShownWindowString(ID_PLAY).toStdString(), "Play it now!");
}

TEST(StatusTexts, AreTranslatedWithTheirArguments)
{
    const struct {
        const char* pszEnglish;
        const char* pszGerman;
    } cases[] = {
        {"Skype has connected!", "Skype hat sich verbunden!"},
        {"Adding files: 3 of 400", "Dateien werden hinzugefügt: 3 von 400"},
        {"Added 400 files", "400 Dateien hinzugefügt"},
        {"Playback failed: error code 80004005 - Datei nicht gefunden",
         "Wiedergabe fehlgeschlagen: Fehlercode 80004005 - Datei nicht gefunden"},
        {"Cannot establish connection with Skype: ERROR 68 - busy",
         "Keine Verbindung zu Skype möglich: ERROR 68 - busy"},
        {"The Voxreel microphone cannot hear itself: recording from Mic 2 instead",
         "Das Voxreel-Mikrofon kann sich nicht selbst hören: Aufnahme stattdessen von Mic 2"},
        // Not the form of any text: shown as it comes.
        {"Skype has connected!!", "Skype has connected!!"},
        {"An error occurred: 8000400", "An error occurred: 8000400"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Shown(c.pszEnglish), c.pszGerman);
    EXPECT_EQ(ShownCallName("Call 7", 7).toStdString(), "Anruf 7");
    EXPECT_EQ(ShownCallName("Call 7", 8).toStdString(), "Call 7"); // a partner's own name
}

// Every text the renderer can send, and every format known, is recognised
// and reaches the status line in German.
TEST(StatusTexts, EveryKnownFormatIsTranslated)
{
    for (const char* pszFormat : kRendererNotifyTexts) {
        const std::string strText = FormatStatus(pszFormat, {0x80004005u});
        EXPECT_NE(Shown(strText), strText);
    }
    for (const char* pszFormat : StatusFormats())
        EXPECT_NE(Shown(Sample(pszFormat)), Sample(pszFormat));
}

class GermanWindowTest : public WindowTest {};

TEST_F(GermanWindowTest, ShowsGermanTexts)
{
    CVoxreelDlg& dlg = Open();
    std::vector<std::string> menu;
    for (QAction* pAction : dlg.WindowMenu()->actions())
        menu.push_back(pAction->text().toStdString());
    EXPECT_EQ(menu,
              (std::vector<std::string>{"Immer im Vordergrund\tStrg+Umschalt+A",
                                        "&Einstellungen...", "&Über Voxreel...", "", "&Beenden"}));
    std::vector<std::string> tips;
    for (QAction* pAction : dlg.findChild<QToolBar*>()->actions()) {
        if (!pAction->isSeparator() && pAction->property("commandId").toInt() != 0)
            tips.push_back(pAction->toolTip().toStdString());
    }
    EXPECT_EQ(tips, (std::vector<std::string>{"Zur vorherigen Datei", "Jetzt abspielen!",
                                              "Eine Weile pausieren", "Jetzt stoppen!",
                                              "Zur nächsten Datei", "Dateien hinzufügen"}));
    std::set<std::string> captions;
    for (QLabel* pLabel : dlg.findChildren<QLabel*>())
        captions.insert(pLabel->text().toStdString());
    for (const char* pszCaption :
         {"Aktive Anrufe", "Stimme", "Wiedergabe", "Balance",
          "Aktuelle Wiedergabe:", "Lokale Lautstärke", "Lautstärke im Anruf"})
        EXPECT_TRUE(captions.count(pszCaption)) << pszCaption;
    QHeaderView* pHeader = Control<QTreeView>(IDC_LIST_FILES)->header();
    EXPECT_EQ(pHeader->model()->headerData(0, Qt::Horizontal).toString().toStdString(), "Titel");
    EXPECT_EQ(pHeader->model()->headerData(1, Qt::Horizontal).toString().toStdString(), "Dauer");
    EXPECT_EQ(Control<QSlider>(IDC_LOCAL_VOLUME)->toolTip().toStdString(), "Lokale Lautstärke");
    EXPECT_EQ(Control<QLabel>(IDC_STATUS_ICON)->accessibleName().toStdString(),
              "Anrufprogramm nicht verbunden");
    // The renderer's start-up text, and one sent now.
    EXPECT_TRUE(
        WaitFor([&] { return Text(IDC_STATUS) == "Aufnahme über ein Mikrofon gestartet"; }));
    Notify(NOTIFY_CLIENT_CONNECTED);
    EXPECT_EQ(Text(IDC_STATUS), "Skype hat sich verbunden!");
    Notify(NOTIFY_NETWORK_ERROR, 0x8007274Du);
    EXPECT_EQ(Text(IDC_STATUS), "Ein Netzwerkfehler ist aufgetreten: 8007274D");
}

TEST(GermanAboutText, KeepsItsLinesAndShortcuts)
{
    const QStringList lines = ShownAboutText().split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 16);
    EXPECT_EQ(lines[0].toStdString(), " Die folgenden Bibliotheken werden verwendet:");
    EXPECT_TRUE(lines[6].startsWith(QLatin1String("\tImmer im Vordergrund an/aus\t")));
    EXPECT_TRUE(lines[6].endsWith(QLatin1String("Strg+Umschalt+A")));
    EXPECT_FALSE(ShownAboutText().contains(QLatin1Char('\r')));
}

} // namespace
} // namespace apptest
