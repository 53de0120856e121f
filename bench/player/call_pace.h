// How whole the call hears files while the local output stalls: two files
// played back to back into a loopback client, with a local sink nobody
// takes anything from.
#pragma once

#include <filesystem>

struct CallPace {
    double m_dBreakMsMax = 0; // the longest hole (20 ms frames) inside either file on the wire
    double m_dGapMs = 0;      // the microphone alone between the two files
};

// loud and quiet: tones of 500 Hz and 1000 Hz, told apart on the wire by
// their frequency. False when a file does not play to its end or is not heard.
bool MeasureCallPace(const std::filesystem::path& loud, const std::filesystem::path& quiet,
                     int nPort, CallPace* pPace);
