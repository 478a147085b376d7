#pragma once

#include <atomic>
#include <cstdint>

#include "device/DeviceState.h"
#include "device/DriverApi.h"

class ChipModelSelection;
class CommandStates;
class FileImage;

// The programmer connection: one handle for the whole program, opened by
// CheckDevice and closed by CloseDevice. A missing entry point counts as a failed
// call, never as a call through a null pointer.
class Device {
public:
    Device(const DriverApi& api, ChipModelSelection& model, CommandStates& commands, const FileImage& image);

    // 0 no programmer, 1 programmer without a usable chip, 2 chip ready. Leaves
    // the connection open whenever the open was reached.
    int CheckDevice();
    void CloseDevice();
    // Asks the programmer for the chip and selects the matching model row.
    void QueryChip();

    int32_t handle() const { return m_handle; }
    const DriverApi& api() const { return m_api; }

    // Guarded driver calls: false (or -1 for transfers) when the entry point is missing.
    bool SetFlashInfo(int32_t kind, int32_t size);
    bool SetWriteTime(int32_t time);
    bool InitFlash();
    // Bytes programmed / read as the driver reports them, or -1 when the call failed.
    int64_t Program(const uint8_t* data, uint32_t length, uint32_t address);
    int64_t Read(uint8_t* buffer, uint32_t length, uint32_t address);

private:
    // Steps 3..5 of the check, shared with the detections; reports how far it got.
    int OpenAndPrepare();

    DriverApi m_api;
    ChipModelSelection& m_model;
    CommandStates& m_commands;
    const FileImage& m_image;
    std::atomic<int32_t> m_handle{0};
};
