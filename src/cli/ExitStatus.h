#pragma once

// Exit statuses of the command-line tool. Scripts test them, so they never change
// meaning; --help and the README list them.
enum class ExitStatus : int {
    Success = 0,
    OperationFailed = 1,   // erase, program, read or blank check failed; chip not blank
    Usage = 2,             // bad command line
    NoProgrammer = 3,      // none attached, or held by the window or another job
    NoChip = 4,            // programmer without a usable chip
    FileError = 5,         // image unreadable, output unwritable, driver library missing, image too large
    VerifyDifference = 6,  // the chip differs from the file
};

inline int ExitCode(ExitStatus status) {
    return static_cast<int>(status);
}

// "success", "operation-failed", ... as --json reports the outcome.
const char* OutcomeName(ExitStatus status);
