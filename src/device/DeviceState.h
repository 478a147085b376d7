#pragma once

// Result of a connection check and of the detections.
enum DeviceState : int {
    NoProgrammer = 0,  // absent, failed to open, or did not answer the self-test
    NoChip = 1,        // programmer present, chip set-up failed
    ChipReady = 2,
};
