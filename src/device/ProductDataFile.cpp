#include "device/ProductDataFile.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "device/ProductDataScramble.h"

namespace {

constexpr size_t kChunk = 4096;

// Content length (file length less the checksum), or -1 when the file is too
// short or its length cannot be read.
int64_t ContentLength(const File& file) {
    const int64_t n = file.Size();
    return n < 4 ? -1 : n - 4;
}

}  // namespace

bool ProductDataFile::Open(const std::string& path) {
    // Without blocking: a FIFO here would hold the start-up before any window shows.
    return m_file.OpenRegular(path, File::Mode::ReadOnly);
}

void ProductDataFile::Close() {
    m_file.Close();
}

bool ProductDataFile::CheckIntegrity() const {
    if (!m_file.IsOpen()) return false;
    const int64_t content = ContentLength(m_file);
    if (content < 0 || content + 4 > static_cast<int64_t>(kMaxBytes)) return false;

    uint32_t sum = 0;
    std::array<uint8_t, kChunk> buffer{};
    for (int64_t p = 0; p < content;) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(kChunk, content - p));
        const int64_t got = m_file.ReadAt(static_cast<uint64_t>(p), buffer.data(), want);
        if (got <= 0) return false;  // an error, or the file shrank under us
        for (int64_t i = 0; i < got; ++i)
            sum +=
                ProductDataScramble::Unscramble(buffer[static_cast<size_t>(i)], static_cast<uint64_t>(p + i));
        p += got;
    }

    std::array<uint8_t, 4> tail{};
    if (m_file.ReadAt(static_cast<uint64_t>(content), tail.data(), tail.size()) != 4) return false;
    uint32_t stored = 0;
    for (size_t i = 0; i < 4; ++i)
        stored = (stored << 8) | ProductDataScramble::Unscramble(tail[i], static_cast<uint64_t>(content) + i);
    return stored == sum;
}

std::string ProductDataFile::ReadSerialNumber() const {
    if (!m_file.IsOpen()) return {};
    const int64_t content = ContentLength(m_file);
    if (content <= 0) return {};

    std::string serial;
    bool inSerial = false;
    std::array<uint8_t, kChunk> buffer{};
    // Every pass ends at the end of the content: a file without its two '*' ends
    // the loop there, with an empty serial.
    for (int64_t p = 0; p < content;) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(kChunk, content - p));
        const int64_t got = m_file.ReadAt(static_cast<uint64_t>(p), buffer.data(), want);
        if (got <= 0) return {};
        for (int64_t i = 0; i < got; ++i) {
            const auto c = static_cast<char>(ProductDataScramble::Unscramble(buffer[static_cast<size_t>(i)],
                                                                             static_cast<uint64_t>(p + i)));
            if (c == '*') {
                if (inSerial) return serial;
                inSerial = true;
            } else if (inSerial) {
                serial += c;
            }
        }
        p += got;
    }
    return {};
}
