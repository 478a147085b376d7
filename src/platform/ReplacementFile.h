#pragma once

#include <string>

#include "platform/File.h"

// New contents for a file, written into a temporary file beside it and renamed
// over it only when every byte is on the disk: until Commit succeeds an existing
// file stays exactly as it was. The replacement keeps the permission bits of the
// file it replaces (a new file gets 0666 less the umask). A symbolic link is
// followed, so the link stays and its target gets the new contents.
class ReplacementFile {
public:
    ReplacementFile() = default;
    ~ReplacementFile() { Discard(); }
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Creates the temporary file for `target`; false (errno kept) when it cannot be
    // made, or when `target` exists and is no regular file (a device, FIFO, directory).
    bool Create(const std::string& target);
    // The temporary file, to be written at explicit offsets.
    File& file() { return m_file; }
    // Flushes the temporary file, gives it its permission bits, renames it over the
    // target and flushes the directory. False leaves the target untouched and the
    // temporary file removed.
    bool Commit();
    // Removes the temporary file (nothing happens after a Commit).
    void Discard();

    // The file the contents end up in (the target with a link resolved).
    const std::string& targetPath() const { return m_target; }
    // The temporary file's name; empty when there is none.
    const std::string& temporaryPath() const { return m_temporary; }

private:
    File m_file;
    std::string m_target;
    std::string m_temporary;
};
