#include "platform/InstanceLock.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && path[0] == '/' && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A directory of our own: not a link, owned by us, not open to others.
std::string PrivateTmpDirectory() {
    const std::string dir = "/tmp/xjqt-" + std::to_string(getuid());
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return {};
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return {};
    if ((st.st_mode & 077) != 0 && chmod(dir.c_str(), 0700) != 0) return {};
    return dir;
}

}  // namespace

InstanceLock::InstanceLock(std::string name, std::string directory) {
    if (directory.empty()) directory = RuntimeDirectory();
    if (!directory.empty()) m_path = directory + "/" + name + ".lock";
}

InstanceLock::~InstanceLock() {
    Release();
}

std::string InstanceLock::RuntimeDirectory() {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg != nullptr && IsDirectory(xdg)) return xdg;
    return PrivateTmpDirectory();
}

InstanceLock::Result InstanceLock::TryAcquire() {
    return Acquire(LOCK_EX);
}

InstanceLock::Result InstanceLock::TryAcquireShared() {
    return Acquire(LOCK_SH);
}

InstanceLock::Result InstanceLock::Acquire(int operation) {
    if (m_fd >= 0) return Result::Acquired;
    if (m_path.empty()) return Result::Failed;
    // Close-on-exec: a program started from here (help viewer, editor) must not
    // inherit the lock and keep it after we end.
    const int fd = open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return Result::Failed;
    int rc;
    do {
        rc = flock(fd, operation | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int error = errno;
        close(fd);
        return error == EWOULDBLOCK ? Result::HeldElsewhere : Result::Failed;
    }
    m_fd = fd;
    return Result::Acquired;
}

void InstanceLock::Release() {
    if (m_fd < 0) return;
    // The file stays: removing it would race with a process that just opened it.
    close(m_fd);
    m_fd = -1;
}
