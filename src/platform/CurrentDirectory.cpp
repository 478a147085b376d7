#include "platform/CurrentDirectory.h"

#include <cerrno>
#include <vector>

#include <unistd.h>

std::string CurrentDirectory() {
    // No fixed buffer: a deep directory must not be cut short.
    std::vector<char> buffer(1024);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return "./";
        buffer.resize(buffer.size() * 2);
    }
    std::string dir(buffer.data());
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}
