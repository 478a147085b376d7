#pragma once

#include <string>

// Where a program started outside a prepared work directory works: an installed
// copy has no XJQT.uc in whatever directory the desktop or the shell starts it, so
// it works in a directory of the user's own, filled once from the installed data.
struct WorkDirectorySetting {
    std::string currentDirectory;  // where the program was started
    std::string xdgDataHome;       // $XDG_DATA_HOME, may be empty
    std::string home;              // $HOME, may be empty
    std::string installedData;     // the installed data folder (XJQT.uc, sound/, manual/, ...)
};

struct WorkDirectoryChoice {
    enum class Kind {
        Current,      // the start directory holds XJQT.uc: work there as always
        PerUser,      // the per-user directory, created or completed from the installed data
        Unavailable,  // no per-user directory could be made: work in the start directory
    };
    Kind kind = Kind::Current;
    std::string directory;  // the directory to work in, ending with "/"
    std::string problem;    // Unavailable: why, for standard error
};

// Decides the work directory and creates or completes the per-user one. Files
// already there are never replaced, so a user's own velmor-sim.conf, chip file,
// log and settings survive every start (and an upgrade).
WorkDirectoryChoice ChooseWorkDirectory(const WorkDirectorySetting& setting);

// `path` as the user meant it when typed in `baseDirectory`: absolute paths, ""
// and "-" unchanged.
std::string ResolveAgainst(const std::string& baseDirectory, const std::string& path);

// The setting of this process: current directory, environment, and the data
// folder installed beside the program (<prefix>/share/xjqt-tarlo for
// <prefix>/bin/<program>).
WorkDirectorySetting ProcessWorkDirectorySetting();

// Chooses for this process and changes into the per-user directory when that is
// the choice; a directory that cannot be made is named on standard error, and the
// program goes on in its start directory (where its own checks report what is
// missing). Returns the choice.
WorkDirectoryChoice EnterWorkDirectory(const char* programName);
