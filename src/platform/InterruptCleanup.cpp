#include "platform/InterruptCleanup.h"

#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

namespace InterruptCleanup {

namespace {

constexpr int kSlots = 256;
enum SlotState : int { Free = 0, Filling = 1, Ready = 2 };

struct Slot {
    std::atomic<int> state{Free};
    Guard::Kind kind = Guard::Kind::File;
    char path[PATH_MAX] = {};
};

std::array<Slot, kSlots> g_slots;

// Files first, then directories until a pass removes none (a directory empties
// only once the ones inside it are gone). Async-signal-safe: atomics on
// lock-free ints, unlink and rmdir.
void RemoveRegistered() {
    for (Slot& slot : g_slots)
        if (slot.state.load(std::memory_order_acquire) == Ready && slot.kind == Guard::Kind::File)
            ::unlink(slot.path);
    for (bool removed = true; removed;) {
        removed = false;
        for (Slot& slot : g_slots)
            if (slot.state.load(std::memory_order_acquire) == Ready && slot.kind == Guard::Kind::Directory &&
                ::rmdir(slot.path) == 0)
                removed = true;
    }
}

// Worker threads: the handler stops them (each waits in its stop handler until
// the process ends) before it removes what they registered.
constexpr int kWorkers = 64;
enum WorkerState : int { NoWorker = 0, Starting = 1, Running = 2, Stopped = 3 };
struct WorkerSlot {
    std::atomic<int> state{NoWorker};
    pthread_t thread{};
};
std::array<WorkerSlot, kWorkers> g_workers;
thread_local int t_workerSlot = -1;

int StopSignal() {
    return SIGRTMIN;
}

void OnStop(int) {
    if (t_workerSlot >= 0) g_workers[static_cast<size_t>(t_workerSlot)].state.store(Stopped);
    for (;;) ::pause();
}

void StopWorkers() {
    for (WorkerSlot& w : g_workers)
        if (w.state.load() == Running) ::pthread_kill(w.thread, StopSignal());
    // A worker may be inside a system call: wait until each stopped or ended, within
    // a bound so that a stuck one never keeps the process alive.
    for (int waited = 0; waited < 2000; ++waited) {
        bool all = true;
        for (WorkerSlot& w : g_workers)
            if (w.state.load() == Running) all = false;
        if (all) return;
        const timespec pause{0, 1000000};
        ::nanosleep(&pause, nullptr);
    }
}

void OnSignal(int signalNumber) {
    const int savedErrno = errno;
    StopWorkers();
    RemoveRegistered();
    // SA_RESETHAND has put the default action back: the signal ends the process
    // as soon as this handler returns.
    ::raise(signalNumber);
    errno = savedErrno;
}

}  // namespace

static void FillCleanupSet(sigset_t& set) {
    sigemptyset(&set);
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, StopSignal()})
        sigaddset(&set, signalNumber);
}

void InstallHandlers() {
    static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the slots");
    struct sigaction stop {};
    stop.sa_handler = OnStop;
    sigemptyset(&stop.sa_mask);
    ::sigaction(StopSignal(), &stop, nullptr);
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        // The clean-up runs once; the default action follows it.
        action.sa_flags = SA_RESETHAND;
        ::sigaction(signalNumber, &action, nullptr);
    }
}

void RunNow() {
    RemoveRegistered();
}

Deferred::Deferred() {
    static_assert(sizeof(sigset_t) <= sizeof(m_old), "room for the mask");
    sigset_t set;
    FillCleanupSet(set);
    ::pthread_sigmask(SIG_BLOCK, &set, reinterpret_cast<sigset_t*>(m_old));
}

Deferred::~Deferred() {
    ::pthread_sigmask(SIG_SETMASK, reinterpret_cast<const sigset_t*>(m_old), nullptr);
}

Worker::Worker() {
    for (int i = 0; i < kWorkers; ++i) {
        WorkerSlot& w = g_workers[static_cast<size_t>(i)];
        int expected = NoWorker;
        if (!w.state.compare_exchange_strong(expected, Starting)) continue;
        w.thread = ::pthread_self();
        t_workerSlot = i;
        m_slot = i;
        w.state.store(Running);
        break;
    }
    // Only the stop reaches a worker; the clean-up signals go to the thread that
    // cleans.
    sigset_t set;
    FillCleanupSet(set);
    sigdelset(&set, StopSignal());
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // Started under a Deferred, the thread inherited the stop held back.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, StopSignal());
    ::pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
}

Worker::~Worker() {
    if (m_slot < 0) return;
    WorkerSlot& w = g_workers[static_cast<size_t>(m_slot)];
    int expected = Running;
    w.state.compare_exchange_strong(expected, NoWorker);
    t_workerSlot = -1;
}

Guard::Guard(const std::string& path, Kind kind) {
    if (path.empty() || path.size() >= PATH_MAX) return;
    for (int i = 0; i < kSlots; ++i) {
        Slot& slot = g_slots[static_cast<size_t>(i)];
        int expected = Free;
        if (!slot.state.compare_exchange_strong(expected, Filling, std::memory_order_acquire)) continue;
        slot.kind = kind;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.state.store(Ready, std::memory_order_release);
        m_slot = i;
        return;
    }
}

Guard& Guard::operator=(Guard&& other) noexcept {
    if (this != &other) {
        Forget();
        m_slot = other.m_slot;
        other.m_slot = -1;
    }
    return *this;
}

void Guard::Forget() {
    if (m_slot < 0) return;
    g_slots[static_cast<size_t>(m_slot)].state.store(Free, std::memory_order_release);
    m_slot = -1;
}

}  // namespace InterruptCleanup
