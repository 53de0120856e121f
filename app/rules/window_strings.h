// The window's string table and which tool shows which tooltip.
#pragma once

// The text of a string id, or nullptr when there is none.
const char* LoadWindowString(int nId);

// The tooltip of a tool bar command or control id, or nullptr for a tool
// without one. The status icon's tip says whether the call's input is
// switched to the port.
const char* ToolTipFor(int nId, bool bTransmitting);

// The text of the About box.
const char* AboutText();
