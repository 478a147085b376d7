// The built xjqt-tarlo with the real driver library over its simulator, in a
// temporary directory: exit statuses as a script sees them, --all over several
// simulated programmers with one failing, and the progress output on a terminal
// (a pseudo-terminal) and without one; the chip identity detect reports and --json
// carries, an unknown chip refused untouched, and --chip.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TempDirectory.h"
#include "device/ProductDataScramble.h"

namespace {

struct Outcome {
    int exit = -1;
    std::string out;
    std::string err;
};

enum class Stderr { File, Terminal };

// Starts the tool in `dir` with `args`; standard output goes to a file, standard
// error to `errFd` or, when that is -1, to a file. Locks and work files stay in `dir`.
pid_t StartTool(const TempDirectory& dir, std::vector<std::string> args, int errFd = -1, int closeFd = -1) {
    if (std::find(args.begin(), args.end(), "--driver") == args.end())
        args.insert(args.begin(), {"--driver", VELMOR_LIBRARY_PATH});
    args.insert(args.begin(), XJQT_TARLO_PATH);
    const std::string outPath = dir.file("stdout.txt");
    const std::string errPath = dir.file("stderr.txt");
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.path().c_str()) != 0) _exit(120);
        setenv("TMPDIR", dir.path().c_str(), 1);
        setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = errFd >= 0 ? errFd : open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(err, 2);
        if (closeFd >= 0) close(closeFd);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(121);
    }
    return pid;
}

