#include "voxreel_app.h"

#include <QApplication>
#include <QLocale>
#include <QSessionManager>

#include <gst/gst.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "QtSettingsStore.h"
#include "dbus_skype_channel.h"
#include "desktop/command_line.h"
#include "desktop/instance_link.h"
#include "desktop/mpris_service.h"
#include "desktop/unix_signals.h"
#include "dsplayer.h"
#include "guard/guard_link.h"
#include "i18n/translations.h"
#include "rules/settings_keys.h"
#include "voxreel_dlg.h"

namespace {

// The plugin sits in VOXREEL_PLUGIN_DIR (lib/voxreel/gstreamer-1.0 unless the
// build names another) beside bin/, in the build tree and in an installed tree
// alike.
std::filesystem::path PluginFolder()
{
    const std::filesystem::path exe = QCoreApplication::applicationDirPath().toStdString();
    return exe.parent_path() / VOXREEL_PLUGIN_DIR;
}

std::filesystem::path GuardProgram()
{
    return std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()) /
           CGuardLink::kProgramName;
}

// VOXREEL_PORT: the renderer's port and the one the call is asked to use.
int PortFromEnvironment()
{
    const char* pszPort = std::getenv("VOXREEL_PORT");
    if (pszPort == nullptr || *pszPort == '\0')
        return 0;
    char* pEnd = nullptr;
    const long nPort = std::strtol(pszPort, &pEnd, 10);
    if (*pEnd == '\0' && nPort > 0 && nPort < 65536)
        return static_cast<int>(nPort);
    std::fprintf(stderr, "voxreel: VOXREEL_PORT=%s is not a port; using the default\n", pszPort);
    return 0;
}

// Closes whatever dialog is open over the window, then the window itself, so
// that closing runs the window's own closing steps.
void CloseEverything(CVoxreelDlg& dlg)
{
    for (QWidget* pWidget : QApplication::topLevelWidgets()) {
        if (auto* pDialog = qobject_cast<QDialog*>(pWidget); pDialog && pDialog != &dlg)
            pDialog->reject();
    }
    dlg.close();
}

} // namespace

int CVoxreelApp::Run(int argc, char** argv)
{
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Kelmora"));
    QApplication::setApplicationName(QStringLiteral("Voxreel"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QApplication::setDesktopFileName(QStringLiteral("voxreel"));
    InstallTranslations(app, QLocale::system().uiLanguages(), TranslationsFolder());
    const CCommandLine line = ParseCommandLine(QApplication::arguments());

    CInstanceLink instance;
    if (!instance.Claim()) {
        if (CInstanceLink::HandOver(line))
            return 0;
        std::fprintf(stderr, "voxreel: another Voxreel is running but did not answer\n");
        return 1;
    }
    if (!ScanPluginFolder(PluginFolder()))
        std::fprintf(stderr,
                     "voxreel: GStreamer does not use the Callfeed plugin in %s (none there, "
                     "or another found first: see gst-inspect-1.0 callfeed)\n",
                     PluginFolder().c_str());

    CQtSettingsStore settings;
    CDBusSkypeChannel channel;
    CGuardLink guard; // before the window, which switches and makes what it undoes
    if (const std::string strError = guard.Start(GuardProgram()); !strError.empty())
        std::fprintf(stderr, "voxreel: %s; a crash would leave the call switched\n",
                     strError.c_str());
    SetUndoJournal(&guard);
    {
        // The output from the settings, unless the environment names one.
        const std::string strSink = CAudioSetup::SinkFromEnvironment()
                                        ? std::string()
                                        : settings.GetProfileString(kSettingAudioSink, "");
        CVoxreelDlg dlg(
            {settings, channel, channel.GetOwnWindow(), strSink, PortFromEnvironment()});
        instance.SetOnOpen([&dlg](CCommandLine&& more) {
            dlg.AddPaths(std::move(more.paths), more.bPlay);
            dlg.raise();
            dlg.activateWindow();
        });
        CUnixSignals unixSignals([&dlg](int) { CloseEverything(dlg); });
        CMprisService mpris(dlg, [&dlg] { CloseEverything(dlg); });
        if (!mpris.Register())
            std::fprintf(stderr, "voxreel: the media player interface is not on the bus\n");
        QObject::connect(&app, &QGuiApplication::commitDataRequest, &dlg,
                         [&dlg](QSessionManager&) { CloseEverything(dlg); });
        dlg.AddPaths(line.paths, line.bPlay);
        dlg.exec();
        instance.SetOnOpen({});
    }
    guard.CleanExit();
    SetUndoJournal(nullptr);
    settings.Flush();
    return 0;
}
