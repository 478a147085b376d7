#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/File.h"

// The modification log file in the work directory: one block appended per save,
// emptied once it has reached the size limit. Writes are gathered in a bounded
// buffer, so a save of many changes writes the log as it goes and memory does not
// grow with the number of changes.
class ChangeLog {
public:
    static constexpr uint64_t kSizeLimit = 104857600;  // 100 MiB
    static constexpr size_t kBufferBytes = 256 * 1024;

    explicit ChangeLog(std::string path) : m_path(std::move(path)) {}

    const std::string& path() const { return m_path; }

    // Start-up: creates the log when it is missing, never empties it.
    bool CreateIfMissing();
    // One save: opens the log for appending (creating it again when it went missing
    // meanwhile), emptied first when it has reached kSizeLimit.
    bool Open();
    // Appends bytes at the end; false once any write has failed.
    bool Append(std::string_view bytes);
    // One change line (see ChangeLogFormat::ChangeLine).
    bool AppendChange(uint32_t address, int old, uint8_t now);
    // Writes what is gathered (so a log that cannot grow is known before anything else is written).
    bool Flush();
    // Allocates disk room for the next `bytes` bytes of the block, so that the lines
    // of changes already made to a source cannot be lost to a full disk. False when
    // the room is not there: RollBack then.
    bool Reserve(uint64_t bytes);
    // Cuts the log back to its length at Open and closes it: the block never happened.
    void RollBack();
    // Writes what is gathered and flushes the file to the disk.
    bool Sync();
    // Closes the log; room reserved beyond what was written is given back.
    void Close();

private:
    std::string m_path;
    File m_file;
    uint64_t m_start = 0;
    uint64_t m_end = 0;
    uint64_t m_reservedEnd = 0;
    std::string m_buffer;
    bool m_failed = false;
};
