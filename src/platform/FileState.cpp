#include "platform/FileState.h"

#include <sys/stat.h>

#include "platform/File.h"

namespace {

FileState StateOf(const struct stat& st) {
    FileState state;
    state.device = static_cast<uint64_t>(st.st_dev);
    state.inode = static_cast<uint64_t>(st.st_ino);
    state.size = static_cast<int64_t>(st.st_size);
    state.modifiedSeconds = static_cast<int64_t>(st.st_mtim.tv_sec);
    state.modifiedNanoseconds = static_cast<int64_t>(st.st_mtim.tv_nsec);
    return state;
}

}  // namespace

std::optional<FileState> FileStateOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return StateOf(st);
}

std::optional<FileState> FileStateOf(const File& file) {
    struct stat st {};
    if (!file.IsOpen() || ::fstat(file.Descriptor(), &st) != 0) return std::nullopt;
    return StateOf(st);
}
