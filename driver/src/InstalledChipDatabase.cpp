#include "InstalledChipDatabase.h"

#include <dlfcn.h>

#include <cstdio>
#include <mutex>
#include <set>

namespace velmor {

std::string libraryDirectory() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&libraryDirectory), &info) == 0 || !info.dli_fname) {
        return ".";
    }
    const std::string path = info.dli_fname;
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

std::shared_ptr<const ChipDatabase> installedChipDatabase() {
    static std::mutex reportedMutex;
    static std::set<std::string> reported;
    return std::make_shared<const ChipDatabase>(
        loadChipDatabase(libraryDirectory(), [](const std::string& message) {
            std::lock_guard lock(reportedMutex);
            if (reported.insert(message).second) {
                const std::string line = "velmor: " + message + "\n";
                std::fwrite(line.data(), 1, line.size(), stderr);
                std::fflush(stderr);
            }
        }));
}

}  // namespace velmor
