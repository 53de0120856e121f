#include "app_icons.h"

#include <QString>

#include "rules/window_ids.h"

// The bundled pictures live in a static library, whose resources are only
// registered when asked for.
static void InitBundledIcons()
{
    Q_INIT_RESOURCE(voxreel);
}

namespace {
QString Bundled(const char* pszName)
{
    static const bool bReady = (InitBundledIcons(), true);
    (void)bReady;
    return QStringLiteral(":/icons/%1.svg").arg(QLatin1String(pszName));
}
} // namespace

QIcon ThemedIcon(const char* pszName)
{
    return QIcon::fromTheme(QLatin1String(pszName), QIcon(Bundled(pszName)));
}

QIcon ProgramIcon()
{
    return QIcon(Bundled("voxreel"));
}

QIcon PlayingMarkIcon()
{
    return QIcon(Bundled("playing-mark"));
}

QPixmap StatusIconPixmap(int nIconId)
{
    const char* pszName = nIconId == IDI_CLIENT_CONNECTED ? "status-connected" : "status-idle";
    return QIcon(Bundled(pszName)).pixmap(32, 32);
}
