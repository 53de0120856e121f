// voxreel: the application. Sets up GStreamer with the program's own plugin
// folder, the settings and the link's channel on the session bus, then runs
// the main window until it closes.
#include <QApplication>
#include <QDBusConnection>

#include <gst/gst.h>

#include <cstdlib>
#include <filesystem>

#include "QtSettingsStore.h"
#include "dbus_skype_channel.h"
#include "dsplayer.h"
#include "voxreel_dlg.h"

namespace {

// The plugin sits in lib/voxreel/gstreamer-1.0 beside bin/, in the build
// tree and in an installed tree alike.
std::filesystem::path PluginFolder()
{
    const std::filesystem::path exe = QCoreApplication::applicationDirPath().toStdString();
    return exe.parent_path() / "lib" / "voxreel" / "gstreamer-1.0";
}

// VOXREEL_PORT: the renderer's port and the one the call is asked to use.
int PortFromEnvironment()
{
    const char* pszPort = std::getenv("VOXREEL_PORT");
    if (pszPort == nullptr || *pszPort == '\0')
        return 0;
    char* pEnd = nullptr;
    const long nPort = std::strtol(pszPort, &pEnd, 10);
    return *pEnd == '\0' && nPort > 0 && nPort < 65536 ? static_cast<int>(nPort) : 0;
}

} // namespace

int main(int argc, char** argv)
{
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Kelmora"));
    QApplication::setApplicationName(QStringLiteral("Voxreel"));
    QApplication::setDesktopFileName(QStringLiteral("voxreel"));
    ScanPluginFolder(PluginFolder());

    CQtSettingsStore settings;
    CDBusSkypeChannel channel;
    int nResult = 0;
    {
        CVoxreelDlg dlg({settings, channel, channel.GetOwnWindow(), {}, PortFromEnvironment()});
        channel.SetSink(&dlg.SkypeSink());
        nResult = dlg.exec();
        channel.SetSink(nullptr);
    }
    settings.Flush();
    gst_deinit();
    return nResult == QDialog::Accepted || nResult == QDialog::Rejected ? 0 : nResult;
}
