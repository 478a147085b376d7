#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "cli/ExitStatus.h"
#include "platform/DriverApi.h"

// What the command line runs in: its streams, where locks and work files go, and
// optionally a driver table that stands in for loading the library.
struct CliEnvironment {
    FILE* in = stdin;  // an image given as "-"
    bool inIsTerminal = false;
    FILE* out = stdout;
    FILE* err = stderr;
    bool outIsTerminal = false;
    bool errIsTerminal = false;
    bool outClosed = false;  // the descriptor was closed at start (now /dev/null): output is lost
    bool errClosed = false;
    std::string lockDirectory;          // empty: the runtime directory, as the window's locks
    std::string tempDirectory;          // parent of the jobs' work directories; empty: $TMPDIR or /tmp
    std::string productDataDirectory;   // holds XJQT.uc, ending with "/"; empty: the current directory
    std::string startDirectory;         // relative file arguments are taken from here; empty: as given
    const DriverApi* driver = nullptr;  // set: used instead of loading the library
    std::function<double()> clock;      // empty: a steady clock
};

// "backup.bin" for programmer 2 of several: "backup-2.bin" (before the last
// extension of the name, or appended when the name has none).
std::string PerProgrammerFile(const std::string& path, int index);

// The whole tool: parses `arguments` (after the program's name), takes the locks,
// loads the driver, runs the job or, with --all, one job per attached programmer
// on its own thread, prints the results and returns the exit status; a failed
// write on standard output or error makes it a file error.
ExitStatus RunCommandLine(const std::vector<std::string>& arguments, const CliEnvironment& environment);
