#include "image/FileImage.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include "image/ImageFileCopy.h"
#include "image/ImageTexts.h"

namespace {

// One write carries this many 0xFF bytes of a growth.
constexpr size_t kGrowthPieceBytes = 64 * 1024;

const std::array<uint8_t, kGrowthPieceBytes>& FFPiece() {
    static const std::array<uint8_t, kGrowthPieceBytes> piece = [] {
        std::array<uint8_t, kGrowthPieceBytes> bytes;
        bytes.fill(0xFF);
        return bytes;
    }();
    return piece;
}

}  // namespace

int64_t FileImage::ReadWork(uint64_t offset, uint8_t* buffer, size_t count) const {
    return m_workCopy.ReadAt(offset, buffer, count);
}

bool FileImage::WriteWork(uint64_t offset, const uint8_t* data, size_t count) {
    return m_workCopy.WriteAt(offset, data, count);
}

int64_t FileImage::ReadSource(uint64_t offset, uint8_t* buffer, size_t count) const {
    if (!m_source.IsOpen()) return 0;
    return m_source.ReadAt(offset, buffer, count);
}

int64_t FileImage::SourceLength() const {
    if (!m_source.IsOpen()) return -1;
    return m_source.Size();
}

void FileImage::Unload() {
    m_loaded = false;
    m_length = 0;
    m_workCopy.Close();
    m_source.Close();
    m_sourceState.reset();
}

void FileImage::SetChecksum(uint64_t checksum) {
    m_checksum = checksum;
    m_checksumText = ChecksumText(checksum);
}

void FileImage::SetLengthAndSum(uint32_t length, uint64_t checksum) {
    m_length = length;
    m_sizeText = SizeText(length);
    SetChecksum(checksum);
}

bool FileImage::ExtendWithFF(uint64_t newLength) {
    if (newLength > kMaxImageLength) return false;
    const uint32_t oldLength = m_length;
    if (newLength <= oldLength) return true;
    const uint64_t oldChecksum = m_checksum;
    for (uint64_t at = oldLength; at < newLength;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kGrowthPieceBytes, newLength - at));
        if (!WriteWork(at, FFPiece().data(), n)) {
            TakeBackGrowth(oldLength, oldChecksum);
            return false;
        }
        at += n;
    }
    SetLengthAndSum(static_cast<uint32_t>(newLength), oldChecksum + (newLength - oldLength) * 0xFF);
    return true;
}

void FileImage::TakeBackGrowth(uint32_t length, uint64_t checksum) {
    if (m_workCopy.Truncate(length)) {
        SetLengthAndSum(length, checksum);
        return;
    }
    // Whatever landed past the old end is 0xFF: count it as part of the image.
    const int64_t size = m_workCopy.Size();
    if (size <= static_cast<int64_t>(length) || static_cast<uint64_t>(size) > kMaxImageLength) {
        SetLengthAndSum(length, checksum);
        return;
    }
    const uint64_t grown = static_cast<uint64_t>(size) - length;
    SetLengthAndSum(static_cast<uint32_t>(size), checksum + grown * 0xFF);
}

bool FileImage::WriteByte(uint64_t offset, uint8_t value) {
    // The byte at `offset` makes the image offset + 1 long.
    if (offset >= kMaxImageLength) return false;
    const uint32_t oldLength = m_length;
    const uint64_t oldChecksum = m_checksum;
    if (!ExtendWithFF(offset)) return false;
    const bool inside = offset < m_length;
    uint8_t old = 0;
    if ((inside && ReadWork(offset, &old, 1) != 1) || !WriteWork(offset, &value, 1)) {
        TakeBackGrowth(oldLength, oldChecksum);
        return false;
    }
    const uint32_t length = inside ? m_length.load() : static_cast<uint32_t>(offset + 1);
    SetLengthAndSum(length, m_checksum + value - (inside ? old : 0));
    return true;
}