// Runs the tool to its end; standard error to a file or to a pseudo-terminal.
Outcome RunTool(const TempDirectory& dir, std::vector<std::string> args, Stderr err = Stderr::File) {
    int master = -1, slave = -1;
    if (err == Stderr::Terminal && openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return {};
    const pid_t pid = StartTool(dir, std::move(args), slave, master);
    Outcome outcome;
    if (err == Stderr::Terminal) {
        close(slave);
        char buffer[4096];
        for (;;) {
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) break;  // EIO once the child has closed the terminal
            outcome.err.append(buffer, static_cast<size_t>(n));
        }
        close(master);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    outcome.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const auto text = [](const std::vector<uint8_t>& bytes) {
        return std::string(bytes.begin(), bytes.end());
    };
    outcome.out = text(dir.Read("stdout.txt"));
    if (err == Stderr::File) outcome.err = text(dir.Read("stderr.txt"));
    return outcome;
}

void Configure(const TempDirectory& dir, const std::string& lines) {
    const std::string text = "backend = simulator\nblock_delay_ms = 0\nerase_ms = 0\n" + lines;
    dir.Write("velmor-sim.conf", std::vector<uint8_t>(text.begin(), text.end()));
    dir.Write("XJQT.uc", ProductDataScramble::Build(ProductDataScramble::ContentForSerial("TARLO-TEST")));
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(CliProcessTest, ExitStatusesAsAScriptSeesThem) {
    struct Row {
        const char* name;
        std::string config;
        std::vector<std::string> args;
        int exit;
        std::string lastLine;
    };
    const Row rows[] = {
        {"success", "", {"write", "fw.bin"}, 0, "自动擦除、烧录、校验成功..."},
        {"operation failure", "fail_erase_call = 1\n", {"erase"}, 1, "芯片擦除失败..."},
        {"usage", "", {"write"}, 2, ""},
        {"no programmer", "programmer = absent\n", {"detect"}, 3, "设备未连接..."},
        {"self-test fails", "self_test = fail\n", {"read", "out.bin"}, 3, "设备未连接..."},
        {"no chip", "chip = absent\n", {"blank"}, 4, "设备已连接,未检测到芯片..."},
        {"file error", "", {"verify", "missing.bin"}, 5, "文件打开失败"},
        {"driver missing",
         "",
         {"--driver", "/nonexistent/libvelmor.so", "detect"},
         5,
         "文件丢失！ /nonexistent/libvelmor.so"},
        {"overflow refused",
         "chip = 25X10\n",
         {"program", "big.bin"},
         5,
         "文件长度大于芯片存储量，未烧录（--allow-overflow 可继续）..."},
        {"verify difference", "", {"verify", "other.bin"}, 6, "校验结束，共1个错误..."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDirectory dir;
        Configure(dir, row.config);
        std::vector<uint8_t> image = PatternBytes(100000, 4);
        dir.Write("fw.bin", image);
        dir.Write("big.bin", PatternBytes(200000, 4));
        // The chip holds fw.bin; other.bin differs from it in one byte.
        std::vector<uint8_t> chip(1048576, 0xFF);
        std::copy(image.begin(), image.end(), chip.begin());
        dir.Write("velmor-sim-chip.bin", chip);
        image[777] ^= 0x40;
        dir.Write("other.bin", image);

        const Outcome o = RunTool(dir, row.args);
        EXPECT_EQ(o.exit, row.exit) << o.out << o.err;
        const std::vector<std::string> lines = LinesOf(o.out);
        if (row.lastLine.empty()) {
            EXPECT_TRUE(lines.empty()) << o.out;
            EXPECT_NE(o.err.find("命令行有误："), std::string::npos);
        } else {
            ASSERT_FALSE(lines.empty());
            EXPECT_EQ(lines.back(), row.lastLine);
        }
    }
}

TEST(CliProcessTest, AllRunsEveryProgrammerAndOneFailingLosesNoOtherWork) {
    TempDirectory dir;
    Configure(dir, "devices = 4\nchip = 25X20\n");
    // Programmer 2's chip file cannot be opened: its socket is empty.
    std::filesystem::create_directory(dir.path() / "velmor-sim-chip-2.bin");
    const std::vector<uint8_t> image = PatternBytes(150000, 8);
    dir.Write("fw.bin", image);

    const Outcome o = RunTool(dir, {"write", "fw.bin", "--all", "--json"});
    EXPECT_EQ(o.exit, 4);  // programmer 2's status
    const std::vector<std::string> lines = LinesOf(o.out);
    ASSERT_EQ(lines.size(), 4u) << o.out;
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const nlohmann::json r = nlohmann::json::parse(lines[static_cast<size_t>(i)]);
        EXPECT_EQ(r["device"], i);
        EXPECT_EQ(r["operation"], "write");
        if (i == 2) {
            EXPECT_EQ(r["outcome"], "no-chip");
            EXPECT_EQ(r["status"], "设备已连接,未检测到芯片...");
            continue;
        }
        EXPECT_EQ(r["outcome"], "success");
        EXPECT_EQ(r["chip"], "25X20");
        EXPECT_EQ(r["bytes"], image.size());
        const std::string chipFile =
            i == 0 ? "velmor-sim-chip.bin" : "velmor-sim-chip-" + std::to_string(i) + ".bin";
        const std::vector<uint8_t> chip = dir.Read(chipFile);
        ASSERT_EQ(chip.size(), 262144u);
        EXPECT_TRUE(std::equal(image.begin(), image.end(), chip.begin()));
    }
    // Every text carries its programmer.
    EXPECT_NE(o.err.find("[编程器2] 设备已连接,未检测到芯片...\n"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("[编程器3] 自动擦除、烧录、校验成功...\n"), std::string::npos);

    // Read back from all: one file per programmer.
    const Outcome read = RunTool(dir, {"--all", "read", "back.bin"});
    EXPECT_EQ(read.exit, 4);
    EXPECT_EQ(dir.Read("back-0.bin"), dir.Read("velmor-sim-chip.bin"));
    EXPECT_EQ(dir.Read("back-3.bin"), dir.Read("velmor-sim-chip-3.bin"));
    EXPECT_FALSE(dir.Exists("back-2.bin"));
}

TEST(CliProcessTest, ProgressIsABarOnATerminalAndPlainLinesOtherwise) {
    TempDirectory dir;
    Configure(dir, "");
    dir.Write("fw.bin", PatternBytes(524288, 1));

    const Outcome terminal = RunTool(dir, {"program", "fw.bin"}, Stderr::Terminal);
    EXPECT_EQ(terminal.exit, 0);
    EXPECT_NE(terminal.err.find("\r\x1b[K已烧录100% [##############################]"), std::string::npos)
        << terminal.err;
    EXPECT_NE(terminal.err.find("/s  剩余 "), std::string::npos);
    EXPECT_EQ(LinesOf(terminal.out), (std::vector<std::string>{"文件打开成功", "烧录成功..."}));

    const Outcome plain = RunTool(dir, {"verify", "fw.bin"});
    EXPECT_EQ(plain.exit, 0);
    EXPECT_EQ(plain.err.find('\x1b'), std::string::npos);
    // One line in each tenth, 0 % first and 100 % last.
    std::vector<int> tenths;
    const std::string caption = "已校验";
    for (const std::string& line : LinesOf(plain.err)) {
        ASSERT_EQ(line.rfind(caption, 0), 0u) << line;
        tenths.push_back(std::atoi(line.c_str() + caption.size()) / 10);
    }
    EXPECT_EQ(tenths, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));

    // Several programmers on a terminal: one line each, redrawn in place.
    Configure(dir, "devices = 3\n");
    const Outcome all = RunTool(dir, {"verify", "fw.bin", "--all"}, Stderr::Terminal);
    EXPECT_EQ(all.exit, 6);  // programmers 1 and 2 hold blank chips
    EXPECT_NE(all.err.find("\x1b[3A\r\x1b[K[编程器0] 已校验"), std::string::npos) << all.err;
    EXPECT_NE(all.err.find("\x1b[1A\r\x1b[K[编程器2] "), std::string::npos);
}

}  // namespace

namespace {

bool AnyEntryStartsWith(const TempDirectory& dir, const std::string& prefix) {
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        if (entry.path().filename().string().rfind(prefix, 0) == 0) return true;
    return false;
}

}  // namespace

// Interrupted in the middle of a read, the tool ends by the signal as any program
// would, the file it was asked to replace is as it was, and neither the temporary
// output nor its work directory stays behind.
TEST(CliProcessTest, AnInterruptedReadLeavesTheTargetAndNoTemporaryFiles) {
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signalNumber));
        TempDirectory dir;
        Configure(dir, "");
        // 1 MiB at 10 ms per 8 KiB read: over a second, time enough to interrupt.
        const std::string slow = "backend = simulator\nchip = 25X80\nblock_delay_ms = 20\n";
        dir.Write("velmor-sim.conf", std::vector<uint8_t>(slow.begin(), slow.end()));
        dir.Write("out.bin", {1, 2, 3});

        const pid_t pid = StartTool(dir, {"read", "out.bin"});
        ASSERT_GT(pid, 0);
        // The temporary output is made before the chip is read; wait for the read itself.
        bool reading = false;
        for (int i = 0; i < 500 && !reading; ++i) {
            usleep(10000);
            reading = AnyEntryStartsWith(dir, ".out.bin.") && AnyEntryStartsWith(dir, "xjqt-tarlo-") &&
                      std::filesystem::exists(dir.file("velmor-sim-chip.bin"));
        }
        ASSERT_TRUE(reading);
        usleep(200000);
        kill(pid, signalNumber);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);

        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << status;
        EXPECT_EQ(dir.Read("out.bin"), (std::vector<uint8_t>{1, 2, 3}));
        EXPECT_FALSE(AnyEntryStartsWith(dir, ".out.bin."));
        EXPECT_FALSE(AnyEntryStartsWith(dir, "xjqt-tarlo-"));
    }
}

