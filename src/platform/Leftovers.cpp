#include "platform/Leftovers.h"

#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <filesystem>

namespace Leftovers {

namespace {

// The process id in `name` when it has the pattern, else 0.
pid_t OwnerOf(const std::string& name, const std::string& prefix, char separator) {
    if (name.rfind(prefix, 0) != 0) return 0;
    size_t at = prefix.size();
    long long pid = 0;
    const size_t digits = at;
    while (at < name.size() && std::isdigit(static_cast<unsigned char>(name[at])) && at - digits < 10)
        pid = pid * 10 + (name[at++] - '0');
    if (at == digits || at >= name.size() || name[at] != separator) return 0;
    const std::string rest = name.substr(at + 1);
    if (rest.size() != 6) return 0;
    for (const char c : rest)
        if (!std::isalnum(static_cast<unsigned char>(c))) return 0;
    return pid > 0 && pid <= 0x7FFFFFFF ? static_cast<pid_t>(pid) : 0;
}

bool Runs(pid_t pid) {
    // EPERM: it runs under another user.
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

}  // namespace

std::string ProcessTag() {
    return std::to_string(static_cast<long>(::getpid()));
}

int RemoveOrphans(const std::string& directory, const std::string& prefix, char separator) {
    int removed = 0;
    std::error_code error;
    std::filesystem::directory_iterator it(directory.empty() ? std::string(".") : directory, error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const pid_t owner = OwnerOf(it->path().filename().string(), prefix, separator);
        if (owner == 0 || Runs(owner)) continue;
        std::error_code ignored;
        if (std::filesystem::remove_all(it->path(), ignored) > 0) ++removed;
    }
    return removed;
}

}  // namespace Leftovers
