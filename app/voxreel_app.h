// CVoxreelApp: the program. Reads the command line, makes sure one Voxreel
// runs per session, finds the Callfeed plugin beside the program, and runs the
// main window until it closes: by its close button, a signal, the end of the
// desktop session or the media player interface.
#pragma once

class CVoxreelApp {
public:
    int Run(int argc, char** argv);
};