namespace {

// Entries of `dir` that a run of the tool makes for itself: its work directories
// and the temporary files of its outputs.
std::vector<std::string> ToolLeftovers(const TempDirectory& dir) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("xjqt-tarlo-", 0) == 0 || name.rfind(".back-", 0) == 0) found.push_back(name);
    }
    std::sort(found.begin(), found.end());
    return found;
}

void ConfigureSlowProgrammers(const TempDirectory& dir, int devices) {
    Configure(dir, "");
    const std::string slow =
        "backend = simulator\nchip = 25X80\nblock_delay_ms = 20\ndevices = " + std::to_string(devices) + "\n";
    dir.Write("velmor-sim.conf", std::vector<uint8_t>(slow.begin(), slow.end()));
}

}  // namespace

// Jobs keep making files while a signal arrives: at every moment, nothing stays.
TEST(CliProcessTest, ASignalUnderAllLeavesNothingAtAnyMoment) {
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        for (const int delayMs : {3, 8, 15, 25, 50}) {
            SCOPED_TRACE(std::string(strsignal(signalNumber)) + " after " + std::to_string(delayMs) + " ms");
            TempDirectory dir;
            ConfigureSlowProgrammers(dir, 8);
            const pid_t pid = StartTool(dir, {"read", "back.bin", "--all"});
            ASSERT_GT(pid, 0);
            usleep(static_cast<useconds_t>(delayMs) * 1000);
            kill(pid, signalNumber);
            int status = 0;
            ASSERT_EQ(waitpid(pid, &status, 0), pid);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << status;
            EXPECT_EQ(ToolLeftovers(dir), std::vector<std::string>{});
        }
    }
}

