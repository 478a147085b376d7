#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "tools/SearchPattern.h"

class MessageBoxes;
class OperationWorker;
class WindowLifetime;
struct WorkerState;

// The find's two sides and the command slot between them. The dialog (window
// thread) starts a search with code 9, continues one waiting at a hit with 1 and
// stops it with 2; the search (worker) stores 0 at each hit and waits, without
// polling, until the dialog answers. Codes 1 and 2 are stored under the
// session's mutex and announced, so the waiting search never misses one.
//
// SearchPattern and LastSearchPattern live here, one pair for the program.
class FindSession {
public:
    static constexpr const char* EmptyMessage = "请输入要查找的数据！  ";
    static constexpr const char* BadHexMessage = "输入的16进制数据格式错误！   ";
    static constexpr const char* RefusedMessage = "当前不能执行此操作！   ";

    FindSession(WorkerState& state, OperationWorker& worker, WindowLifetime& lifetime, MessageBoxes& boxes);

    // --- Window thread: the dialog ---
    // The dialog's button: `firstPress` while it reads "确定". True when the
    // button reads "下一个" afterwards (the press started or continued a search).
    bool Press(const std::string& typed, FindMode mode, bool firstPress);
    // The dialog closed: a search waiting at a hit stops; one still scanning
    // stops at its next hit (or shows the end message).
    void DialogClosed();
    // The window closes: any search stops so that the worker can end.
    void StopForShutdown() { DialogClosed(); }

    const std::string& searchPattern() const { return m_searchPattern; }
    const std::string& lastSearchPattern() const { return m_lastSearchPattern; }
    // A search runs or waits at a hit.
    bool Searching() const;

    // --- Worker thread: the search ---
    // The search has started; gives SearchPattern. From here on the codes the
    // dialog stores go into the slot (before, the worker loop still reads it).
    std::string SearchStarted();
    // At a hit, shown already: stores 0 unless a stop (2) is stored, then waits
    // for 1 (true: continue) or 2 (false: stop). A quit request also stops.
    bool WaitAtHit();
    // A stop (2) was asked for, or the program quits.
    bool StopRequested() const;
    // The search is over (end, stop or no memory); called before the worker idles.
    void SearchEnded();

private:
    // Stops a search that runs and waits until the worker is idle.
    void StopAndWait();
    // Hands code 9 to the worker; false (with a box) while a chip operation runs.
    bool StartSearch();
    // Under m_mutex: stores 1 or 2 for the running search and wakes it; a stop
    // asked for before the search started waits for its start.
    void Post(uint8_t code);

    WorkerState& m_state;
    OperationWorker& m_worker;
    WindowLifetime& m_lifetime;
    MessageBoxes& m_boxes;

    enum class Phase { Idle, Requested, Running };

    mutable std::mutex m_mutex;
    std::condition_variable m_answer;
    Phase m_phase = Phase::Idle;
    bool m_pendingStop = false;   // a stop asked for before the search started
    std::string m_searchPattern;  // written on the window thread under m_mutex
    std::string m_lastSearchPattern;
};
