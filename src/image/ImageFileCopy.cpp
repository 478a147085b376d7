#include "image/ImageFileCopy.h"

#include <algorithm>
#include <memory>

#include "image/ImageTexts.h"
#include "platform/File.h"

namespace {

struct Buffer {
    std::unique_ptr<uint8_t[]> data{new uint8_t[kPassBufferBytes]};
};

// Copies [from, to) through the kernel, falling back to the buffer; `copied` falls
// short of the stretch when the source ended early.
CopyStatus CopyStretch(const File& source, File& dest, uint64_t from, uint64_t to, Buffer& buffer,
                       bool& kernel, uint64_t& copied) {
    copied = 0;
    uint64_t offset = from;
    while (offset < to) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(to - offset, 1ull << 30));
        if (kernel) {
            int64_t n = source.CopyTo(dest, offset, want);
            if (n == -2) {
                kernel = false;
                continue;
            }
            if (n < 0) return CopyStatus::ReadFailed;  // either side: the same failure for the user
            if (n == 0) return CopyStatus::Ok;         // ended early: the generic loop picks up the rest
            offset += static_cast<uint64_t>(n);
            copied += static_cast<uint64_t>(n);
            continue;
        }
        want = std::min(want, kPassBufferBytes);
        int64_t n = source.ReadAt(offset, buffer.data.get(), want);
        if (n < 0) return CopyStatus::ReadFailed;
        if (n == 0) return CopyStatus::Ok;
        if (!dest.WriteAt(offset, buffer.data.get(), static_cast<size_t>(n))) return CopyStatus::WriteFailed;
        offset += static_cast<uint64_t>(n);
        copied += static_cast<uint64_t>(n);
        if (static_cast<size_t>(n) < want) return CopyStatus::Ok;
    }
    return CopyStatus::Ok;
}

}  // namespace

CopyOutcome CopyImageFile(const File& source, File& dest) {
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
            CopyStatus s = CopyStretch(source, dest, start, end, buffer, kernel, copied);
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