// SIGKILL allows no clean-up: the next run removes what the killed one left, and
// nothing of a run that still goes on.
TEST(CliProcessTest, TheNextRunRemovesWhatAKilledRunLeft) {
    TempDirectory dir;
    ConfigureSlowProgrammers(dir, 2);
    const pid_t killed = StartTool(dir, {"read", "back.bin", "--all"});
    ASSERT_GT(killed, 0);
    const std::string tag = std::to_string(killed);
    bool started = false;
    for (int i = 0; i < 500 && !started; ++i) {
        usleep(10000);
        started = AnyEntryStartsWith(dir, ".back-1.bin." + tag + ".") &&
                  AnyEntryStartsWith(dir, "xjqt-tarlo-" + tag + "-");
    }
    ASSERT_TRUE(started);
    kill(killed, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(killed, &status, 0), killed);
    ASSERT_FALSE(ToolLeftovers(dir).empty());

    // Names of this test's own process, which runs: not the tool's to remove.
    const std::string alive = std::to_string(getpid());
    std::filesystem::create_directory(dir.path() / ("xjqt-tarlo-" + alive + "-aB3dE9"));
    dir.Write(".back-0.bin." + alive + ".Zz0099", {1});

    Configure(dir, "devices = 2\n");
    const Outcome next = RunTool(dir, {"read", "back.bin", "--all"});
    EXPECT_EQ(next.exit, 0) << next.out << next.err;
    EXPECT_EQ(ToolLeftovers(dir), (std::vector<std::string>{".back-0.bin." + alive + ".Zz0099",
                                                            "xjqt-tarlo-" + alive + "-aB3dE9"}));
}

// Started with standard output closed, the tool neither writes into a file that
// took its number nor reports a success: the loss is said on standard error.
TEST(CliProcessTest, AClosedStandardOutputIsAFileError) {
    TempDirectory dir;
    Configure(dir, "");
    const std::string command = "cd '" + dir.path().string() + "' && TMPDIR=. XDG_RUNTIME_DIR=. '" +
                                XJQT_TARLO_PATH + "' --driver '" + VELMOR_LIBRARY_PATH +
                                "' detect >&- 2> err.txt";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 5);
    const std::vector<uint8_t> err = dir.Read("err.txt");
    EXPECT_EQ(LinesOf(std::string(err.begin(), err.end())),
              (std::vector<std::string>{"标准输出写入失败，输出不完整"}));
}

namespace {

// The single JSON object standard output holds; null when it holds anything else.
nlohmann::json OnlyJsonLine(const std::string& out) {
    const std::vector<std::string> lines = LinesOf(out);
    if (lines.size() != 1) return nlohmann::json();
    return nlohmann::json::parse(lines.front(), nullptr, false);
}

}  // namespace

