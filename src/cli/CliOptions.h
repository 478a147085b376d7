#pragma once

#include <string>
#include <vector>

#include "cli/ExitStatus.h"

enum class CliCommand { Detect, Read, Write, Verify, Erase, Blank, Program };

// "detect", "read", ... as typed and as --json reports them.
const char* CommandName(CliCommand command);
// The FILE that means standard input (an image) or standard output (a read).
inline constexpr const char* StandardStreamFile = "-";

// Read, write, verify and program name a file.
bool CommandTakesFile(CliCommand command);
// Write, verify and program send a file's bytes to the chip.
bool CommandNeedsImage(CliCommand command);

struct CliOptions {
    CliCommand command = CliCommand::Detect;
    std::string file;
    bool all = false;
    bool json = false;
    bool allowOverflow = false;
    bool quiet = false;    // --quiet: no progress, no informational lines; failures still said
    std::string logPath;   // --log: trace of every driver call goes here; empty: none
    bool changed = false;  // write --changed: only the sectors that differ from the file
    int maxDifferences = 16;
    std::string chip;        // --chip: model text or database part name; empty: as identified
    std::string driverPath;  // empty: beside the program, then the system's library path
};

// What the command line asks for: options to run, or a text to print and a status
// to end with (help, version, a usage error).
struct ParsedCommandLine {
    bool run = false;
    CliOptions options;
    std::string output;    // help or version text (standard output)
    std::string error;     // usage error (standard error)
    bool version = false;  // output is the version line: the driver library's lines follow it
    ExitStatus exit = ExitStatus::Success;
};

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);
