#include "platform/UserWorkDirectory.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/CurrentDirectory.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kProductDataFile = "XJQT.uc";
constexpr const char* kFolderName = "xjqt-tarlo";

std::string WithSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

std::string PerUserDirectory(const WorkDirectorySetting& s) {
    // The XDG rule: a relative $XDG_DATA_HOME is invalid and ignored.
    if (!s.xdgDataHome.empty() && s.xdgDataHome.front() == '/') return WithSlash(s.xdgDataHome) + kFolderName;
    if (s.home.empty() || s.home.front() != '/') return {};
    return WithSlash(s.home) + ".local/share/" + kFolderName;
}

// Copies what is missing below `to`; each file lands under a temporary name first
// so an interrupted start never leaves a half-copied data file.
bool FillMissing(const fs::path& from, const fs::path& to, std::string& problem) {
    std::error_code ec;
    fs::recursive_directory_iterator it(from, fs::directory_options::none, ec);
    if (ec) {
        problem = from.string() + ": " + ec.message();
        return false;
    }
    for (const fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        const fs::path target = to / fs::relative(it->path(), from, ec);
        if (ec) break;
        if (it->is_directory(ec)) {
            fs::create_directories(target, ec);
        } else if (!fs::exists(target, ec)) {
            const fs::path part = target.string() + ".part";
            if (fs::copy_file(it->path(), part, fs::copy_options::overwrite_existing, ec))
                fs::rename(part, target, ec);
            std::error_code ignored;
            if (ec) fs::remove(part, ignored);
        }
        if (ec) {
            problem = target.string() + ": " + ec.message();
            return false;
        }
    }
    if (ec) {
        problem = from.string() + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace

WorkDirectoryChoice ChooseWorkDirectory(const WorkDirectorySetting& setting) {
    WorkDirectoryChoice choice;
    const std::string current = WithSlash(setting.currentDirectory);
    std::error_code ec;
    if (fs::exists(current + kProductDataFile, ec)) {
        choice.directory = current;
        return choice;
    }
    choice.kind = WorkDirectoryChoice::Kind::Unavailable;
    choice.directory = current;
    const std::string perUser = PerUserDirectory(setting);
    if (perUser.empty()) {
        choice.problem = "XDG_DATA_HOME 和 HOME 都不是绝对路径";
        return choice;
    }
    // Nothing is created unless the installed data can be read: a later start with
    // the data in place then fills the directory completely.
    if (setting.installedData.empty() ||
        !fs::exists(fs::path(setting.installedData) / kProductDataFile, ec) ||
        access(setting.installedData.c_str(), R_OK | X_OK) != 0) {
        choice.problem = "找不到可读的安装数据: " +
                         (setting.installedData.empty() ? std::string("（无）") : setting.installedData);
        return choice;
    }
    fs::create_directories(perUser, ec);
    if (ec) {
        choice.problem = perUser + ": " + ec.message();
        return choice;
    }
    if (!FillMissing(setting.installedData, perUser, choice.problem)) return choice;
    choice.kind = WorkDirectoryChoice::Kind::PerUser;
    choice.directory = WithSlash(perUser);
    return choice;
}

std::string ResolveAgainst(const std::string& baseDirectory, const std::string& path) {
    if (path.empty() || path == "-" || path.front() == '/' || baseDirectory.empty()) return path;
    return WithSlash(baseDirectory) + path;
}

WorkDirectorySetting ProcessWorkDirectorySetting() {
    WorkDirectorySetting s;
    s.currentDirectory = CurrentDirectory();
    if (const char* xdg = std::getenv("XDG_DATA_HOME")) s.xdgDataHome = xdg;
    if (const char* home = std::getenv("HOME")) s.home = home;
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) s.installedData = (program.parent_path().parent_path() / "share" / kFolderName).string();
    return s;
}

WorkDirectoryChoice EnterWorkDirectory(const char* programName) {
    WorkDirectoryChoice choice = ChooseWorkDirectory(ProcessWorkDirectorySetting());
    if (choice.kind == WorkDirectoryChoice::Kind::PerUser && chdir(choice.directory.c_str()) != 0) {
        choice.kind = WorkDirectoryChoice::Kind::Unavailable;
        choice.problem = choice.directory + ": " + std::generic_category().message(errno);
    }
    if (choice.kind == WorkDirectoryChoice::Kind::Unavailable)
        std::fprintf(stderr, "%s: 无法使用个人工作目录：%s\n", programName, choice.problem.c_str());
    return choice;
}