TEST(CliProcessTest, DetectNamesTheChipAndChipForcesItsSize) {
    struct Row {
        const char* name;
        std::string config;
        std::vector<std::string> args;
        int exit;
        nlohmann::json jedec, maker, part, identity, chip;
        uint32_t capacity;
        std::string report;  // the identity line of the same detect without --json
    };
    using nlohmann::json;
    const Row rows[] = {
        {"database chip",
         "jedec = C84017\n",
         {"detect"},
         0,
         "C84017",
         "GigaDevice",
         "GD25Q64",
         "database",
         "25X64",
         8388608,
         "芯片: GigaDevice GD25Q64  ID C84017  容量 8MB  来源 数据库"},
        {"sfdp chip",
         "chip = 25X128\njedec = 684018\nsfdp = yes\n",
         {"detect"},
         0,
         "684018",
         json(),
         json(),
         "sfdp",
         "25X128",
         16777216,
         "芯片: 未知厂商 未知型号  ID 684018  容量 16MB  来源 SFDP"},
        {"unknown chip",
         "jedec = AB1234\nsfdp = no\n",
         {"detect"},
         4,
         "AB1234",
         json(),
         json(),
         "unknown",
         "25X80",
         1048576,
         "芯片: 未知厂商 未知型号  ID AB1234  容量 未知  来源 未知"},
        {"unknown chip forced by model text",
         "jedec = AB1234\nsfdp = no\n",
         {"detect", "--chip", "25x32"},
         0,
         "AB1234",
         json(),
         json(),
         "unknown",
         "25X32",
         4194304,
         "芯片: 未知厂商 未知型号  ID AB1234  容量 未知  来源 未知"},
        {"unknown chip forced by part name",
         "jedec = AB1234\nsfdp = no\n",
         {"--chip", "gd25q64c", "detect"},
         0,
         "AB1234",
         json(),
         json(),
         "unknown",
         "25X64",
         8388608,
         "芯片: 未知厂商 未知型号  ID AB1234  容量 未知  来源 未知"},
        {"identified chip overridden",
         "jedec = C84017\n",
         {"detect", "--chip", "25X16"},
         0,
         "C84017",
         "GigaDevice",
         "GD25Q64",
         "database",
         "25X16",
         2097152,
         "芯片: GigaDevice GD25Q64  ID C84017  容量 8MB  来源 数据库"},
        {"no chip", "chip = absent\n", {"detect"}, 4, json(), json(), json(), json(), json(), 0, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDirectory dir;
        Configure(dir, row.config);
        std::vector<std::string> args = row.args;
        args.push_back("--json");
        const Outcome o = RunTool(dir, args);
        EXPECT_EQ(o.exit, row.exit) << o.out << o.err;
        const json result = OnlyJsonLine(o.out);
        ASSERT_TRUE(result.is_object()) << o.out;
        EXPECT_EQ(result["jedec"], row.jedec);
        EXPECT_EQ(result["maker"], row.maker);
        EXPECT_EQ(result["part"], row.part);
        EXPECT_EQ(result["identity"], row.identity);
        EXPECT_EQ(result["chip"], row.chip);
        EXPECT_EQ(result["capacity"], row.capacity);
        // The fields stand beside the chip's, in this order.
        std::vector<std::string> keys;
        const nlohmann::ordered_json ordered = nlohmann::ordered_json::parse(LinesOf(o.out).front());
        for (auto it = ordered.begin(); it != ordered.end(); ++it) keys.push_back(it.key());
        const std::vector<std::string> head(keys.begin(), keys.begin() + 7);
        EXPECT_EQ(head, (std::vector<std::string>{"device", "chip", "capacity", "jedec", "maker", "part",
                                                  "identity"}));

        const Outcome text = RunTool(dir, row.args);
        const std::vector<std::string> lines = LinesOf(text.out);
        if (row.report.empty()) {
            EXPECT_EQ(text.out.find("芯片: "), std::string::npos) << text.out;
        } else {
            EXPECT_NE(std::find(lines.begin(), lines.end(), row.report), lines.end()) << text.out;
        }
    }
}

TEST(CliProcessTest, AnUnknownChipIsRefusedBeforeItsContentsAreTouched) {
    const std::vector<std::vector<std::string>> commands = {
        {"read", "back.bin"},  {"write", "fw.bin"}, {"verify", "fw.bin"}, {"erase"}, {"blank"},
        {"program", "fw.bin"}, {"detect"},
    };
    const std::string refusal = "未知芯片 AB1234，无法确定容量，未操作芯片（用 --chip 型号 指定芯片）";
    for (const std::vector<std::string>& args : commands) {
        SCOPED_TRACE(args.front());
        TempDirectory dir;
        Configure(dir, "jedec = AB1234\nsfdp = no\n");
        dir.Write("fw.bin", PatternBytes(100000, 9));
        const std::vector<uint8_t> chip = PatternBytes(1048576, 3);
        dir.Write("velmor-sim-chip.bin", chip);

        const Outcome o = RunTool(dir, args);
        EXPECT_EQ(o.exit, 4) << o.out << o.err;
        const std::vector<std::string> lines = LinesOf(o.out);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), refusal);
        EXPECT_EQ(dir.Read("velmor-sim-chip.bin"), chip);
        EXPECT_FALSE(std::filesystem::exists(dir.file("back.bin")));
    }
}

