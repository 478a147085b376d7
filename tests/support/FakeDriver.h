#pragma once

// An in-process stand-in for the driver library: a DriverApi table of plain C
// functions that reach the one live FakeDriver through a static pointer. It
// simulates a chip's memory (erase fills 0xFF, programming can only clear bits
// and fails when the bytes do not read back), refuses what the library refuses
// (a second Open, Close of an unknown handle, SetFlashInfo of a kind other than 5,
// transfers and the erases before SetFlashInfo, GetFlashInfo without its pointers,
// a block erase that is unaligned or runs past the size SetFlashInfo gave),
// records every call with its arguments in order, and injects faults: failure
// on the Nth call, short transfers, zero and over-reports, missing entry points.
// Thread-safe: the worker calls it while the test thread inspects it.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/DriverApi.h"

enum class FakeEntry {
    Enum,
    Open,
    Close,
    UsbSelfTest,
    SetBP1,
    SetFlashInfo,
    SetWriteTime,
    InitFlash,
    Program,
    Read,
    GetFlashInfo,
    SetVerifyLater,
    GetEraseBlocks,
    EraseRange,
};

struct FakeCall {
    FakeEntry entry;
    std::vector<int64_t> args;  // integer arguments as passed, handle first; pointers left out
    std::vector<uint8_t> data;  // the bytes passed to QuovixProgram
    // "QuovixRead(7,8192,0)" - the name and the integer arguments.
    std::string Text() const;
};

std::string EntryName(FakeEntry entry);

class FakeDriver {
public:
    static constexpr int32_t kDefaultHandle = 7;

    // Becomes the instance the table reaches; only one may live at a time.
    FakeDriver();
    ~FakeDriver();
    FakeDriver(const FakeDriver&) = delete;
    FakeDriver& operator=(const FakeDriver&) = delete;

    // Every entry point, except the ones removed.
    DriverApi Api() const;
    void Remove(FakeEntry entry);

    // The chip in the socket. Its size also drives the default GetFlashInfo answer
    // (kind 5, code 16 + log2(size / 128 KiB)) when it is a power of two >= 128 KiB.
    void SetChip(std::vector<uint8_t> contents);
    void SetChipSize(size_t size, uint8_t fill = 0xFF);
    std::vector<uint8_t> Chip() const;
    void SetChipInfo(int32_t kind, int32_t code);
    void SetOpenHandle(int32_t handle);
    // What QuovixGetEraseBlocks reports (default: count 0, unknown). QuovixEraseRange
    // needs the smallest block known and address and length aligned to it.
    void SetEraseBlocks(const VelmorEraseBlocks& blocks);

    // Result of every call of `entry` not otherwise scripted (default: success,
    // Enum 1, Open the handle).
    void SetResult(FakeEntry entry, int32_t result);
    // Results of the next calls, in order; then the default again.
    void QueueResults(FakeEntry entry, std::vector<int32_t> results);
    // The n-th call (1-based, counted per entry point) returns 0.
    void FailCall(FakeEntry entry, int n);
    // The n-th Program or Read call succeeds but reports `done` bytes (0, short,
    // or more than asked); only min(done, length) bytes are really transferred.
    // On EraseRange it sets the bytes erased before a failure (with FailCall).
    void ReportOnCall(FakeEntry entry, int n, uint32_t done);
    // Every Program or Read transfers and reports at most `maxBytes`.
    void LimitTransfers(FakeEntry entry, uint32_t maxBytes);

    // What QuovixLastFailure reports after a failed Open, InitFlash or Program
    // (VELMOR_REASON_NONE after one that succeeded).
    void SetFailureReason(int32_t reason);
    int32_t LastFailure() const;

    std::vector<FakeCall> Calls() const;
    std::vector<std::string> CallTexts() const;
    std::vector<std::string> CallTexts(FakeEntry entry) const;
    int CallCount(FakeEntry entry) const;
    // Breaches of the calling contract seen so far (length outside 1..8192, done
    // not holding the address on entry, a call on a handle that is not open -
    // which also fails, as on a real programmer - and SetBP1 called at all).
    std::vector<std::string> Violations() const;
    void ClearCalls();

    // Runs on the calling thread after each call took effect, outside the lock,
    // so it may inspect the fake or block the caller.
    void SetHook(std::function<void(const FakeCall&)> hook);

    // The table's entry points forward here.
    int32_t Enter(FakeCall call, uint8_t* readBuffer, const uint8_t* programData, uint32_t* done,
                  int32_t* kind, int32_t* code, VelmorEraseBlocks* blocks = nullptr);

private:
    struct Override {
        bool fail = false;
        bool hasReport = false;
        uint32_t report = 0;
    };

    int32_t Execute(const FakeCall& call, int index, uint8_t* readBuffer, const uint8_t* programData,
                    uint32_t* done, int32_t* kind, int32_t* code, VelmorEraseBlocks* blocks);
    int32_t EraseRange(const FakeCall& call, const Override& over, int32_t result, uint32_t* done);
    void CheckContract(const FakeCall& call, const uint32_t* done);

    mutable std::mutex m_mutex;
    std::set<FakeEntry> m_removed;
    std::vector<uint8_t> m_chip;
    bool m_chipInfoSet = false;
    int32_t m_kind = 0;
    int32_t m_code = 0;
    int32_t m_handle = kDefaultHandle;
    int32_t m_openHandle = 0;
    bool m_isOpen = false;
    bool m_chipSetUp = false;
    int64_t m_setUpSize = 0;
    VelmorEraseBlocks m_eraseBlocks{};
    std::map<FakeEntry, int32_t> m_results;
    std::map<FakeEntry, std::vector<int32_t>> m_queued;
    std::map<std::pair<FakeEntry, int>, Override> m_overrides;
    std::map<FakeEntry, uint32_t> m_limits;
    std::map<FakeEntry, int> m_counts;
    std::vector<FakeCall> m_calls;
    std::vector<std::string> m_violations;
    std::function<void(const FakeCall&)> m_hook;
    int32_t m_failureReason = 0;
    int32_t m_lastFailure = 0;
};
