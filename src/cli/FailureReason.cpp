#include "cli/FailureReason.h"

#include "cli/CliTexts.h"
#include "cli/ConsoleOutput.h"

void ExplainLibraryFailure(const DriverApi& api, JobResult& result, ConsoleOutput& console, int slot) {
    if (api.QuovixLastFailure == nullptr) return;
    const int32_t reason = api.QuovixLastFailure();
    if (reason == VELMOR_REASON_ACCESS_DENIED && result.exit == ExitStatus::NoProgrammer) {
        // Not absent: attached, but the device node is not the user's.
        result.reason = "access-denied";
        result.status = CliText::AccessDenied;
        console.Status(slot, result.status);
    } else if (reason == VELMOR_REASON_WRITE_PROTECTED && result.exit == ExitStatus::OperationFailed) {
        // The window's status text stays the last; the cause follows it.
        result.reason = "write-protected";
        console.Note(slot, CliText::WriteProtected);
    }
}
