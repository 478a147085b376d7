#include "tools/FileFinder.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "image/FileImage.h"
#include "ports/MessageBoxes.h"
#include "ports/WindowPorts.h"
#include "tools/FindHitView.h"
#include "tools/FindSession.h"
#include "tools/SearchPattern.h"

namespace {

std::unique_ptr<uint8_t[]> AllocateBuffer(size_t bytes) {
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[bytes]);
}

}  // namespace

FileFinder::FileFinder(FileImage& image, FindSession& session, FindHitView& view, WindowThread& window,
                       MessageBoxes& boxes)
    : m_image(image),
      m_session(session),
      m_view(view),
      m_window(window),
      m_boxes(boxes),
      m_allocate(AllocateBuffer) {}

size_t FileFinder::FindIn(const uint8_t* data, size_t size, size_t from, const uint8_t* pattern, size_t n) {
    if (n == 0 || from > size || size - from < n) return size;
    // Candidates are the places where the pattern's last byte stands; memchr
    // skips to them at memory speed, which keeps the degenerate cases of a
    // general search (a run of one byte value against a pattern of that value
    // with one other byte) linear. Where candidates come thick, memmem's own
    // skipping serves better and takes over. Either way the first occurrence
    // at or after `from` is found, as a shift-by-shift scan would find it.
    const uint8_t last = pattern[n - 1];
    size_t pos = from;
    size_t candidates = 0;
    size_t windowStart = from;
    while (size - pos >= n) {
        const void* found = std::memchr(data + pos + n - 1, last, size - pos - n + 1);
        if (found == nullptr) return size;
        const size_t start = static_cast<size_t>(static_cast<const uint8_t*>(found) - data) - (n - 1);
        if (std::memcmp(data + start, pattern, n - 1) == 0) return start;
        pos = start + 1;
        if (++candidates == kDenseCandidates) {
            if (pos - windowStart < kDenseCandidates * kDenseSpacing) break;
            candidates = 0;
            windowStart = pos;
        }
    }
    if (size - pos < n) return size;
    const void* hit = memmem(data + pos, size - pos, pattern, n);
    return hit ? static_cast<size_t>(static_cast<const uint8_t*>(hit) - data) : size;
}

int64_t FileFinder::ReadStretch(uint64_t offset, uint8_t* buffer, size_t count) const {
    size_t got = 0;
    while (got < count) {
        const int64_t n = m_image.ReadWork(offset + got, buffer + got, count - got);
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(got);
}

bool FileFinder::OnHit(uint64_t offset, size_t n, uint32_t& savedTop) {
    m_window.Run([&] { savedTop = m_view.ShowHit(static_cast<uint32_t>(offset), static_cast<uint32_t>(n)); });
    return m_session.WaitAtHit();
}

bool FileFinder::Scan(const uint8_t* pattern, size_t n, uint8_t* buffer, uint32_t& savedTop) {
    const int64_t size = m_image.workCopy().Size();
    const uint64_t total = size > 0 ? static_cast<uint64_t>(size) : 0;
    uint64_t base = 0;
    uint64_t nextStart = 0;  // first offset a further hit may begin at: hits never overlap
    while (base < total) {
        if (m_session.StopRequested()) return false;
        const int64_t read = ReadStretch(base, buffer, m_stretchBytes);
        if (read < 0 || static_cast<uint64_t>(read) < n) break;
        const size_t got = static_cast<size_t>(read);
        size_t pos = nextStart > base ? static_cast<size_t>(nextStart - base) : 0;
        for (;;) {
            pos = FindIn(buffer, got, pos, pattern, n);
            if (pos == got) break;
            if (!OnHit(base + pos, n, savedTop)) return false;
            pos += n;
            nextStart = base + pos;
        }
        // The next stretch starts at the first start not yet tried.
        base += got - n + 1;
    }
    return true;
}

void FileFinder::FindInFile() {
    const std::vector<uint8_t> pattern = PatternBytes(m_session.SearchStarted());
    if (pattern.empty()) {  // the dialog never starts one without data
        m_session.SearchEnded();
        return;
    }
    std::unique_ptr<uint8_t[]> buffer = m_allocate(kBufferBytes);
    if (!buffer) {
        m_session.SearchEnded();
        m_boxes.Show(MemoryMessage, "提示", MessageIcon::Exclamation);
        return;
    }
    uint32_t savedTop = 0;
    m_window.Run([&] { savedTop = m_view.TopRow(); });

    const bool reachedEnd = Scan(pattern.data(), pattern.size(), buffer.get(), savedTop);
    buffer.reset();
    if (!reachedEnd) {
        m_session.SearchEnded();
        return;
    }
    m_window.Run([&] { m_view.RestoreTop(savedTop); });
    m_boxes.Show(EndMessage, "提示", MessageIcon::Information);
    m_session.SearchEnded();
}
