#pragma once

#include <string>

// A named single-instance lock: a lock file in the user's runtime directory held
// with flock. The kernel releases it when the holding process ends, however it
// ends, so a crashed holder never blocks a later start.
class InstanceLock {
public:
    enum class Result {
        Acquired,       // this object holds the name now
        HeldElsewhere,  // another open of the name (another process) holds it
        Failed,         // the lock file could not be made or opened
    };

    // `directory` empty: RuntimeDirectory().
    explicit InstanceLock(std::string name, std::string directory = {});
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    Result TryAcquire();
    // Held together with other shared holders, never with an exclusive one.
    Result TryAcquireShared();
    void Release();
    bool IsHeld() const { return m_fd >= 0; }
    // Path of the lock file (empty when no runtime directory could be found).
    const std::string& Path() const { return m_path; }

    // $XDG_RUNTIME_DIR when it names a directory, otherwise a private directory
    // /tmp/xjqt-<uid> (made with mode 0700; refused when another user owns it).
    // Empty when neither is usable.
    static std::string RuntimeDirectory();

private:
    Result Acquire(int operation);

    std::string m_path;
    int m_fd = -1;
};
