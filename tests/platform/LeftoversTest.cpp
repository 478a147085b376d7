#include "platform/Leftovers.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "TempDirectory.h"

namespace {

// The id of a process that has ended.
std::string EndedProcess() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return std::to_string(child);
}

std::vector<std::string> Names(const TempDirectory& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(LeftoversTest, RemovesOnlyItsPatternOfEndedProcesses) {
    TempDirectory dir;
    const std::string ended = EndedProcess();
    const std::string alive = Leftovers::ProcessTag();
    // name, is a directory, removed
    const std::tuple<std::string, bool, bool> rows[] = {
        {"xjqt-tarlo-" + ended + "-Ab3dE9", true, true},
        {"xjqt-tarlo-" + alive + "-Ab3dE9", true, false},   // its process runs
        {"xjqt-tarlo-" + ended + "-Ab3dE", true, false},    // five characters
        {"xjqt-tarlo-" + ended + "-Ab3dE90", true, false},  // seven
        {"xjqt-tarlo-" + ended + "-Ab.dE9", true, false},   // not as mkstemp fills
        {"xjqt-tarlo--Ab3dE9", true, false},                // no process id
        {"xjqt-tarlo-" + ended + "_Ab3dE9", true, false},   // another separator
        {"xjqt-tarlo-" + ended + "-Zz0099", false, true},   // a file of the pattern too
        {"other-" + ended + "-Ab3dE9", true, false},
    };
    for (const auto& [name, directory, removed] : rows) {
        if (directory) {
            std::filesystem::create_directory(dir.path() / name);
            std::ofstream(dir.path() / name / "inside.bin") << "x";
        } else {
            std::ofstream(dir.path() / name) << "x";
        }
    }
    EXPECT_EQ(Leftovers::RemoveOrphans(dir.path().string(), "xjqt-tarlo-", '-'), 2);
    std::vector<std::string> kept;
    for (const auto& [name, directory, removed] : rows)
        if (!removed) kept.push_back(name);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(Names(dir), kept);
}

TEST(LeftoversTest, AMissingDirectoryRemovesNothing) {
    EXPECT_EQ(Leftovers::RemoveOrphans("/nonexistent/dir", "x-", '-'), 0);
}

}  // namespace
