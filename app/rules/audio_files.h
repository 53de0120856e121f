// Which files the window adds: the audio formats it offers in the file dialog
// and the expansion of dropped folders into the audio files inside them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// True when the file's extension is one of the audio formats the installed
// decoders read (compared without regard to case).
bool IsAudioFileName(const std::filesystem::path& path);

// The file dialog's filters, "Name (*.a *.b)" each, the first selected.
std::vector<std::string> AudioFileDialogFilters();

// Files are kept as they are; folders become the audio files below them, in
// name order, depth first. Unreadable folders add nothing.
std::vector<std::filesystem::path> ExpandDroppedPath(const std::filesystem::path& path);
