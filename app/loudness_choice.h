// The settings dialog's choice of loudness target: off, or one of the
// common targets (LUFS), the stored one kept when it is none of them.
#pragma once

#include <string>

class QComboBox;

// strCurrent: the stored text ("Off" or LUFS, as in LoudnessTargetText).
QComboBox* NewLoudnessChoice(const std::string& strCurrent);
std::string ChosenLoudnessTarget(const QComboBox* pCombo);
