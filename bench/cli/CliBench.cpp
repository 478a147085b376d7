// The command-line tool against the window's core, with the real driver library
// over its simulated programmer:
//  1. `xjqt-tarlo write` of an 8 MiB image (25X64, delays off), the whole process
//     from spawn to exit, against the same erase + program + verify through the
//     window's worker and chip operations (work copy already made), run once in a
//     fresh process as the operations benchmark runs it. Goal: at most 1.2 times
//     the core's time. The same core run repeated in this process is shown too.
//  2. `xjqt-tarlo write --all` over 8 simulated programmers with their delays on
//     (the simulator's defaults, 25X80, 1 MiB image) against the same over one.
//     Goal: at most 1.3 times.
//
// Usage: cli_bench WORKDIR [rounds]

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "BenchOperations.h"
#include "device/ProductDataScramble.h"
#include "platform/DriverLibrary.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void WriteImage(const std::string& path, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<char> piece(1 << 20);
    uint32_t x = 12345;
    for (char& b : piece) {
        x = x * 1103515245u + 12345u;
        b = static_cast<char>(x >> 16);
    }
    for (size_t done = 0; done < size; done += piece.size())
        out.write(piece.data(), static_cast<std::streamsize>(std::min(piece.size(), size - done)));
}

// Erase, program and verify through the worker, timed from the first request to
// the last idle; the work copy is made first, outside the time.
double CoreRun(const std::string& dir, const DriverApi& api) {
    std::filesystem::current_path(dir);
    BenchOperations core(api, dir);
    const auto t0 = Clock::now();
    const bool ok =
        core.Run(WorkerCode::Erase) && core.Run(WorkerCode::Program) && core.Run(WorkerCode::Verify);
    const double seconds = Since(t0);
    if (!ok) {
        std::printf("core run failed: %s\n", core.lastStatus().c_str());
        std::exit(1);
    }
    return seconds;
}

