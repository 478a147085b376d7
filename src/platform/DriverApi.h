#pragma once

#include <velmor.h>

// The eleven entry points of the driver library and its chip identity, bound by
// name. A pointer stays null when the library does not export the name; callers
// check before calling (an older library has no chip identity).
struct DriverApi {
    using EnumFn = int32_t(VELMOR_CALL*)();
    using OpenFn = int32_t(VELMOR_CALL*)(int32_t index);
    using HandleFn = int32_t(VELMOR_CALL*)(int32_t handle);
    using SetBp1Fn = int32_t(VELMOR_CALL*)(int32_t handle, int32_t value);
    using SetFlashInfoFn = int32_t(VELMOR_CALL*)(int32_t handle, int32_t kind, int32_t size);
    using SetWriteTimeFn = int32_t(VELMOR_CALL*)(int32_t handle, int32_t time);
    using ProgramFn = int32_t(VELMOR_CALL*)(int32_t handle, const uint8_t* data, uint32_t length,
                                            uint32_t address, uint32_t* done);
    using ReadFn = int32_t(VELMOR_CALL*)(int32_t handle, uint8_t* buffer, uint32_t length, uint32_t address,
                                         uint32_t* done);
    using GetFlashInfoFn = int32_t(VELMOR_CALL*)(int32_t handle, int32_t* kind, int32_t* code);
    using LastFailureFn = int32_t(VELMOR_CALL*)();
    using GetChipIdentityFn = int32_t(VELMOR_CALL*)(int32_t handle, VelmorChipIdentity* identity);
    using SetVerifyLaterFn = int32_t(VELMOR_CALL*)(int32_t handle, int32_t value);
    using GetEraseBlocksFn = int32_t(VELMOR_CALL*)(int32_t handle, VelmorEraseBlocks* blocks);
    using EraseRangeFn = int32_t(VELMOR_CALL*)(int32_t handle, uint32_t address, uint32_t length,
                                               uint32_t* done);

    EnumFn QuovixEnum = nullptr;
    OpenFn QuovixOpen = nullptr;
    HandleFn QuovixClose = nullptr;
    HandleFn QuovixUsbSelfTest = nullptr;
    SetBp1Fn QuovixSetBP1 = nullptr;
    SetFlashInfoFn QuovixSetFlashInfo = nullptr;
    SetWriteTimeFn QuovixSetWriteTime = nullptr;
    HandleFn QuovixInitFlash = nullptr;
    ProgramFn QuovixProgram = nullptr;
    ReadFn QuovixRead = nullptr;
    GetFlashInfoFn QuovixGetFlashInfo = nullptr;
    // Beside the eleven, absent from older libraries: why the last open, erase or
    // program of this thread failed (VELMOR_REASON_*).
    LastFailureFn QuovixLastFailure = nullptr;
    GetChipIdentityFn QuovixGetChipIdentity = nullptr;
    // Absent from older libraries: their erase and program then keep their own read-backs.
    SetVerifyLaterFn QuovixSetVerifyLater = nullptr;

    // Absent from older libraries: the library's and libusb's versions, for --version.
    using GetVersionFn = int32_t(VELMOR_CALL*)(char* buffer, int32_t size);
    GetVersionFn QuovixGetVersion = nullptr;
    // Absent from older libraries: a changed-only write then runs the whole auto sequence.
    GetEraseBlocksFn QuovixGetEraseBlocks = nullptr;
    EraseRangeFn QuovixEraseRange = nullptr;
};
