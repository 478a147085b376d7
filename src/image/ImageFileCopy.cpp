#include "image/ImageFileCopy.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "image/ImageTexts.h"
#include "platform/File.h"

namespace {

struct Buffer {
    std::unique_ptr<uint8_t[]> data{new uint8_t[kPassBufferBytes]};
};

// Sums the copy as it goes. Bytes that pass through the copy's buffer are added
// at once; stretches the kernel copied are read back from the destination by a
// second thread while the kernel copies the next one, so the sum costs no time
// of its own.
class CopySum {
public:
    explicit CopySum(const File& dest) : m_dest(dest), m_thread([this] { Run(); }) {}
    ~CopySum() {
        uint64_t ignored = 0;
        Finish(ignored);
    }
    CopySum(const CopySum&) = delete;
    CopySum& operator=(const CopySum&) = delete;

    // Bytes the kernel copied to [offset, offset + count) of the destination.
    void Copied(uint64_t offset, uint64_t count) {
        {
            std::lock_guard lock(m_mutex);
            m_ranges.emplace_back(offset, count);
        }
        m_changed.notify_one();
    }
    // Bytes that went through the copy's buffer.
    void Passed(const uint8_t* data, size_t count) { m_direct += ByteSum(data, count); }
    // Waits for the reads; false when one failed.
    bool Finish(uint64_t& sum) {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_one();
        if (m_thread.joinable()) m_thread.join();
        sum = m_direct + m_readSum;
        return !m_failed;
    }

private:
    void Run() {
        Buffer buffer;
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_done || !m_ranges.empty(); });
            if (m_ranges.empty()) return;
            auto [offset, count] = m_ranges.front();
            m_ranges.pop_front();
            lock.unlock();
            if (!m_failed && !SumRange(offset, count, buffer)) m_failed = true;
            lock.lock();
        }
    }
    bool SumRange(uint64_t offset, uint64_t count, Buffer& buffer) {
        while (count > 0) {
            const size_t want = static_cast<size_t>(std::min<uint64_t>(count, kPassBufferBytes));
            const int64_t n = m_dest.ReadAt(offset, buffer.data.get(), want);
            if (n <= 0) return false;
            m_readSum += ByteSum(buffer.data.get(), static_cast<size_t>(n));
            offset += static_cast<uint64_t>(n);
            count -= static_cast<uint64_t>(n);
        }
        return true;
    }

    const File& m_dest;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::pair<uint64_t, uint64_t>> m_ranges;  // under m_mutex
    bool m_done = false;                                 // under m_mutex
    bool m_failed = false;                               // the thread's, read after the join
    uint64_t m_readSum = 0;                              // the thread's, read after the join
    uint64_t m_direct = 0;                               // the copying thread's
    std::thread m_thread;
};

// Kernel copy calls per stretch: whole when nobody sums, in pieces the summing
// thread can follow when somebody does.
constexpr uint64_t kKernelPiece = 1ull << 30;
constexpr uint64_t kSummedKernelPiece = 8ull << 20;

// Copies [from, to) through the kernel, falling back to the buffer; `copied` falls
// short of the stretch when the source ended early.
CopyStatus CopyStretch(const File& source, File& dest, uint64_t from, uint64_t to, Buffer& buffer,
                       bool& kernel, uint64_t& copied, CopySum* sum) {
    copied = 0;
    uint64_t offset = from;
    while (offset < to) {
        size_t want =
            static_cast<size_t>(std::min<uint64_t>(to - offset, sum ? kSummedKernelPiece : kKernelPiece));
        if (kernel) {
            int64_t n = source.CopyTo(dest, offset, want);
            if (n == -2) {
                kernel = false;
                continue;
            }
            if (n < 0) return CopyStatus::ReadFailed;  // either side: the same failure for the user
            if (n == 0) return CopyStatus::Ok;         // ended early: the generic loop picks up the rest
            if (sum) sum->Copied(offset, static_cast<uint64_t>(n));
            offset += static_cast<uint64_t>(n);
            copied += static_cast<uint64_t>(n);
            continue;
        }
        want = std::min(want, kPassBufferBytes);
        int64_t n = source.ReadAt(offset, buffer.data.get(), want);
        if (n < 0) return CopyStatus::ReadFailed;
        if (n == 0) return CopyStatus::Ok;
        if (!dest.WriteAt(offset, buffer.data.get(), static_cast<size_t>(n))) return CopyStatus::WriteFailed;
        if (sum) sum->Passed(buffer.data.get(), static_cast<size_t>(n));
        offset += static_cast<uint64_t>(n);
        copied += static_cast<uint64_t>(n);
        if (static_cast<size_t>(n) < want) return CopyStatus::Ok;
    }
    return CopyStatus::Ok;
}

}  // namespace

