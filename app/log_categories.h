// The program's Qt logging categories. Warnings show by default; the rest
// with QT_LOGGING_RULES, e.g. "voxreel.*=true" or "voxreel.calls.debug=true".
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPlayer) // "voxreel.player": files that fail or end
Q_DECLARE_LOGGING_CATEGORY(lcCalls)  // "voxreel.calls": the call client's calls and our input
Q_DECLARE_LOGGING_CATEGORY(lcAudio)  // "voxreel.audio": microphone, outputs, Voxreel microphone
