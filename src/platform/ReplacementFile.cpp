#include "platform/ReplacementFile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <fstream>

namespace {

// The process's umask without changing it (umask() would, for every thread).
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    }
    return 022;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The rename lives in the directory: flushing it makes the new name durable. Best
// effort: the rename has happened, and some file systems cannot flush a directory.
void SyncDirectory(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    while (::fsync(fd) != 0 && errno == EINTR) {
    }
    ::close(fd);
}

}  // namespace

bool ReplacementFile::Create(const std::string& target) {
    Discard();
    if (target.empty()) {
        errno = ENOENT;
        return false;
    }
    m_target = target;
    // An existing link is followed: the file behind it gets the new contents.
    char resolved[PATH_MAX];
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && ::realpath(target.c_str(), resolved))
        m_target = resolved;
    // Only a regular file is ever replaced: a rename over /dev/null, a FIFO or a
    // directory would put a plain file in the place of something else.
    if (::stat(m_target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    if (!m_file.CreateTemporaryBeside(m_target)) return false;
    m_temporary = m_file.Path();
    return true;
}

bool ReplacementFile::Commit() {
    if (!m_file.IsOpen()) {
        errno = EBADF;
        return false;
    }
    struct stat st {};
    const mode_t mode = ::stat(m_target.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
    bool ok = ::fchmod(m_file.Descriptor(), mode) == 0 && m_file.Sync();
    m_file.Close();
    ok = ok && ::rename(m_temporary.c_str(), m_target.c_str()) == 0;
    if (!ok) {
        const int error = errno;
        Discard();
        errno = error;
        return false;
    }
    m_temporary.clear();
    SyncDirectory(DirectoryOf(m_target));
    return true;
}

void ReplacementFile::Discard() {
    m_file.Close();
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}
