// The main window's control ids, command ids and resource ids. Controls carry
// their id so that code and tests find them by it.
#pragma once

enum ControlId : int {
    IDC_LIST_FILES = 1000,
    IDC_COMBO_CALLS = 1002,
    IDC_NOW_PLAYING = 1006,
    IDC_TIME = 1007,
    IDC_POSITION = 1015,
    IDC_TOOLBAR_PLACEHOLDER = 1017,
    IDC_STATUS_ICON = 1018,
    IDC_STATUS = 1019,
    IDC_LOCAL_VOLUME = 1021,
    IDC_CALL_DURATION = 1022,
    IDC_REMOTE_VOLUME = 1023,
    IDC_BALANCE = 1024,
    IDC_ABOUT_TEXT = 1025,
};

enum CommandId : int {
    ID_PREV_FILE = 102,
    ID_PLAY = 103,
    ID_PAUSE = 104,
    ID_STOP = 105,
    ID_NEXT_FILE = 106,
    ID_ADD_FILES = 1010,
    ID_REMOVE_FILES = 1011,
    ID_ALWAYS_ON_TOP = 32784,
    ID_LOCAL_VOLUME_UP = 32786,
    ID_LOCAL_VOLUME_DOWN = 32787,
    ID_REMOTE_VOLUME_UP = 32788,
    ID_REMOTE_VOLUME_DOWN = 32789,
    IDM_ABOUTBOX = 0x0010,
    IDM_ALWAYSONTOP = 0x0020,
};

enum ResourceId : int {
    IDR_MAINFRAME = 128,        // the program icon
    IDI_NOT_TRANSMITTING = 140, // status icon: no client on the port
    IDI_CLIENT_CONNECTED = 141, // status icon: the call client is on the port
    IDB_PLAYING_MARK = 145,
    IDS_ABOUTBOX = 101,
    IDS_LOCAL_VOLUME = 110,
    IDS_CURRENT_POSITION = 111,
    IDS_CALL_DURATION = 112,
    IDS_ACTIVE_CALL = 113,
    IDS_NOT_TRANSMITTING = 152,
    IDS_TRANSMITTING = 153,
};
