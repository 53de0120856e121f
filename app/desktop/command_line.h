// The program's command line: voxreel [--play] [FILE|FOLDER|PLAYLIST.m3u ...].
#pragma once

#include <QStringList>

#include <filesystem>
#include <vector>

struct CCommandLine {
    bool bPlay = false;                       // play the first file added
    std::vector<std::filesystem::path> paths; // absolute, in order
};

// Reads the arguments (the program's name first). --help and --version print
// their text and end the program, as does a wrong option (with its message).
CCommandLine ParseCommandLine(const QStringList& arguments);
