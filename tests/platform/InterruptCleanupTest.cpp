#include "platform/InterruptCleanup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "support/TempDirectory.h"

namespace {

using InterruptCleanup::Guard;

// What the signal handler removes: registered files, then registered directories
// once emptied (inner before outer, whatever the order of registration); nothing
// forgotten, nothing unregistered, and a directory with other contents stays.
TEST(InterruptCleanupTest, RemovesRegisteredFilesThenDirectoriesInnerFirst) {
    TempDirectory dir;
    const std::filesystem::path outer = dir.path() / "work";
    const std::filesystem::path inner = outer / "0";
    const std::filesystem::path kept = dir.path() / "kept";
    std::filesystem::create_directories(inner);
    std::filesystem::create_directories(kept);
    const std::string innerFile = dir.Write("work/0/h_alor0.dll", {1});
    const std::string forgottenFile = dir.Write("out.bin", {2});
    const std::string strangerFile = dir.Write("kept/other.bin", {3});

    std::vector<Guard> guards;
    guards.emplace_back(outer.string(), Guard::Kind::Directory);
    guards.emplace_back(inner.string(), Guard::Kind::Directory);
    guards.emplace_back(innerFile, Guard::Kind::File);
    guards.emplace_back(kept.string(), Guard::Kind::Directory);
    guards.emplace_back((inner / "never-made").string(), Guard::Kind::File);
    Guard forgotten(forgottenFile, Guard::Kind::File);
    for (const Guard& g : guards) EXPECT_TRUE(g.IsHeld());
    forgotten.Forget();
    EXPECT_FALSE(forgotten.IsHeld());

    InterruptCleanup::RunNow();
    EXPECT_FALSE(std::filesystem::exists(outer));
    EXPECT_TRUE(std::filesystem::exists(forgottenFile));
    EXPECT_TRUE(std::filesystem::exists(strangerFile));

    // Forgotten on destruction: a path made again afterwards is left alone.
    guards.clear();
    std::filesystem::create_directories(inner);
    InterruptCleanup::RunNow();
    EXPECT_TRUE(std::filesystem::exists(inner));
}

TEST(InterruptCleanupTest, ATooLongPathHoldsNothing) {
    const Guard guard(std::string(5000, 'x'), Guard::Kind::File);
    EXPECT_FALSE(guard.IsHeld());
    EXPECT_FALSE(Guard("", Guard::Kind::File).IsHeld());
}

}  // namespace
