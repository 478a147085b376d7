#pragma once

#include <string>

// A file the tool writes for the user (the chip read back): made beside the
// destination under a temporary name and renamed over it only when complete, so
// a failed job never leaves the user's file half-written.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();  // removes the temporary file unless published
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary file beside `destination`; false when that directory
    // cannot take it (checked before the chip is read).
    bool Prepare(const std::string& destination);
    // Copies `source` into the temporary file, flushes it to the disk and renames
    // it to the destination. False, with the destination untouched, on any failure.
    bool Publish(const std::string& source);

private:
    std::string m_destination;
    std::string m_temporary;
    int m_fd = -1;
};
