#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A file read and written at explicit offsets (pread/pwrite), so several readers
// never share a file position. Move-only; closes itself.
class File {
public:
    enum class Mode {
        ReadOnly,         // existing file, read only
        ReadWrite,        // existing file, read and write
        CreateReadWrite,  // create or empty, read and write
        OpenOrCreate,     // create when missing, never truncate, read and write
    };

    File() = default;
    ~File() { Close(); }
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // False when the file cannot be opened; the reason stays in errno.
    bool Open(const std::string& path, Mode mode);
    // Takes over an open descriptor (a file made by mkstemp); closes whatever was open.
    void Adopt(int fd, const std::string& path);
    // Creates and opens, read and write, a new file ".name.PID.XXXXXX" beside `path` (in
    // its directory, so a rename stays on one file system; never an existing file
    // or link). False (errno kept) when the directory cannot take it.
    bool CreateTemporaryBeside(const std::string& path);
    // Like Open, but accepts only a regular file and never waits for one: a FIFO or
    // a device is refused (errno EINVAL) instead of blocking or streaming without
    // end. With `noFollow` a symbolic link as the last component is refused (ELOOP).
    bool OpenRegular(const std::string& path, Mode mode, bool noFollow = false);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    // Bytes read (fewer only at the end of the file), or -1 on an error.
    int64_t ReadAt(uint64_t offset, void* buffer, size_t count) const;
    // True when every byte was written.
    bool WriteAt(uint64_t offset, const void* data, size_t count);
    // Current size, or -1.
    int64_t Size() const;
    bool Truncate(uint64_t size);
    // Allocates disk space for [offset, offset + count), growing the file to cover it,
    // so that later writes there cannot find the disk full. False (errno kept) when
    // the space is not there; the file may then have grown and must be cut back.
    bool Reserve(uint64_t offset, uint64_t count);
    // Empties the file by name rather than in place: a new empty file, made beside it
    // (never through a link), given its permission bits and locked (where the file system
    // locks), is renamed over it. This open moves into `previous` and now names the
    // new file, so the name never stands unlocked. Cheap however large the old file
    // is: its blocks are freed when `previous` closes. False (errno kept) changes nothing.
    bool SwapForEmpty(File& previous);
    // Flushes the file's data and size to the disk (fsync): true once they are there.
    bool Sync();
    // In-kernel copy of up to `count` bytes at `offset` of this file to the same offset
    // of `dest` (copy_file_range). Bytes copied (0 at the end of the file), -1 on an
    // I/O error, -2 when the kernel cannot copy between these files (use ReadAt/WriteAt).
    int64_t CopyTo(File& dest, uint64_t offset, size_t count) const;
    // The first stretch of data at or after `from`: [start, end). False when only a
    // hole follows up to the end. Without hole support the whole rest is data.
    bool NextData(uint64_t from, uint64_t& start, uint64_t& end) const;
    bool IsRegular() const;
    enum class LockResult {
        Locked,         // this open holds the lock now
        HeldElsewhere,  // another open (another program) holds it
        Unsupported,    // the file system has no flock (some network and FUSE mounts)
    };
    // Advisory exclusive lock (flock, non-blocking): other cooperating openers are
    // kept out while it is held. Released on Close.
    LockResult TryLockExclusive();
    // True only when the lock is held.
    bool LockExclusive() { return TryLockExclusive() == LockResult::Locked; }

    int Descriptor() const { return m_fd; }
    // Path given to Open (empty while closed).
    const std::string& Path() const { return m_path; }

    // Test seam: when set, runs before every ReadAt/WriteAt; a non-zero result
    // fails that call with this errno value. Production code never sets it.
    using FaultHook = int (*)(const File& file, uint64_t offset, size_t count, bool write);
    static void SetFaultHook(FaultHook hook);
    // Test seam: when set, runs before every lock attempt; a non-zero result fails
    // it with this errno value.
    using LockHook = int (*)(const File& file);
    static void SetLockHook(LockHook hook);

private:
    int m_fd = -1;
    std::string m_path;
};

// True when both paths name one existing file (device and inode), whatever the
// spelling: "./x", "dir/../x", a hard link or a symbolic link to it.
bool IsSameFile(const std::string& a, const std::string& b);
