#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class FileImage;
class FindHitView;
class FindSession;
class MessageBoxes;
class WindowThread;

// FindInFile, worker command 9: scans the work copy for SearchPattern in
// stretches of up to 1,024,000 bytes that overlap by n - 1 bytes, through one
// 1 MiB buffer taken per search. Hits are the left-to-right, non-overlapping
// ones; at each the view (on the window thread) shows it and the search waits
// for the dialog's answer.
class FileFinder {
public:
    static constexpr size_t kBufferBytes = 1048576;
    static constexpr size_t kStretchBytes = 1024000;
    static constexpr const char* EndMessage = "文件查找结束！\r\n未发现指定数据...      ";
    static constexpr const char* MemoryMessage = "系统内存不足！  ";

    // Test seam: how the buffer is taken (null: no memory).
    using Allocator = std::unique_ptr<uint8_t[]> (*)(size_t bytes);

    FileFinder(FileImage& image, FindSession& session, FindHitView& view, WindowThread& window,
               MessageBoxes& boxes);

    void SetAllocator(Allocator allocate) { m_allocate = allocate; }
    // Stretch length, for tests that cross a stretch boundary in a small file.
    void SetStretchBytes(size_t bytes) { m_stretchBytes = bytes < kBufferBytes ? bytes : kBufferBytes; }

    void FindInFile();

    // First occurrence of `pattern` (n >= 1 bytes) starting in [from, size - n], or `size`.
    static size_t FindIn(const uint8_t* data, size_t size, size_t from, const uint8_t* pattern, size_t n);

private:
    // FindIn leaves its memchr loop for memmem once a run of this many
    // candidates came closer together than kDenseSpacing bytes on average.
    static constexpr size_t kDenseCandidates = 64;
    static constexpr size_t kDenseSpacing = 32;

    // Reads up to `count` bytes at `offset`; fewer only at the end of the file.
    int64_t ReadStretch(uint64_t offset, uint8_t* buffer, size_t count) const;
    // Hit procedure; false when the dialog stopped the search.
    bool OnHit(uint64_t offset, size_t n, uint32_t& savedTop);
    // Scans to the end; false when stopped.
    bool Scan(const uint8_t* pattern, size_t n, uint8_t* buffer, uint32_t& savedTop);

    FileImage& m_image;
    FindSession& m_session;
    FindHitView& m_view;
    WindowThread& m_window;
    MessageBoxes& m_boxes;
    Allocator m_allocate;
    size_t m_stretchBytes = kStretchBytes;
};
