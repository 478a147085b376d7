#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "operations/WorkerState.h"

// The one worker thread. It runs the command in the slot, applies the
// device-change rule, stores 255 and parks until the window hands it the next
// command. Created once, alive as long as the window.
class OperationWorker {
public:
    using RunCommand = std::function<void(uint8_t code)>;

    OperationWorker(WorkerState& state, RunCommand run);
    ~OperationWorker();  // requests quit and joins

    // Starts the thread; its first run executes the code already in the slot.
    void Start();
    // Window thread: stores `code` and starts exactly one run when the worker is
    // idle; dropped (false) while it runs.
    bool Request(uint8_t code);
    // Window thread: a device-change notice (counts, flags, and requests 7).
    void DeviceChanged();
    // Sets QuitRequested and wakes the worker; it ends at its next check.
    void RequestQuit();
    // Waits for the thread to end (after RequestQuit).
    void Join();
    bool IsIdle() const;
    bool HasEnded() const;

private:
    void Loop();
    // Step 3 of the loop: true when a further quiet detection must follow at once.
    bool ApplyDeviceChangeRule();

    WorkerState& m_state;
    RunCommand m_run;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_parked = false;
    bool m_ended = false;
    std::thread m_thread;
};
