// The built xjqt-tarlo copied into an installed layout (bin/, share/xjqt-tarlo/)
// and started as a new user would: from a directory without XJQT.uc it works in
// the per-user directory, yet its file names mean the directory it started in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "TempDirectory.h"
#include "device/ProductDataScramble.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Text(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

// <root>/prefix is the install, <root>/home the user's home, <root>/start where the tool is started.
struct Installed {
    TempDirectory root;
    Installed() {
        fs::create_directories(root.path() / "prefix/bin");
        fs::create_directories(root.path() / "prefix/share/xjqt-tarlo");
        fs::create_directories(root.path() / "home");
        fs::create_directories(root.path() / "start");
        fs::create_directories(root.path() / "run");
        fs::copy_file(XJQT_TARLO_PATH, root.path() / "prefix/bin/xjqt-tarlo");
        fs::copy_file(VELMOR_LIBRARY_PATH, root.path() / "prefix/bin/libvelmor.so");
        root.Write("prefix/share/xjqt-tarlo/XJQT.uc", ProductData());
        root.Write("prefix/share/xjqt-tarlo/velmor-sim.conf",
                   Text("backend = simulator\nblock_delay_ms = 0\nerase_ms = 0\n"));
    }
    static std::vector<uint8_t> ProductData() {
        return ProductDataScramble::Build(ProductDataScramble::ContentForSerial("TARLO-TEST"));
    }
    std::string PerUser(const std::string& name) const {
        return root.file("home/.local/share/xjqt-tarlo/" + name);
    }

    // Exit status of the tool started in `start` with `args`; output discarded.
    int Run(const std::string& start, std::vector<std::string> args) const {
        args.insert(args.begin(), root.file("prefix/bin/xjqt-tarlo"));
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(start.c_str()) != 0) _exit(120);
            setenv("HOME", root.file("home").c_str(), 1);
            unsetenv("XDG_DATA_HOME");
            setenv("XDG_RUNTIME_DIR", root.file("run").c_str(), 1);
            setenv("TMPDIR", root.file("run").c_str(), 1);
            if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(122);
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(121);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(CliWorkDirectoryTest, RelativeFilesMeanTheStartDirectoryWhileTheToolWorksInThePerUserOne) {
    Installed install;
    const std::vector<uint8_t> image = PatternBytes(1048576, 3);
    install.root.Write("start/image.bin", image);
    fs::create_directories(install.root.path() / "start/sub");

    EXPECT_EQ(install.Run(install.root.file("start"), {"write", "image.bin"}), 0);
    EXPECT_EQ(install.Run(install.root.file("start/sub"), {"read", "../back.bin"}), 0);

    EXPECT_EQ(ReadBytes(install.root.file("start/back.bin")), image);
    // The simulated chip lives where the per-user velmor-sim.conf chose it.
    EXPECT_EQ(ReadBytes(install.PerUser("velmor-sim-chip.bin")), image);
    EXPECT_EQ(ReadBytes(install.PerUser("XJQT.uc")), Installed::ProductData());
    EXPECT_EQ(Names(install.root.path() / "start"),
              (std::vector<std::string>{"back.bin", "image.bin", "sub"}));
    EXPECT_TRUE(fs::is_empty(install.root.path() / "start/sub"));
}

TEST(CliWorkDirectoryTest, PreparedDirectoryIsUsedAsBefore) {
    Installed install;
    install.root.Write("start/XJQT.uc", Installed::ProductData());
    install.root.Write("start/velmor-sim.conf", Text("backend = simulator\nchip = absent\n"));
    // The per-user configuration would find a chip; the prepared one has none.
    EXPECT_EQ(install.Run(install.root.file("start"), {"detect"}), 4);
    EXPECT_FALSE(fs::exists(install.root.path() / "home/.local"));
}

TEST(CliWorkDirectoryTest, NoUsableInstalledDataLeavesTheToolInTheStartDirectory) {
    Installed install;
    fs::remove(install.root.path() / "prefix/share/xjqt-tarlo/XJQT.uc");
    // No XJQT.uc anywhere: the start-up check's file error, and nothing created.
    EXPECT_EQ(install.Run(install.root.file("start"), {"detect"}), 5);
    EXPECT_FALSE(fs::exists(install.root.path() / "home/.local"));
    EXPECT_TRUE(fs::is_empty(install.root.path() / "start"));
}

}  // namespace