namespace {

CopyOutcome CopyImage(const File& source, File& dest, CopySum* sum) {
    CopyOutcome outcome;
    Buffer buffer;
    uint64_t offset = 0;

    if (source.IsRegular()) {
        int64_t size = source.Size();
        if (size < 0) {
            outcome.status = CopyStatus::ReadFailed;
            return outcome;
        }
        if (static_cast<uint64_t>(size) > kMaxImageLength) {
            outcome.status = CopyStatus::TooLarge;
            return outcome;
        }
        // Data stretches only; holes read as zeros and stay holes in the copy.
        bool kernel = true;
        uint64_t start = 0, end = 0;
        while (offset < static_cast<uint64_t>(size) && source.NextData(offset, start, end)) {
            uint64_t copied = 0;
            CopyStatus s = CopyStretch(source, dest, start, end, buffer, kernel, copied, sum);
            if (s != CopyStatus::Ok) {
                outcome.status = s;
                return outcome;
            }
            offset = start + copied;
            if (offset < end) break;  // the source shrank under us: the loop below ends it
        }
        if (offset < static_cast<uint64_t>(size) && !source.NextData(offset, start, end))
            offset = static_cast<uint64_t>(size);  // a trailing hole
    }

    // Whatever is left (the whole of a pipe or device, or bytes that grew while
    // copying) goes block by block until a read comes back short.
    for (;;) {
        int64_t n = source.ReadAt(offset, buffer.data.get(), kPassBufferBytes);
        if (n < 0) {
            outcome.status = CopyStatus::ReadFailed;
            return outcome;
        }
        if (offset + static_cast<uint64_t>(n) > kMaxImageLength) {
            outcome.status = CopyStatus::TooLarge;
            return outcome;
        }
        if (n > 0 && !dest.WriteAt(offset, buffer.data.get(), static_cast<size_t>(n))) {
            outcome.status = CopyStatus::WriteFailed;
            return outcome;
        }
        if (sum) sum->Passed(buffer.data.get(), static_cast<size_t>(n));
        offset += static_cast<uint64_t>(n);
        if (static_cast<size_t>(n) < kPassBufferBytes) break;
    }
    // A trailing hole has no bytes written: the size comes from the length.
    int64_t destSize = dest.Size();
    if (destSize < 0 || (static_cast<uint64_t>(destSize) < offset && !dest.Truncate(offset))) {
        outcome.status = CopyStatus::WriteFailed;
        return outcome;
    }
    outcome.bytes = offset;
    return outcome;
}

}  // namespace

CopyOutcome CopyImageFile(const File& source, File& dest) {
    return CopyImage(source, dest, nullptr);
}

CopyOutcome CopyAndSumImageFile(const File& source, File& dest, uint64_t& sum) {
    CopySum summer(dest);
    CopyOutcome outcome = CopyImage(source, dest, &summer);
    if (!summer.Finish(sum) && outcome.status == CopyStatus::Ok) outcome.status = CopyStatus::ReadFailed;
    return outcome;
}

bool SumImageFile(const File& file, uint64_t length, uint64_t& sum) {
    sum = 0;
    Buffer buffer;
    uint64_t offset = 0;
    uint64_t start = 0, end = 0;
    const bool sparse = file.IsRegular();
    while (offset < length) {
        uint64_t stop = length;
        if (sparse) {
            // Holes add nothing: skip to the next data.
            if (!file.NextData(offset, start, end)) {
                int64_t size = file.Size();
                return size >= 0 && static_cast<uint64_t>(size) >= length;
            }
            offset = std::max(offset, start);
            if (offset >= length) break;
            stop = std::min(end, length);
        }
        while (offset < stop) {
            size_t want = static_cast<size_t>(std::min<uint64_t>(stop - offset, kPassBufferBytes));
            int64_t n = file.ReadAt(offset, buffer.data.get(), want);
            if (n <= 0) return false;  // an error, or the file ended early
            sum += ByteSum(buffer.data.get(), static_cast<size_t>(n));
            offset += static_cast<uint64_t>(n);
        }
    }
    return true;
}
