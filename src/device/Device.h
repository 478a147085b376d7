#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

#include "device/DeviceState.h"
#include "platform/DriverApi.h"

class CheckObserver;
class ChipModelSelection;

// The programmer connection: one handle for the whole program (per job on the
// command line), opened by
// CheckDevice and closed by CloseDevice. A missing entry point counts as a failed
// call, never as a call through a null pointer. One thread at a time uses it.
class Device {
public:
    Device(const DriverApi& api, ChipModelSelection& model);

    // Who hears the checks (the window); none on the command line. Set before the worker runs.
    void SetObserver(CheckObserver* observer) { m_observer = observer; }

    // Replaces the entry point table (binding at start-up, before the worker runs).
    void SetApi(const DriverApi& api) { m_api = api; }
    // Which of the attached programmers this connection opens (the window: always 0).
    void SetIndex(int32_t index) { m_index = index; }
    int32_t index() const { return m_index; }

    // 0 no programmer, 1 programmer without a usable chip, 2 chip ready. Leaves
    // the connection open whenever the open was reached. The model holds the row
    // the chip selected; the observer hears the check.
    int CheckDevice();
    // A detection's check: as CheckDevice, then closes the connection before the
    // observer hears the identity and the end; the identity stays readable.
    int Probe();
    void CloseDevice();
    // Asks the programmer for the chip and selects the matching model row; a
    // forced row (the command line's --chip) wins over what the chip answers.
    void QueryChip();
    // -1: none.
    void ForceModelRow(int row) { m_forcedRow = row; }
    // Asks the driver who the chip is; kept until the next check.
    void QueryIdentity();
    // The chip identity of the last check; empty when there was no chip or the
    // driver cannot tell.
    const std::optional<VelmorChipIdentity>& identity() const { return m_identity; }

    int32_t handle() const { return m_handle; }
    const DriverApi& api() const { return m_api; }

    // Guarded driver calls: false (or -1 for transfers) when the entry point is missing.
    bool SetFlashInfo(int32_t kind, int32_t size);
    bool SetWriteTime(int32_t time);
    bool InitFlash();
    // Tells the driver the caller reads the whole chip back after its erase and
    // programs, so they need not read back themselves. False when the driver
    // cannot be told (it then keeps its read-backs, which costs only time).
    bool SetVerifyLater(bool value);
    // Bytes programmed / read as the driver reports them, or -1 when the call failed.
    int64_t Program(const uint8_t* data, uint32_t length, uint32_t address);
    int64_t Read(uint8_t* buffer, uint32_t length, uint32_t address);

private:
    // The connection part of both checks: enumerate, open, self-test, prepare the
    // chip and query it. Returns the state reached; the connection stays open
    // whenever the open was reached.
    int OpenAndPrepare();
    // A row the chip selected: into the model, then to the observer.
    void SelectRow(int row);

    DriverApi m_api;
    ChipModelSelection& m_model;
    CheckObserver* m_observer = nullptr;
    std::atomic<int32_t> m_handle{0};
    int32_t m_index = 0;
    int m_forcedRow = -1;
    std::optional<VelmorChipIdentity> m_identity;
};
