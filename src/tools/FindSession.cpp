#include "tools/FindSession.h"

#include "operations/OperationWorker.h"
#include "operations/WorkerState.h"
#include "ports/MessageBoxes.h"
#include "ports/WindowServices.h"

namespace {
constexpr uint8_t kHitShown = 0;
constexpr uint8_t kContinue = 1;
constexpr uint8_t kStop = 2;
}  // namespace

FindSession::FindSession(WorkerState& state, OperationWorker& worker, WindowLifetime& lifetime,
                         MessageBoxes& boxes)
    : m_state(state), m_worker(worker), m_lifetime(lifetime), m_boxes(boxes) {}

bool FindSession::Press(const std::string& typed, FindMode mode, bool firstPress) {
    const PatternResult built = MakeSearchPattern(typed, mode);
    if (built.error != PatternError::None) {
        m_boxes.Show(built.error == PatternError::Empty ? EmptyMessage : BadHexMessage, "提示",
                     MessageIcon::Exclamation);
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        m_searchPattern = built.pattern;
    }

    bool started = true;
    if (firstPress || m_searchPattern != m_lastSearchPattern) {
        // A new dialog, or new data: whatever search waits is replaced.
        StopAndWait();
        started = StartSearch();
    } else {
        std::unique_lock lock(m_mutex);
        if (m_phase != Phase::Idle) {
            Post(kContinue);
        } else {
            lock.unlock();
            // The last search ended: the same data is sought again from the start.
            started = StartSearch();
        }
    }
    if (started) m_lastSearchPattern = m_searchPattern;
    return started || !firstPress;
}

void FindSession::DialogClosed() {
    std::lock_guard lock(m_mutex);
    Post(kStop);
}

bool FindSession::Searching() const {
    std::lock_guard lock(m_mutex);
    return m_phase != Phase::Idle;
}

void FindSession::Post(uint8_t code) {
    if (m_phase == Phase::Requested) {
        // The worker loop has yet to read its 9 from the slot: nothing may overwrite it.
        if (code == kStop) m_pendingStop = true;
        return;
    }
    if (m_phase != Phase::Running) return;
    m_state.WorkerCommand = code;
    m_answer.notify_all();
}

void FindSession::StopAndWait() {
    {
        std::lock_guard lock(m_mutex);
        if (m_phase == Phase::Idle) return;
        Post(kStop);
    }
    // The search may show its end message meanwhile: the window keeps serving it.
    m_lifetime.ServeUntil([this] { return !Searching() && m_worker.IsIdle(); });
}

bool FindSession::StartSearch() {
    // A quiet detection is short: the search waits for it. A chip operation is not.
    if (!m_worker.IsIdle() && !m_state.AnyBusy())
        m_lifetime.ServeUntil(
            [this] { return m_worker.IsIdle() || m_state.AnyBusy() || m_worker.HasEnded(); });
    {
        std::lock_guard lock(m_mutex);
        m_phase = Phase::Requested;
        m_pendingStop = false;
    }
    if (m_worker.Request(WorkerCode::Find)) return true;
    {
        std::lock_guard lock(m_mutex);
        m_phase = Phase::Idle;
    }
    m_boxes.Show(RefusedMessage, "提示", MessageIcon::Exclamation);
    return false;
}

std::string FindSession::SearchStarted() {
    std::lock_guard lock(m_mutex);
    m_phase = Phase::Running;
    if (m_pendingStop) m_state.WorkerCommand = kStop;
    m_pendingStop = false;
    return m_searchPattern;
}

bool FindSession::WaitAtHit() {
    std::unique_lock lock(m_mutex);
    if (m_state.WorkerCommand != kStop) m_state.WorkerCommand = kHitShown;
    m_answer.wait(lock, [this] {
        const uint8_t code = m_state.WorkerCommand;
        return code == kContinue || code == kStop || m_state.QuitRequested == 1;
    });
    return m_state.WorkerCommand == kContinue && m_state.QuitRequested != 1;
}

bool FindSession::StopRequested() const {
    std::lock_guard lock(m_mutex);
    return m_state.WorkerCommand == kStop || m_state.QuitRequested == 1;
}

void FindSession::SearchEnded() {
    std::lock_guard lock(m_mutex);
    m_phase = Phase::Idle;
}