TEST(CliProcessTest, ChipReadsAnUnknownChipAtTheNamedSize) {
    TempDirectory dir;
    Configure(dir, "chip = 25X32\njedec = AB1234\nsfdp = no\n");
    const std::vector<uint8_t> chip = PatternBytes(4194304, 5);
    dir.Write("velmor-sim-chip.bin", chip);
    const Outcome o = RunTool(dir, {"read", "back.bin", "--chip", "25X32"});
    EXPECT_EQ(o.exit, 0) << o.out << o.err;
    EXPECT_EQ(dir.Read("back.bin"), chip);
}

TEST(CliProcessTest, AChipNameNobodyKnowsIsACommandLineError) {
    TempDirectory dir;
    Configure(dir, "jedec = C84017\n");
    const std::vector<uint8_t> chip = PatternBytes(8388608, 6);
    dir.Write("velmor-sim-chip.bin", chip);
    const Outcome o = RunTool(dir, {"erase", "--chip", "NOSUCH99"});
    EXPECT_EQ(o.exit, 2);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err,
              "命令行有误：未知的芯片型号: NOSUCH99（xjqt-tarlo chips 列出芯片数据库）\n"
              "运行 xjqt-tarlo --help 查看用法。\n");
    EXPECT_EQ(dir.Read("velmor-sim-chip.bin"), chip);
}

