#pragma once

#include "operations/OperationOutcome.h"

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

// The exit status an operation's outcome stands for.
inline ExitStatus ExitStatusOf(const OperationOutcome& outcome) {
    switch (outcome.kind) {
        case OutcomeKind::Success:
            return ExitStatus::Success;
        case OutcomeKind::NoProgrammer:
        case OutcomeKind::ProgrammerBusy:
            return ExitStatus::NoProgrammer;
        case OutcomeKind::NoChip:
            return ExitStatus::NoChip;
        case OutcomeKind::FileError:
        case OutcomeKind::Refused:  // the image does not fit and --allow-overflow was not given
            return ExitStatus::FileError;
        case OutcomeKind::Differences:
        case OutcomeKind::Cancelled:  // stopped at a difference
            return ExitStatus::VerifyDifference;
        case OutcomeKind::DriverFailed:
        case OutcomeKind::NotBlank:
            break;
    }
    return ExitStatus::OperationFailed;
}

// "success", "operation-failed", ... as --json reports the outcome.
const char* OutcomeName(ExitStatus status);
