#include "platform/SystemFiles.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "platform/File.h"
#include "platform/InstanceNames.h"

namespace SystemFiles {

namespace {

namespace fs = std::filesystem;

// Links and ".." resolved as far as the path exists; the path itself where that fails.
fs::path Resolved(const fs::path& path) {
    std::error_code ec;
    fs::path resolved = fs::weakly_canonical(fs::absolute(path, ec), ec);
    return ec ? path.lexically_normal() : resolved;
}

bool IsWave(const fs::path& name) {
    std::string extension = name.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".wav";
}

}  // namespace

std::string LockFileName() {
    return std::string(".") + InstanceName::Own + ".lock";
}

bool IsSystemFile(const std::string& path, const std::string& workDirectory) {
    if (path.empty()) return false;
    const fs::path directory = Resolved(workDirectory.empty() ? fs::path(".") : fs::path(workDirectory));
    const fs::path target = Resolved(path);
    const fs::path name = target.filename();
    const std::string names[] = {ProductData,  ChangeLog, SoundSetting,
                                 ChipWorkFile, WorkCopy,  LockFileName()};
    for (const std::string& system : names) {
        const fs::path file = directory / system;
        // A hard link has a name of its own but replaces the same file.
        if ((target.parent_path() == directory && name == system) || IsSameFile(path, file.string()))
            return true;
    }
    return target.parent_path() == directory / SoundDirectory && IsWave(name);
}

}  // namespace SystemFiles
