#include "image/ChangeLog.h"

#include "image/ChangeLogFormat.h"

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
    m_end = static_cast<uint64_t>(size);
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

void ChangeLog::Close() {
    m_file.Close();
    m_buffer.clear();
    m_buffer.shrink_to_fit();
}
