#include "FileChipStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace velmor {

namespace {

bool writeAll(int fd, const uint8_t* data, size_t length, off_t offset) {
    while (length > 0) {
        const ssize_t n = ::pwrite(fd, data, length, offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        length -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

size_t readAll(int fd, uint8_t* data, size_t length) {
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, data + done, length - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

// Asks for huge pages over a buffer not touched yet. A fresh process would otherwise
// fault in a whole chip (8 MiB and more) page by page on its first open, which
// costs more than the operation itself in a virtual machine that traps every
// fault. Only whole 2 MiB stretches inside the buffer qualify (the caller reserves
// one more so that the end is covered too); best effort.
void preferHugePages(uint8_t* data, size_t length) {
#ifdef MADV_HUGEPAGE
    constexpr uintptr_t kHuge = uintptr_t{2} << 20;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + length) & ~(kHuge - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)length;
#endif
}

std::string describe(const std::string& path, const char* what) {
    return path + ": " + what + ": " + std::strerror(errno);
}

}  // namespace

FileChipStore::Opened FileChipStore::open(const std::string& path, uint32_t size) {
    Opened result;
    // Non-blocking, so a FIFO in the file's place cannot stall the open.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0) {
        result.error = describe(path, "cannot open");
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        result.error = path + ": not a regular file";
        ::close(fd);
        return result;
    }
    // Only a lock held elsewhere refuses; a file system without locks still works.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        result.busy = true;
        result.error = path + ": in use by another connection";
        ::close(fd);
        return result;
    }
    constexpr size_t kHugePage = size_t{2} << 20;
    result.contents.reserve(size + kHugePage);
    preferHugePages(result.contents.data(), size + kHugePage);
    result.contents.assign(size, 0xFF);
    const size_t existing = static_cast<size_t>(std::min<off_t>(info.st_size, size));
    if (readAll(fd, result.contents.data(), existing) != existing) {
        result.error = describe(path, "cannot read");
        ::close(fd);
        return result;
    }
    // Only ever grown: the bytes past a smaller chip stay for the next larger one.
    if (static_cast<uint64_t>(info.st_size) < size &&
        !writeAll(fd, result.contents.data() + existing, size - existing, static_cast<off_t>(existing))) {
        result.error = describe(path, "cannot resize");
        ::close(fd);
        return result;
    }
    result.store.reset(new FileChipStore(fd));
    return result;
}

FileChipStore::~FileChipStore() {
    ::close(m_fd);
}

bool FileChipStore::write(uint32_t offset, std::span<const uint8_t> data) {
    return writeAll(m_fd, data.data(), data.size(), offset);
}

}  // namespace velmor
