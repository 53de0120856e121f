#include "window_strings.h"

#include <utility>

#include "window_ids.h"

// Marks the texts for Qt's translation tools, which find them here; the
// window translates them where it shows them. This file has no Qt of its own.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(context, text) text
#endif

namespace {

constexpr std::pair<int, const char*> kStrings[] = {
    {IDS_ABOUTBOX, QT_TRANSLATE_NOOP("WindowStrings", "&About Voxreel...")},
    {ID_PREV_FILE, QT_TRANSLATE_NOOP("WindowStrings", "Go to the previous file")},
    {ID_PLAY, QT_TRANSLATE_NOOP("WindowStrings", "Play it now!")},
    {ID_PAUSE, QT_TRANSLATE_NOOP("WindowStrings", "Pause it for a while")},
    {ID_STOP, QT_TRANSLATE_NOOP("WindowStrings", "Stop it now!")},
    {ID_NEXT_FILE, QT_TRANSLATE_NOOP("WindowStrings", "Go to the next file")},
    {IDS_LOCAL_VOLUME, QT_TRANSLATE_NOOP("WindowStrings", "Local volume")},
    {IDS_CURRENT_POSITION, QT_TRANSLATE_NOOP("WindowStrings", "Current position")},
    {IDS_CALL_DURATION, QT_TRANSLATE_NOOP("WindowStrings", "Call duration")},
    {IDS_ACTIVE_CALL, QT_TRANSLATE_NOOP("WindowStrings", "Active call")},
    {IDS_NOT_TRANSMITTING,
     QT_TRANSLATE_NOOP("WindowStrings", "Skype is not connected or there is no active call, "
                                        "playback is local only")},
    {IDS_TRANSMITTING,
     QT_TRANSLATE_NOOP("WindowStrings",
                       "Skype is connected and a call is under way, the files played now are "
                       "transmitted to your party")},
    {ID_ADD_FILES, QT_TRANSLATE_NOOP("WindowStrings", "Add files")},
};

} // namespace

const char* LoadWindowString(int nId)
{
    for (const auto& [id, text] : kStrings) {
        if (id == nId)
            return text;
    }
    return nullptr;
}

const char* ToolTipFor(int nId, bool bTransmitting)
{
    switch (nId) {
    case ID_PREV_FILE:
    case ID_PLAY:
    case ID_PAUSE:
    case ID_STOP:
    case ID_NEXT_FILE:
    case ID_ADD_FILES:
        return LoadWindowString(nId);
    case IDC_COMBO_CALLS:
        return LoadWindowString(IDS_ACTIVE_CALL);
    case IDC_POSITION:
        return LoadWindowString(IDS_CURRENT_POSITION);
    case IDC_STATUS_ICON:
        return LoadWindowString(bTransmitting ? IDS_TRANSMITTING : IDS_NOT_TRANSMITTING);
    case IDC_LOCAL_VOLUME:
        return LoadWindowString(IDS_LOCAL_VOLUME);
    case IDC_CALL_DURATION:
        return LoadWindowString(IDS_CALL_DURATION);
    default:
        return nullptr;
    }
}

const char* AboutText()
{
    return QT_TRANSLATE_NOOP("WindowStrings", " The following libraries are used:\r\n"
                                              " * Id3lib\r\n"
                                              " * libsamplerate\r\n"
                                              "\r\n"
                                              " Keyboard Shortcuts:\r\n"
                                              "\tAdd files\t\t\tInsert\r\n"
                                              "\tToggle always-on-top\tCtrl+Shift+A\r\n"
                                              "\tPlay\t\t\t\tx\r\n"
                                              "\tStop\t\t\t\tv\r\n"
                                              "\tPause/resume\t\tc\r\n"
                                              "\tLast file\t\t\tz\r\n"
                                              "\tNext file\t\t\tb\r\n"
                                              "\tLocal volume up\t\tCtrl+Alt+Up\r\n"
                                              "\tLocal volume down\t\tCtrl+Alt+Down\r\n"
                                              "\tRemote volume up\t\tCtrl+Alt+Shift+Up\r\n"
                                              "\tRemote volume down\tCtrl+Alt+Shift+Down\r\n");
}
