#pragma once

#include <string>

// Files and directories to remove when the process is ended by a signal (Ctrl-C,
// a closed terminal, kill, a reader gone from a pipe). The default action would
// end it at once and leave a half-written output and the work files behind.
// A path is registered while it may exist and forgotten once it is gone or kept.
// The handler only unlinks, removes empty directories and then ends the process
// with the same signal, so the caller sees the usual status.
namespace InterruptCleanup {

// SIGINT, SIGTERM, SIGHUP and SIGPIPE run the clean-up before the default action.
void InstallHandlers();

// Removes every registered path now, as the handler does (for tests).
void RunNow();

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