// The tool as a script starts it; seconds from spawn to exit. Standard output goes
// to `dir`/out.txt (the --json objects), standard error is thrown away. posix_spawn
// (vfork and exec) rather than fork: a fork would copy this benchmark's own mappings
// (driver library, buffers), a cost of the parent that a shell never pays.
double ToolRun(const std::string& dir, std::vector<std::string> args, int expectedExit = 0) {
    args.insert(args.begin(), {XJQT_TARLO_PATH, "--driver", VELMOR_LIBRARY_PATH});
    const std::string outPath = dir + "/out.txt";
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto t0 = Clock::now();
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::printf("cannot start %s\n", argv[0]);
        std::exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = Since(t0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != expectedExit) {
        std::printf("xjqt-tarlo %s failed (status %d)\n", args[3].c_str(),
                    WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        std::exit(1);
    }
    return seconds;
}

// The job's own time, as its --json object gives it.
double JobSeconds(const std::string& dir) {
    std::ifstream in(dir + "/out.txt");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t at = text.find("\"seconds\":");
    return at == std::string::npos ? 0 : std::atof(text.c_str() + at + 10);
}

void Configure(const std::string& dir, const std::string& text) {
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/velmor-sim.conf") << "backend = simulator\n" << text;
    const std::vector<uint8_t> data =
        ProductDataScramble::Build(ProductDataScramble::ContentForSerial("TARLO-BENCH"));
    std::ofstream(dir + "/XJQT.uc", std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

// The core run once in a process of its own, as the operations benchmark runs it
// and as a window does its first operation: load the driver, make the work copy,
// erase, program, verify, exit. `operations` is the run's own time (first request
// to last idle), which the child leaves in `dir`/core-seconds.txt; `whole` is
// timed from the parent's spawn to the exit, like the tool.
struct ProcessTimes {
    double operations = 0;
    double whole = 0;
};

ProcessTimes CoreProcessRun(const std::string& dir, const char* self) {
    std::vector<std::string> args{self, "--core-process", dir};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto t0 = Clock::now();
    pid_t pid = -1;
    if (posix_spawn(&pid, self, nullptr, nullptr, argv.data(), environ) != 0) {
        std::printf("cannot start %s\n", self);
        std::exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ProcessTimes times;
    times.whole = Since(t0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::exit(1);
    std::ifstream(dir + "/core-seconds.txt") >> times.operations;
    return times;
}

int CoreProcessMain(const std::string& dir) {
    DriverLibrary library;
    if (!library.LoadFrom(VELMOR_LIBRARY_PATH)) return 1;
    const double seconds = CoreRun(dir, library.Bind());
    std::ofstream(dir + "/core-seconds.txt") << seconds << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--core-process") return CoreProcessMain(argv[2]);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s WORKDIR [rounds]\n", argv[0]);
        return 2;
    }
    const std::string work = std::filesystem::absolute(argv[1]).string();
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    // The core runs change the current directory: the path to start again by is absolute.
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();

    DriverLibrary library;
    if (!library.LoadFrom(VELMOR_LIBRARY_PATH)) {
        std::fprintf(stderr, "cannot load %s\n", VELMOR_LIBRARY_PATH);
        return 1;
    }
    const DriverApi api = library.Bind();

    // 1. One write, delays off. Core and tool alternate on separate directories.
    const std::string core = work + "/core";
    const std::string tool = work + "/tool";
    for (const std::string& dir : {core, tool}) {
        Configure(dir, "chip = 25X64\nblock_delay_ms = 0\nerase_ms = 0\n");
        WriteImage(dir + "/image.bin", 8u << 20);
    }
    std::vector<double> freshTimes, processTimes, repeatedTimes, toolTimes, jobTimes, startTimes;
    for (int i = 0; i < rounds; ++i) {
        const ProcessTimes fresh = CoreProcessRun(core, self.c_str());
        freshTimes.push_back(fresh.operations);
        processTimes.push_back(fresh.whole);
        repeatedTimes.push_back(CoreRun(core, api));
        toolTimes.push_back(ToolRun(tool, {"write", "image.bin", "--json"}));
        jobTimes.push_back(JobSeconds(tool));
        startTimes.push_back(ToolRun(tool, {"--version"}));
        std::printf(
            "  round %d: core fresh %.3f s (process %.3f s), core repeated %.3f s, "
            "xjqt-tarlo write %.3f s (job %.3f s), --version %.3f s\n",
            i + 1, freshTimes.back(), processTimes.back(), repeatedTimes.back(), toolTimes.back(),
            jobTimes.back(), startTimes.back());
    }
    const double fresh = Median(freshTimes);
    const double repeated = Median(repeatedTimes);
    const double toolMedian = Median(toolTimes);
    const double ratio = toolMedian / fresh;
    std::printf("erase + program + verify, 8 MiB image, 25X64 simulated, delays 0, medians of %d\n", rounds);
    std::printf("  window's core, once in a fresh process (as the operations benchmark) %7.3f s\n", fresh);
    std::printf("    that process from spawn to exit (driver, work copy included)     %7.3f s\n",
                Median(processTimes));
    std::printf("  window's core, repeated in one process (its memory already touched) %7.3f s\n", repeated);
    std::printf("  xjqt-tarlo write, whole process from spawn to exit                 %7.3f s\n", toolMedian);
    std::printf("    of which the job (load, erase, program, verify)                  %7.3f s\n",
                Median(jobTimes));
    std::printf("  xjqt-tarlo --version (process start, exit)                         %7.3f s\n",
                Median(startTimes));
    std::printf("  ratio tool / core once in a fresh process  %.2f (goal <= 1.2): %s\n", ratio,
                ratio <= 1.2 ? "ok" : "NOT MET");
    std::printf("  ratio tool / core repeated in one process  %.2f\n", toolMedian / repeated);

    // 2. --all over one and over eight programmers, delays on.
    const std::string one = work + "/one";
    const std::string eight = work + "/eight";
    Configure(one, "devices = 1\n");
    Configure(eight, "devices = 8\n");
    WriteImage(one + "/image.bin", 1u << 20);
    WriteImage(eight + "/image.bin", 1u << 20);
    const double oneTime = ToolRun(one, {"write", "image.bin", "--all"});
    const double eightTime = ToolRun(eight, {"write", "image.bin", "--all"});
    const double allRatio = eightTime / oneTime;
    std::printf("write --all, 1 MiB image, 25X80 simulated, delays on (20 ms per 8 KiB, erase 1 s)\n");
    std::printf("  one programmer                           %7.3f s\n", oneTime);
    std::printf("  eight programmers                        %7.3f s\n", eightTime);
    std::printf("  ratio %.2f (goal <= 1.3): %s\n", allRatio, allRatio <= 1.3 ? "ok" : "NOT MET");
    return ratio <= 1.2 && allRatio <= 1.3 ? 0 : 1;
}
