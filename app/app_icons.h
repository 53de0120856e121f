// The window's pictures: icons from the desktop's theme where it has them,
// else the program's own drawings bundled as resources.
#pragma once

#include <QIcon>
#include <QPixmap>

// A freedesktop icon name, e.g. "media-playback-start".
QIcon ThemedIcon(const char* pszName);
QIcon ProgramIcon();
QIcon PlayingMarkIcon();
// The status icon for a resource id (IDI_NOT_TRANSMITTING or IDI_CLIENT_CONNECTED).
QPixmap StatusIconPixmap(int nIconId);
