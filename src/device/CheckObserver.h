#pragma once

#include <optional>

#include "platform/DriverApi.h"

// What a connection check reports as it goes, for a front end that shows it (the
// window's model list, labels and commands). Calls come on the thread that runs
// the check, in this order: start, a selected row (if any), the identity (only
// from a detection), the end.
class CheckObserver {
public:
    virtual ~CheckObserver() = default;
    // A check begins; nothing has been asked of the driver yet.
    virtual void CheckStarting() = 0;
    // The check selected this model row; the model holds it already.
    virtual void ModelRowSelected(int row) = 0;
    // Who the chip of a detection is; nothing when there was no chip or the driver cannot tell.
    virtual void IdentityFound(const std::optional<VelmorChipIdentity>& identity) = 0;
    // The check ended in this DeviceState.
    virtual void CheckEnded(int state) = 0;
};
