#include "platform/InterruptCleanup.h"

#include <signal.h>
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

void OnSignal(int signalNumber) {
    const int savedErrno = errno;
    RemoveRegistered();
    // SA_RESETHAND has put the default action back: the signal ends the process
    // as soon as this handler returns.
    ::raise(signalNumber);
    errno = savedErrno;
}

}  // namespace

void InstallHandlers() {
    static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the slots");
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
