#pragma once

#include <cstdint>

#include "device/DeviceState.h"

// What a chip operation ended with. Each front end puts it into its own words:
// the window into status texts, boxes and sounds (as the operation runs), the
// command-line tool into an exit status and a JSON object.
enum class OutcomeKind {
    Success,
    NoProgrammer,    // none answered, or it failed to open or self-test
    NoChip,          // the programmer answered, the chip did not
    ProgrammerBusy,  // held by the window or by another job
    DriverFailed,    // a driver call failed; `address` is where
    FileError,       // no image open, or the work copy or chip work file failed at `address`
    NotBlank,        // the blank check met a programmed byte in the block at `address`
    Differences,     // verify found `differences` bytes unlike the image's
    Refused,         // the user declined (an image larger than the chip)
    Cancelled,       // the user stopped a verify at a difference
};

struct OperationOutcome {
    OutcomeKind kind = OutcomeKind::Success;
    uint32_t address = 0;     // where a driver or file failure, or the first programmed block, was
    uint64_t bytes = 0;       // chip bytes covered, as far as the operation came
    int32_t differences = 0;  // bytes verify found differing (also when cancelled)
    uint32_t sectors = 0;     // a changed-only write: sectors compared (0: it ran the auto sequence)
    uint32_t touched = 0;     // and of those, the ones it erased or programmed

    bool succeeded() const { return kind == OutcomeKind::Success; }

    static OperationOutcome Of(OutcomeKind kind, uint64_t bytes = 0, uint32_t address = 0) {
        OperationOutcome outcome;
        outcome.kind = kind;
        outcome.bytes = bytes;
        outcome.address = address;
        return outcome;
    }
    // The outcome of a connection check or a detection that ended in `state`.
    static OperationOutcome OfDeviceState(int state) {
        if (state == NoProgrammer) return Of(OutcomeKind::NoProgrammer);
        if (state == NoChip) return Of(OutcomeKind::NoChip);
        return Of(OutcomeKind::Success);
    }
};
