#include "image/FileImage.h"

#include <cerrno>

#include "image/ImageTexts.h"

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
}

void FileImage::SetChecksum(uint64_t checksum) {
    m_checksum = checksum;
    m_checksumText = ChecksumText(checksum);
}
