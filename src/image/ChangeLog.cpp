#include "image/ChangeLog.h"

#include "image/ChangeLogFormat.h"

#include <algorithm>

bool ChangeLog::CreateIfMissing() {
    File file;
    return file.Open(m_path, File::Mode::OpenOrCreate);
}

bool ChangeLog::Open() {
    Close();
    m_failed = false;
    if (!m_file.Open(m_path, File::Mode::OpenOrCreate)) return false;
    int64_t size = m_file.Size();
    if (size >= 0 && static_cast<uint64_t>(size) >= kSizeLimit) {
        if (!m_file.Open(m_path, File::Mode::CreateReadWrite)) return false;
        size = 0;
    }
    if (size < 0) {
        m_file.Close();
        return false;
    }
    m_start = m_end = m_reservedEnd = static_cast<uint64_t>(size);
    m_buffer.reserve(kBufferBytes);
    return true;
}

bool ChangeLog::Flush() {
    if (m_failed) return false;
    if (!m_buffer.empty()) {
        if (!m_file.WriteAt(m_end, m_buffer.data(), m_buffer.size())) m_failed = true;
        m_end += m_buffer.size();
        m_buffer.clear();
    }
    return !m_failed;
}

bool ChangeLog::Append(std::string_view bytes) {
    if (m_failed) return false;
    if (m_buffer.size() + bytes.size() > kBufferBytes && !Flush()) return false;
    if (bytes.size() >= kBufferBytes) {
        if (!m_file.WriteAt(m_end, bytes.data(), bytes.size())) m_failed = true;
        m_end += bytes.size();
        return !m_failed;
    }
    m_buffer.append(bytes);
    return true;
}

bool ChangeLog::AppendChange(uint32_t address, int old, uint8_t now) {
    char line[ChangeLogFormat::kChangeLineMax];
    return Append(std::string_view(line, ChangeLogFormat::ChangeLine(address, old, now, line)));
}

bool ChangeLog::Sync() {
    return Flush() && m_file.Sync();
}

bool ChangeLog::Reserve(uint64_t bytes) {
    if (m_failed || !m_file.IsOpen()) return false;
    const uint64_t from = m_end + m_buffer.size();
    if (!m_file.Reserve(from, bytes)) return false;
    m_reservedEnd = std::max(m_reservedEnd, from + bytes);
    return true;
}

void ChangeLog::RollBack() {
    if (m_file.IsOpen()) m_file.Truncate(m_start);
    m_reservedEnd = m_end = m_start;
    Close();
}

void ChangeLog::Close() {
    // Reserved room not filled would leave zero bytes in the text.
    if (m_file.IsOpen() && m_reservedEnd > m_end) m_file.Truncate(m_end);
    m_reservedEnd = m_end;
    m_file.Close();
    m_buffer.clear();
    m_buffer.shrink_to_fit();
}
