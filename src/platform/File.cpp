#include "platform/File.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "platform/Leftovers.h"

namespace {
std::atomic<File::FaultHook> g_faultHook{nullptr};
std::atomic<File::LockHook> g_lockHook{nullptr};

int OpenFlags(File::Mode mode) {
    switch (mode) {
        case File::Mode::ReadOnly:
            return O_RDONLY;
        case File::Mode::ReadWrite:
            return O_RDWR;
        case File::Mode::CreateReadWrite:
            return O_RDWR | O_CREAT | O_TRUNC;
        case File::Mode::OpenOrCreate:
            return O_RDWR | O_CREAT;
    }
    return O_RDONLY;
}

int OpenRetrying(const std::string& path, int flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0644);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int Injected(const File& file, uint64_t offset, size_t count, bool write) {
    File::FaultHook hook = g_faultHook.load(std::memory_order_acquire);
    return hook ? hook(file, offset, count, write) : 0;
}
}  // namespace

void File::SetFaultHook(FaultHook hook) {
    g_faultHook.store(hook, std::memory_order_release);
}

void File::SetLockHook(LockHook hook) {
    g_lockHook.store(hook, std::memory_order_release);
}

File::File(File&& other) noexcept : m_fd(other.m_fd), m_path(std::move(other.m_path)) {
    other.m_fd = -1;
    other.m_path.clear();
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        m_path = std::move(other.m_path);
        other.m_fd = -1;
        other.m_path.clear();
    }
    return *this;
}

bool File::Open(const std::string& path, Mode mode) {
    Close();
    const int fd = OpenRetrying(path, OpenFlags(mode) | O_CLOEXEC);
    if (fd < 0) return false;
    // A directory opens read-only on Linux but is no file to read or write.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return false;
    }
    m_fd = fd;
    m_path = path;
    return true;
}

void File::Adopt(int fd, const std::string& path) {
    Close();
    m_fd = fd;
    m_path = path;
}

bool File::OpenRegular(const std::string& path, Mode mode, bool noFollow) {
    Close();
    // Truncation waits until the file is known to be regular.
    const int mandatory = OpenFlags(mode) & ~O_TRUNC;
    const int fd = OpenRetrying(path, mandatory | O_CLOEXEC | O_NONBLOCK | (noFollow ? O_NOFOLLOW : 0));
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_fd = fd;
    m_path = path;
    if ((OpenFlags(mode) & O_TRUNC) != 0 && !Truncate(0)) {
        const int error = errno;
        Close();
        errno = error;
        return false;
    }
    return true;
}

void File::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);  // no retry on EINTR: the descriptor is gone either way on Linux
        m_fd = -1;
    }
    m_path.clear();
}

