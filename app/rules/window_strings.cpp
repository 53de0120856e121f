#include "window_strings.h"

#include <utility>

#include "window_ids.h"

namespace {

constexpr std::pair<int, const char*> kStrings[] = {
    {IDS_ABOUTBOX, "&About Voxreel..."},
    {ID_PREV_FILE, "Go to the previous file"},
    {ID_PLAY, "Play it now!"},
    {ID_PAUSE, "Pause it for a while"},
    {ID_STOP, "Stop it now!"},
    {ID_NEXT_FILE, "Go to the next file"},
    {IDS_LOCAL_VOLUME, "Local volume"},
    {IDS_CURRENT_POSITION, "Current position"},
    {IDS_CALL_DURATION, "Call duration"},
    {IDS_ACTIVE_CALL, "Active call"},
    {IDS_NOT_TRANSMITTING,
     "Skype is not connected or there is no active call, playback is local only"},
    {IDS_TRANSMITTING, "Skype is connected and a call is under way, the files played now are "
                       "transmitted to your party"},
    {ID_ADD_FILES, "Add files"},
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
    return " The following libraries are used:\r\n"
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
           "\tRemote volume down\tCtrl+Alt+Shift+Down\r\n";
}
