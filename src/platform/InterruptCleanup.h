#pragma once

#include <cstddef>
#include <string>

// Files and directories to remove when the process is ended by a signal (Ctrl-C,
// a closed terminal, kill, a reader gone from a pipe). The default action would
// end it at once and leave a half-written output and the work files behind.
// A path is registered while it may exist and forgotten once it is gone or kept.
// The handler stops the worker threads, then only unlinks, removes empty
// directories and ends the process with the same signal, so the caller sees the
// usual status.
namespace InterruptCleanup {

// SIGINT, SIGTERM, SIGHUP and SIGPIPE run the clean-up before the default action.
void InstallHandlers();

// Removes every registered path now, as the handler does (for tests).
void RunNow();

// While it lives the clean-up signals (and a worker's stop) wait on the calling
// thread, and threads started meanwhile never take them: around making a file
// and registering it, so that no signal falls between the two.
class Deferred {
public:
    Deferred();
    ~Deferred();
    Deferred(const Deferred&) = delete;
    Deferred& operator=(const Deferred&) = delete;

private:
    alignas(std::max_align_t) unsigned char m_old[128];  // the previous signal mask (a sigset_t)
};

// A thread that makes registered files, from its start to its end. The handler
// stops every worker before it removes anything, so that none makes a file behind
// the clean-up. Start workers under a Deferred: they must not take the clean-up
// signals themselves.
class Worker {
public:
    Worker();
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

private:
    int m_slot = -1;
};

// One registered path; forgotten on destruction. Best effort: when the fixed table
// is full or the path too long, the guard holds nothing.
class Guard {
public:
    enum class Kind { File, Directory };

    Guard() = default;
    Guard(const std::string& path, Kind kind);
    ~Guard() { Forget(); }
    Guard(Guard&& other) noexcept : m_slot(other.m_slot) { other.m_slot = -1; }
    Guard& operator=(Guard&& other) noexcept;
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

    void Forget();
    bool IsHeld() const { return m_slot >= 0; }

private:
    int m_slot = -1;
};

}  // namespace InterruptCleanup
