// The add-files dialog: several existing audio files, the formats the
// decoders read offered first.
#pragma once

#include <filesystem>
#include <vector>

class QWidget;

std::vector<std::filesystem::path> ChooseAudioFiles(QWidget* pOwner);
