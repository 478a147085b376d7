#pragma once

#include <atomic>
#include <cstdint>

// Command codes of the one-byte command slot.
namespace WorkerCode {
inline constexpr uint8_t None = 0;
inline constexpr uint8_t Auto = 1;
inline constexpr uint8_t Erase = 2;
inline constexpr uint8_t Program = 3;
inline constexpr uint8_t Verify = 4;
inline constexpr uint8_t ReadChip = 5;
inline constexpr uint8_t BlankCheck = 6;
inline constexpr uint8_t DetectQuiet = 7;
inline constexpr uint8_t DetectWithMessage = 8;
inline constexpr uint8_t Find = 9;
inline constexpr uint8_t ChangedWrite = 10;
inline constexpr uint8_t Idle = 255;
}  // namespace WorkerCode

// State shared between the window thread and the worker, each value read and
// written whole.
struct WorkerState {
    std::atomic<uint8_t> WorkerCommand{WorkerCode::None};
    std::atomic<int32_t> QuitRequested{0};
    std::atomic<bool> DeviceChangePending{false};
    std::atomic<int32_t> DeviceChangeCount{0};

    std::atomic<bool> ProgramBusy{false};
    std::atomic<bool> EraseBusy{false};
    std::atomic<bool> VerifyBusy{false};
    std::atomic<bool> ReadBusy{false};
    std::atomic<bool> BlankCheckBusy{false};

    bool AnyBusy() const { return ProgramBusy || EraseBusy || VerifyBusy || ReadBusy || BlankCheckBusy; }
    // Program and verify read the work copy: paging and cell edits wait for them.
    bool WorkCopyInUse() const { return ProgramBusy || VerifyBusy; }
};

// Sets a busy flag for the life of a scope, so every exit clears it.
class BusyScope {
public:
    explicit BusyScope(std::atomic<bool>& flag) : m_flag(flag) { m_flag = true; }
    ~BusyScope() { m_flag = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    std::atomic<bool>& m_flag;
};
