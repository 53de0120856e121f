// Which files the window adds: the audio formats it offers in the file dialog
// and the expansion of dropped folders into the audio files inside them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "playlist/playlist.h"

// True when the file's extension is one of the audio formats the installed
// decoders read (compared without regard to case).
bool IsAudioFileName(const std::filesystem::path& path);

// The file dialog's filters, "Name (*.a *.b)" each, the first selected.
std::vector<std::string> AudioFileDialogFilters();

// What adding a path adds: a file as it is; a folder, the audio files below it
// in name order, depth first (an unreadable folder adds nothing); an M3U
// playlist, its entries, relative ones resolved against the playlist's own
// folder, with their #EXTINF titles and durations. Items whose title is empty
// still need describing.
std::vector<PlaylistItem> ExpandAddedPath(const std::filesystem::path& path);
