#include "operations/OperationWorker.h"

bool DeviceChangeRuleRepeats(int32_t noticeCount) {
    int32_t n = noticeCount;
    if (n > 48 && (n % 48 == 16 || n % 48 == 32)) n %= 48;
    return n >= 48;
}

OperationWorker::OperationWorker(WorkerState& state, RunCommand run)
    : m_state(state), m_run(std::move(run)) {}

OperationWorker::~OperationWorker() {
    RequestQuit();
    Join();
}

void OperationWorker::Start() {
    std::lock_guard lock(m_mutex);
    if (m_started) return;
    m_started = true;
    m_thread = std::thread([this] { Loop(); });
}

bool OperationWorker::Request(uint8_t code) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_parked || m_ended || m_state.QuitRequested == 1) return false;
        m_state.WorkerCommand = code;
        m_parked = false;
    }
    m_wake.notify_one();
    return true;
}

void OperationWorker::DeviceChanged() {
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        ++m_state.DeviceChangeCount;
        m_state.DeviceChangePending = true;
        if (m_parked && !m_ended && m_state.QuitRequested != 1) {
            m_state.WorkerCommand = WorkerCode::DetectQuiet;
            m_parked = false;
            wake = true;
        }
    }
    if (wake) m_wake.notify_one();
}

void OperationWorker::RequestQuit() {
    {
        std::lock_guard lock(m_mutex);
        m_state.QuitRequested = 1;
        m_parked = false;
    }
    m_wake.notify_one();
}

void OperationWorker::Join() {
    if (!m_thread.joinable()) return;
    if (m_thread.get_id() == std::this_thread::get_id()) {
        // Destroyed from inside a command: the thread cannot wait for itself.
        m_thread.detach();
        return;
    }
    m_thread.join();
}

bool OperationWorker::IsIdle() const {
    std::lock_guard lock(m_mutex);
    return m_parked;
}

bool OperationWorker::HasEnded() const {
    std::lock_guard lock(m_mutex);
    return m_ended;
}

bool OperationWorker::WaitUntilIdle(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_idle.wait_for(lock, timeout, [this] { return m_parked || m_ended; });
}

bool OperationWorker::ApplyDeviceChangeRule() {
    int32_t n = m_state.DeviceChangeCount.exchange(0);
    if (DeviceChangeRuleRepeats(n)) return true;  // the flag stays set: the rule runs again
    m_state.DeviceChangePending = false;
    return false;
}

void OperationWorker::Loop() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_state.QuitRequested == 1) break;

        const uint8_t code = m_state.WorkerCommand;
        if (code >= WorkerCode::Auto && code <= WorkerCode::ChangedWrite) {
            lock.unlock();
            m_run(code);
            lock.lock();
        }

        if (m_state.DeviceChangePending && ApplyDeviceChangeRule()) {
            m_state.WorkerCommand = WorkerCode::DetectQuiet;
            continue;
        }

        m_state.WorkerCommand = WorkerCode::Idle;
        m_parked = true;
        m_idle.notify_all();
        // A quit requested while the command ran finds the worker here.
        m_wake.wait(lock, [this] { return !m_parked || m_state.QuitRequested == 1; });
    }
    m_parked = false;
    m_ended = true;
    m_idle.notify_all();
}
