// The program's English texts as the window shows them: in the language of
// the translations installed, English when there are none. The texts keep
// their English form everywhere else (the call client, files, logs); they
// are translated only here, where a person reads them.
#pragma once

#include <QString>

#include <cstdint>
#include <span>
#include <string_view>

// A text of the window's string table (LoadWindowString), empty for none.
QString ShownWindowString(int nId);
// The tooltip of a tool or control (ToolTipFor), empty for none.
QString ShownToolTip(int nId, bool bTransmitting);
// The About box's text, without the carriage returns of its table form.
QString ShownAboutText();

// A status text as the status line shows it: the known formats are
// recognised with their arguments (codes, counts, the call client's text,
// a reason appended after " - ") and the translated format is filled with
// them; any other text is shown as it is.
QString ShownStatus(std::string_view strText);

// An entry of the call list: the partner's name as the client sends it, or
// the program's own "Call <id>" for a call without a usable name.
QString ShownCallName(std::string_view strText, std::int32_t nCallId);

// The English formats ShownStatus recognises, for tests to check that every
// text the program sets has one.
std::span<const char* const> StatusFormats();
