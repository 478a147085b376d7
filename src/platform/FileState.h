#pragma once

#include <cstdint>
#include <optional>
#include <string>

class File;

// What identifies one version of a file on disk: which file it is and when and how
// far it was last written. Another program's write or replacement changes it.
struct FileState {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedSeconds = 0;
    int64_t modifiedNanoseconds = 0;

    bool operator==(const FileState&) const = default;
};

// The state of the file a path names now (following links); nothing when it cannot be read.
std::optional<FileState> FileStateOf(const std::string& path);
// The state of an open file; nothing when it is not open.
std::optional<FileState> FileStateOf(const File& file);
