#pragma once

#include <string>

// The program's own files in its work directory: the product data file, the
// modification log, the sound setting, the wave files of sound/, the lock file
// and the two work files. Neither the window nor the tool ever writes a user's
// data over one of them.
namespace SystemFiles {

inline constexpr const char* ProductData = "XJQT.uc";
inline constexpr const char* ChangeLog = "修改记录.txt";
inline constexpr const char* SoundSetting = "halor2.dll";
inline constexpr const char* SoundDirectory = "sound";
inline constexpr const char* ChipWorkFile = "h_alor0.dll";
inline constexpr const char* WorkCopy = "h_alor1.dll";

// The hidden lock file the window holds in its work directory.
std::string LockFileName();

// True when `path` is, or would replace, one of those files in `workDirectory`
// (empty: the current directory), however it is spelt: relative, through "..",
// through a symbolic link, or as a hard link to one.
bool IsSystemFile(const std::string& path, const std::string& workDirectory);

}  // namespace SystemFiles