int64_t File::ReadAt(uint64_t offset, void* buffer, size_t count) const {
    if (m_fd < 0) {
        errno = EBADF;
        return -1;
    }
    if (int e = Injected(*this, offset, count, false)) {
        errno = e;
        return -1;
    }
    auto* out = static_cast<unsigned char*>(buffer);
    size_t done = 0;
    // Loop so that a short read means the end of the file, never an interruption.
    while (done < count) {
        ssize_t n = ::pread(m_fd, out + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

bool File::WriteAt(uint64_t offset, const void* data, size_t count) {
    if (m_fd < 0) {
        errno = EBADF;
        return false;
    }
    if (int e = Injected(*this, offset, count, true)) {
        errno = e;
        return false;
    }
    const auto* in = static_cast<const unsigned char*>(data);
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::pwrite(m_fd, in + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

int64_t File::Size() const {
    if (m_fd < 0) {
        errno = EBADF;
        return -1;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool File::Truncate(uint64_t size) {
    if (m_fd < 0) {
        errno = EBADF;
        return false;
    }
    int r;
    do {
        r = ::ftruncate(m_fd, static_cast<off_t>(size));
    } while (r != 0 && errno == EINTR);
    return r == 0;
}

bool File::Reserve(uint64_t offset, uint64_t count) {
    if (m_fd < 0) {
        errno = EBADF;
        return false;
    }
    if (count == 0) return true;
    if (int e = Injected(*this, offset, static_cast<size_t>(count), true)) {
        errno = e;
        return false;
    }
    // glibc writes the range itself where the file system cannot allocate.
    int r;
    do {
        r = ::posix_fallocate(m_fd, static_cast<off_t>(offset), static_cast<off_t>(count));
    } while (r == EINTR);
    if (r != 0) errno = r;
    return r == 0;
}

bool File::CreateTemporaryBeside(const std::string& path) {
    Close();
    const size_t slash = path.rfind('/');
    const size_t cut = slash == std::string::npos ? 0 : slash + 1;
    // The process id lets a later run remove what a killed one left (Leftovers).
    std::string pattern =
        path.substr(0, cut) + "." + path.substr(cut) + "." + Leftovers::ProcessTag() + ".XXXXXX";
    // mkostemp creates with O_EXCL: nothing planted under the name is ever opened.
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return false;
    Adopt(fd, pattern);
    return true;
}

bool File::SwapForEmpty(File& previous) {
    if (m_fd < 0) {
        errno = EBADF;
        return false;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) return false;
    File fresh;
    if (!fresh.CreateTemporaryBeside(m_path)) return false;
    const int fd = fresh.Descriptor();
    const std::string name = fresh.Path();
    const auto abandon = [&] {
        const int error = errno;
        ::unlink(name.c_str());
        errno = error;
        return false;
    };
    if (::fchmod(fd, st.st_mode & 07777) != 0) return abandon();
    if (fresh.TryLockExclusive() == LockResult::HeldElsewhere) return abandon();
    if (::rename(name.c_str(), m_path.c_str()) != 0) return abandon();
    fresh.m_path = m_path;
    previous = std::move(*this);
    *this = std::move(fresh);
    return true;
}

bool File::Sync() {
    if (m_fd < 0) {
        errno = EBADF;
        return false;
    }
    int r;
    do {
        r = ::fsync(m_fd);
    } while (r != 0 && errno == EINTR);
    return r == 0;
}

int64_t File::CopyTo(File& dest, uint64_t offset, size_t count) const {
    if (m_fd < 0 || dest.m_fd < 0) {
        errno = EBADF;
        return -1;
    }
    if (int e = Injected(*this, offset, count, false)) {
        errno = e;
        return -1;
    }
    if (int e = Injected(dest, offset, count, true)) {
        errno = e;
        return -1;
    }
    for (;;) {
        loff_t in = static_cast<loff_t>(offset);
        loff_t out = static_cast<loff_t>(offset);
        ssize_t n = ::copy_file_range(m_fd, &in, dest.m_fd, &out, count, 0);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == EBADF ||
            errno == EPERM || errno == ETXTBSY)
            return -2;
        return -1;
    }
}

bool File::NextData(uint64_t from, uint64_t& start, uint64_t& end) const {
    int64_t size = Size();
    if (size < 0 || from >= static_cast<uint64_t>(size)) return false;
    off_t data = ::lseek(m_fd, static_cast<off_t>(from), SEEK_DATA);
    if (data < 0) {
        if (errno == ENXIO) return false;  // a hole up to the end
        start = from;                      // no hole support: all data
        end = static_cast<uint64_t>(size);
        return true;
    }
    off_t hole = ::lseek(m_fd, data, SEEK_HOLE);
    start = static_cast<uint64_t>(data);
    end = hole < 0 ? static_cast<uint64_t>(size) : static_cast<uint64_t>(hole);
    if (end > static_cast<uint64_t>(size)) end = static_cast<uint64_t>(size);
    return start < end;
}

bool File::IsRegular() const {
    struct stat st {};
    return m_fd >= 0 && ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode);
}

File::LockResult File::TryLockExclusive() {
    if (m_fd < 0) {
        errno = EBADF;
        return LockResult::Unsupported;
    }
    int r;
    if (LockHook hook = g_lockHook.load(std::memory_order_acquire);
        hook != nullptr && (r = hook(*this)) != 0) {
        errno = r;
        r = -1;
    } else {
        do {
            r = ::flock(m_fd, LOCK_EX | LOCK_NB);
        } while (r != 0 && errno == EINTR);
    }
    if (r == 0) return LockResult::Locked;
    return errno == EWOULDBLOCK ? LockResult::HeldElsewhere : LockResult::Unsupported;
}

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}
