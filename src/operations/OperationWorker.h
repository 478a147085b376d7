#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "operations/WorkerState.h"

// Device-change rule of the worker loop: given the number of notices counted
// since the rule last ran, true when a further quiet detection must follow at
// once (a count of 48 or more, unless it is 16 or 32 above a multiple of 48).
bool DeviceChangeRuleRepeats(int32_t noticeCount);

// The one worker thread. It runs the command in the slot, applies the
// device-change rule, stores 255 and parks until the window hands it the next
// command. Created once, alive as long as the window.
//
// Parking and handing over a command happen under one mutex, so a request that
// finds the worker idle starts exactly one run and a request made while it runs
// is dropped; a device-change notice is either counted before the rule runs or
// finds the worker parked and starts a detection, never lost in between.
class OperationWorker {
public:
    // Runs the operation of one code (1..9); codes without an operation never reach it.
    using RunCommand = std::function<void(uint8_t code)>;

    OperationWorker(WorkerState& state, RunCommand run);
    ~OperationWorker();  // requests quit and joins
    OperationWorker(const OperationWorker&) = delete;
    OperationWorker& operator=(const OperationWorker&) = delete;

    // Starts the thread; its first run executes the code already in the slot.
    void Start();
    // Window thread: stores `code` and starts exactly one run when the worker is
    // idle; dropped (false) while it runs, before Start and after a quit request.
    bool Request(uint8_t code);
    // Window thread: a device-change notice (counts, flags, and requests 7 when idle).
    void DeviceChanged();
    // Sets QuitRequested and wakes the worker; it ends at its next check.
    void RequestQuit();
    // Waits for the thread to end (after RequestQuit).
    void Join();
    bool IsIdle() const;
    bool HasEnded() const;
    // Waits until the worker is parked or has ended; false when `timeout` passed first.
    bool WaitUntilIdle(std::chrono::milliseconds timeout) const;

private:
    void Loop();
    // Step 3 of the loop, under m_mutex: true when a further quiet detection must follow.
    bool ApplyDeviceChangeRule();

    WorkerState& m_state;
    RunCommand m_run;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    mutable std::condition_variable m_idle;
    bool m_parked = false;
    bool m_ended = false;
    bool m_started = false;
    std::thread m_thread;
};
