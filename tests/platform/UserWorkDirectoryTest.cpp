#include "platform/UserWorkDirectory.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDirectory.h"

namespace fs = std::filesystem;

namespace {

using Kind = WorkDirectoryChoice::Kind;

const std::vector<uint8_t> kData = {'u', 'c', 1, 2, 3};
const std::vector<uint8_t> kWave = {'R', 'I', 'F', 'F', 9};
const std::vector<uint8_t> kConf = {'#', ' ', 'n', 'o', 'n', 'e', '\n'};
const std::vector<uint8_t> kPage = {'<', 'p', '>'};

// A start directory, a home and an installed data folder as the package lays it out.
struct Station {
    TempDirectory root;
    WorkDirectorySetting setting;

    Station() {
        fs::create_directories(root.path() / "start");
        fs::create_directories(root.path() / "home");
        fs::create_directories(root.path() / "share/sound");
        fs::create_directories(root.path() / "share/manual");
        root.Write("share/XJQT.uc", kData);
        root.Write("share/sound/finishsound.wav", kWave);
        root.Write("share/velmor-sim.conf", kConf);
        root.Write("share/manual/index.html", kPage);
        setting.currentDirectory = root.file("start");
        setting.home = root.file("home");
        setting.installedData = root.file("share");
    }
    std::string PerUser() const { return root.file("home/.local/share/xjqt-tarlo") + "/"; }
};

std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        names.push_back(fs::relative(e.path(), dir).string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(UserWorkDirectoryTest, PreparedDirectoryIsUsedAndNothingIsCreated) {
    Station s;
    s.root.Write("start/XJQT.uc", {7});
    const WorkDirectoryChoice c = ChooseWorkDirectory(s.setting);
    EXPECT_EQ(c.kind, Kind::Current);
    EXPECT_EQ(c.directory, s.root.file("start") + "/");
    EXPECT_FALSE(fs::exists(s.root.path() / "home/.local"));
}

TEST(UserWorkDirectoryTest, FreshHomeGetsACopyOfTheInstalledData) {
    Station s;
    const WorkDirectoryChoice c = ChooseWorkDirectory(s.setting);
    ASSERT_EQ(c.kind, Kind::PerUser) << c.problem;
    EXPECT_EQ(c.directory, s.PerUser());
    EXPECT_EQ(ReadBytes(s.PerUser() + "XJQT.uc"), kData);
    EXPECT_EQ(ReadBytes(s.PerUser() + "sound/finishsound.wav"), kWave);
    EXPECT_EQ(ReadBytes(s.PerUser() + "velmor-sim.conf"), kConf);
    EXPECT_EQ(ReadBytes(s.PerUser() + "manual/index.html"), kPage);
    const std::vector<std::string> expected = {
        "XJQT.uc", "manual", "manual/index.html", "sound", "sound/finishsound.wav", "velmor-sim.conf"};
    EXPECT_EQ(Listing(s.PerUser()), expected);  // no temporary names left behind
}

TEST(UserWorkDirectoryTest, PerUserDirectoryFollowsTheXdgRule) {
    struct Case {
        const char* xdg;  // "@" stands for the station's root
        const char* home;
        const char* expected;  // below the root; "" when none can be made
    };
    const Case cases[] = {
        {"", "@/home", "home/.local/share/xjqt-tarlo/"},
        {"@/data", "@/home", "data/xjqt-tarlo/"},
        {"@/data/", "@/home", "data/xjqt-tarlo/"},
        {"relative/data", "@/home", "home/.local/share/xjqt-tarlo/"},
        {"", "", ""},
        {"", "relative/home", ""},
    };
    for (const Case& k : cases) {
        Station s;
        const auto expand = [&](std::string v) {
            if (!v.empty() && v.front() == '@') v = s.root.path().string() + v.substr(1);
            return v;
        };
        s.setting.xdgDataHome = expand(k.xdg);
        s.setting.home = expand(k.home);
        const WorkDirectoryChoice c = ChooseWorkDirectory(s.setting);
        if (*k.expected == '\0') {
            EXPECT_EQ(c.kind, Kind::Unavailable) << k.xdg << " " << k.home;
            EXPECT_EQ(c.directory, s.root.file("start") + "/");
            EXPECT_FALSE(c.problem.empty());
        } else {
            EXPECT_EQ(c.kind, Kind::PerUser) << k.xdg << " " << k.home;
            EXPECT_EQ(c.directory, s.root.path().string() + "/" + k.expected);
            EXPECT_EQ(ReadBytes(c.directory + "XJQT.uc"), kData);
        }
    }
}

TEST(UserWorkDirectoryTest, UnusableInstalledDataCreatesNothing) {
    struct Case {
        const char* name;
        void (*spoil)(Station&);
    };
    const Case cases[] = {
        {"missing", [](Station& s) { fs::remove_all(s.root.path() / "share"); }},
        {"without data file", [](Station& s) { fs::remove(s.root.path() / "share/XJQT.uc"); }},
        {"a file",
         [](Station& s) {
             fs::remove_all(s.root.path() / "share");
             s.root.Write("share", kData);
         }},
        {"not named", [](Station& s) { s.setting.installedData.clear(); }},
        {"unreadable", [](Station& s) { chmod(s.setting.installedData.c_str(), 0); }},
    };
    for (const Case& k : cases) {
        // The superuser reads through any mode.
        if (std::string(k.name) == "unreadable" && geteuid() == 0) continue;
        Station s;
        k.spoil(s);
        const WorkDirectoryChoice c = ChooseWorkDirectory(s.setting);
        chmod(s.setting.installedData.c_str(), 0755);
        EXPECT_EQ(c.kind, Kind::Unavailable) << k.name;
        EXPECT_EQ(c.directory, s.root.file("start") + "/") << k.name;
        EXPECT_NE(c.problem.find("找不到可读的安装数据"), std::string::npos) << k.name << ": " << c.problem;
        EXPECT_FALSE(fs::exists(s.root.path() / "home/.local")) << k.name;
    }
}

TEST(UserWorkDirectoryTest, UnreadableSubfolderIsReportedAndTheDataFileStaysWhole) {
    Station s;
    // A dangling entry the copy cannot read, as a folder the superuser cannot read either.
    fs::create_symlink(s.root.path() / "nowhere", s.root.path() / "share/sound/broken.wav");
    const WorkDirectoryChoice c = ChooseWorkDirectory(s.setting);
    EXPECT_EQ(c.kind, Kind::Unavailable);
    EXPECT_NE(c.problem.find("broken.wav"), std::string::npos) << c.problem;
    EXPECT_FALSE(fs::exists(s.PerUser() + "sound/broken.wav.part"));
}

TEST(UserWorkDirectoryTest, HomeThatIsAFileIsReported) {
    Station s;
    fs::remove_all(s.root.path() / "home");
    s.root.Write("home", {1});
    const WorkDirectoryChoice c = ChooseWorkDirectory(s.setting);
    EXPECT_EQ(c.kind, Kind::Unavailable);
    EXPECT_EQ(c.directory, s.root.file("start") + "/");
    EXPECT_NE(c.problem.find(".local/share/xjqt-tarlo"), std::string::npos) << c.problem;
}

TEST(UserWorkDirectoryTest, ExistingPerUserDirectoryIsKeptAndOnlyCompleted) {
    Station s;
    const std::string dir = s.PerUser();
    fs::create_directories(dir + "sound");
    const std::vector<uint8_t> ownConf = {'b', 'a', 'c', 'k', 'e', 'n', 'd'};
    const std::vector<uint8_t> ownData = {'o', 'w', 'n'};
    const std::vector<uint8_t> chip = {0xFF, 0x00, 0x5A};
    s.root.Write("home/.local/share/xjqt-tarlo/velmor-sim.conf", ownConf);
    s.root.Write("home/.local/share/xjqt-tarlo/XJQT.uc", ownData);
    s.root.Write("home/.local/share/xjqt-tarlo/velmor-sim-chip.bin", chip);
    const WorkDirectoryChoice c = ChooseWorkDirectory(s.setting);
    ASSERT_EQ(c.kind, Kind::PerUser) << c.problem;
    EXPECT_EQ(ReadBytes(dir + "velmor-sim.conf"), ownConf);
    EXPECT_EQ(ReadBytes(dir + "XJQT.uc"), ownData);
    EXPECT_EQ(ReadBytes(dir + "velmor-sim-chip.bin"), chip);
    EXPECT_EQ(ReadBytes(dir + "sound/finishsound.wav"), kWave);  // missing pieces come back
}

TEST(UserWorkDirectoryTest, ResolveAgainstTable) {
    struct Case {
        const char* base;
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"/home/u/fw", "a.bin", "/home/u/fw/a.bin"},
        {"/home/u/fw/", "a.bin", "/home/u/fw/a.bin"},
        {"/home/u/fw", "../b/a.bin", "/home/u/fw/../b/a.bin"},
        {"/home/u/fw", "/abs/a.bin", "/abs/a.bin"},
        {"/home/u/fw", "-", "-"},
        {"/home/u/fw", "", ""},
        {"", "a.bin", "a.bin"},
    };
    for (const Case& k : cases)
        EXPECT_EQ(ResolveAgainst(k.base, k.path), k.expected) << k.base << " " << k.path;
}

}  // namespace