namespace {

// Runs the tool in `dir` through the shell, `redirect` giving its streams.
int RunRedirected(const TempDirectory& dir, const std::string& args, const std::string& redirect) {
    const std::string command = "cd '" + dir.path().string() + "' && TMPDIR=. XDG_RUNTIME_DIR=. '" +
                                XJQT_TARLO_PATH + "' --driver '" + VELMOR_LIBRARY_PATH + "' " + args + " " +
                                redirect;
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string TextOf(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Names in `dir` that a run may leave behind: its work directories.
std::vector<std::string> WorkLeftovers(const TempDirectory& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        if (entry.path().filename().string().rfind("xjqt-tarlo-", 0) == 0)
            names.push_back(entry.path().filename().string());
    return names;
}

}  // namespace

TEST(CliProcessTest, DashReadsTheImageFromStandardInputAndWritesTheChipToStandardOutput) {
    const std::vector<uint8_t> image = PatternBytes(100000, 4);
    std::vector<uint8_t> chip(1048576, 0xFF);
    std::copy(image.begin(), image.end(), chip.begin());
    std::vector<uint8_t> other = image;
    other[4321] ^= 0x01;
    struct Row {
        const char* name;
        std::string args;
        std::string redirect;
        int exit;
        std::string lastText;  // of out.txt, or of err.txt where the chip went to standard output
        bool chipOnOutput;     // chip.out must hold the chip's bytes
    };
    const Row rows[] = {
        {"write", "write -", "< fw.bin > out.txt 2> err.txt", 0, "自动擦除、烧录、校验成功...", false},
        {"verify", "verify -", "< other.bin > out.txt 2> err.txt", 6, "校验结束，共1个错误...", false},
        {"empty input", "program -", "< /dev/null > out.txt 2> err.txt", 5,
         "文件为空（0字节），未操作芯片: -", false},
        {"read", "read -", "> chip.out 2> err.txt", 0, "芯片读取成功...", true},
        {"read, --json", "read - --json", "> chip.out 2> err.txt", 0,
         R"({"device":0,"chip":"25X80","capacity":1048576)", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDirectory dir;
        Configure(dir, "");
        dir.Write("fw.bin", image);
        dir.Write("other.bin", other);
        // The write starts from another content, so that only the image makes the chip right.
        dir.Write("velmor-sim-chip.bin",
                  row.exit == 0 && !row.chipOnOutput ? std::vector<uint8_t>(1048576, 0) : chip);
        EXPECT_EQ(RunRedirected(dir, row.args, row.redirect), row.exit) << TextOf(dir.Read("err.txt"));
        EXPECT_EQ(dir.Read("velmor-sim-chip.bin"), chip);
        const std::vector<std::string> lines =
            LinesOf(TextOf(dir.Read(row.chipOnOutput ? "err.txt" : "out.txt")));
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().substr(0, row.lastText.size()), row.lastText);
        if (row.chipOnOutput) {
            EXPECT_EQ(dir.Read("chip.out"), chip);
        }
        // The copy of standard input went with the run.
        EXPECT_EQ(WorkLeftovers(dir), std::vector<std::string>{});
    }
}

TEST(CliProcessTest, ATerminalIsNoImageStream) {
    struct Row {
        const char* name;
        std::vector<std::string> args;
        int terminalFd;
        std::string text;
    };
    const Row rows[] = {
        {"write from a terminal",
         {"write", "-"},
         0,
         "命令行有误：标准输入是终端：用管道或重定向（< 文件）提供映像数据"},
        {"read to a terminal",
         {"read", "-"},
         1,
         "命令行有误：标准输出是终端：用管道或重定向（> 文件）接收芯片数据"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDirectory dir;
        Configure(dir, "");
        const std::vector<uint8_t> chip = PatternBytes(1048576, 9);
        dir.Write("velmor-sim-chip.bin", chip);
        int master = -1, slave = -1;
        ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        std::vector<std::string> args = {XJQT_TARLO_PATH, "--driver", VELMOR_LIBRARY_PATH};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const std::string errPath = dir.file("err.txt");
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir.path().c_str()) != 0) _exit(120);
            setenv("TMPDIR", dir.path().c_str(), 1);
            setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
            const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int devNull = open("/dev/null", O_RDWR);
            dup2(devNull, 0);
            dup2(devNull, 1);
            dup2(slave, row.terminalFd);
            dup2(err, 2);
            close(master);
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(121);
        }
        close(slave);
        int status = 0;
        waitpid(pid, &status, 0);
        close(master);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 2);
        EXPECT_EQ(LinesOf(TextOf(dir.Read("err.txt"))),
                  (std::vector<std::string>{row.text, "运行 xjqt-tarlo --help 查看用法。"}));
        EXPECT_EQ(dir.Read("velmor-sim-chip.bin"), chip);
    }
}

TEST(CliProcessTest, VersionNamesTheDriverLibraryAndLibusb) {
    TempDirectory dir;
    Configure(dir, "");
    // --version takes the library beside the program, as a plain run does.
    const std::string command =
        "cd '" + dir.path().string() + "' && '" + XJQT_TARLO_PATH + "' --version > out.txt";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::vector<std::string> lines = LinesOf(TextOf(dir.Read("out.txt")));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("xjqt-tarlo ", 0), 0u);
    const std::string library =
        std::filesystem::path(XJQT_TARLO_PATH).parent_path().string() + "/libvelmor.so";
    EXPECT_EQ(lines[1], "驱动库: " + library);
    EXPECT_EQ(lines[2], "驱动库版本: " + lines[0].substr(std::strlen("xjqt-tarlo ")));
    EXPECT_EQ(lines[3].rfind("libusb 版本: 1.", 0), 0u) << lines[3];
}
