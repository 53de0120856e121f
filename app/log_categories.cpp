#include "log_categories.h"

Q_LOGGING_CATEGORY(lcPlayer, "voxreel.player", QtWarningMsg)
Q_LOGGING_CATEGORY(lcCalls, "voxreel.calls", QtWarningMsg)
Q_LOGGING_CATEGORY(lcAudio, "voxreel.audio", QtWarningMsg)
