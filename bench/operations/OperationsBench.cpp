// Program + verify of an 8 MiB image through the worker, the chip operations and
// the real driver library over its simulated programmer (delays off), against
// the time spent inside the driver calls alone; flashrom's dummy programmer
// writing and verifying the same image; and the peak memory of a 1 MiB against
// an 8 MiB image, each in a process of its own.
//
// Usage: operations_bench WORKDIR          all three measurements
//        operations_bench --child DIR      one run on a prepared directory (memory)

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BenchOperations.h"
#include "platform/DriverLibrary.h"

namespace {

using Clock = std::chrono::steady_clock;

// Timing trampolines: every entry point adds its own duration to one counter.
DriverApi g_real;
std::atomic<int64_t> g_driverNs{0};

struct CallTimer {
    Clock::time_point start = Clock::now();
    ~CallTimer() {
        g_driverNs += std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
    }
};

int32_t VELMOR_CALL TimedEnum() {
    CallTimer t;
    return g_real.QuovixEnum();
}
int32_t VELMOR_CALL TimedOpen(int32_t i) {
    CallTimer t;
    return g_real.QuovixOpen(i);
}
int32_t VELMOR_CALL TimedClose(int32_t h) {
    CallTimer t;
    return g_real.QuovixClose(h);
}
int32_t VELMOR_CALL TimedSelfTest(int32_t h) {
    CallTimer t;
    return g_real.QuovixUsbSelfTest(h);
}
int32_t VELMOR_CALL TimedSetFlashInfo(int32_t h, int32_t k, int32_t s) {
    CallTimer t;
    return g_real.QuovixSetFlashInfo(h, k, s);
}
int32_t VELMOR_CALL TimedSetWriteTime(int32_t h, int32_t w) {
    CallTimer t;
    return g_real.QuovixSetWriteTime(h, w);
}
int32_t VELMOR_CALL TimedInitFlash(int32_t h) {
    CallTimer t;
    return g_real.QuovixInitFlash(h);
}
int32_t VELMOR_CALL TimedProgram(int32_t h, const uint8_t* d, uint32_t n, uint32_t a, uint32_t* done) {
    CallTimer t;
    return g_real.QuovixProgram(h, d, n, a, done);
}
int32_t VELMOR_CALL TimedRead(int32_t h, uint8_t* b, uint32_t n, uint32_t a, uint32_t* done) {
    CallTimer t;
    return g_real.QuovixRead(h, b, n, a, done);
}
int32_t VELMOR_CALL TimedGetFlashInfo(int32_t h, int32_t* k, int32_t* c) {
    CallTimer t;
    return g_real.QuovixGetFlashInfo(h, k, c);
}

DriverApi Timed(const DriverApi& real) {
    g_real = real;
    DriverApi api;
    api.QuovixEnum = TimedEnum;
    api.QuovixOpen = TimedOpen;
    api.QuovixClose = TimedClose;
    api.QuovixUsbSelfTest = TimedSelfTest;
    api.QuovixSetFlashInfo = TimedSetFlashInfo;
    api.QuovixSetWriteTime = TimedSetWriteTime;
    api.QuovixInitFlash = TimedInitFlash;
    api.QuovixProgram = TimedProgram;
    api.QuovixRead = TimedRead;
    api.QuovixGetFlashInfo = TimedGetFlashInfo;
    return api;
}

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = 12345;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    return bytes;
}

// The image file, written in pieces so that no process holds it whole.
void WriteImage(const std::string& path, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::vector<uint8_t> piece = Pattern(1 << 20);
    for (size_t done = 0; done < size; done += piece.size()) {
        const size_t n = std::min(piece.size(), size - done);
        out.write(reinterpret_cast<const char*>(piece.data()), static_cast<std::streamsize>(n));
    }
}

struct RunResult {
    bool ok = false;
    double eraseSeconds = 0;
    double totalSeconds = 0;   // program + verify, request to idle
    double driverSeconds = 0;  // inside the entry points during those two runs
    std::string status;
};

// Makes `dir` with the image and the simulator's set-up (a 25X64, no delays).
void Prepare(const std::string& dir, size_t bytes) {
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/velmor-sim.conf")
        << "backend = simulator\nchip = 25X64\nblock_delay_ms = 0\nerase_ms = 0\n";
    std::filesystem::remove(dir + "/velmor-sim-chip.bin");
    WriteImage(dir + "/image.bin", bytes);
}

// One erase, then the timed program + verify of the image in `dir`, which
// becomes the current directory (the simulator reads its set-up there).
RunResult ProgramAndVerify(const std::string& dir) {
    std::filesystem::current_path(dir);
    RunResult result;
    DriverLibrary library;
    if (!library.LoadFrom(VELMOR_LIBRARY_PATH)) {
        std::fprintf(stderr, "cannot load %s\n", VELMOR_LIBRARY_PATH);
        return result;
    }
    const DriverApi api = Timed(library.Bind());

    BenchOperations core(api, dir);

    auto t0 = Clock::now();
    if (!core.Run(WorkerCode::Erase)) {
        result.status = core.lastStatus();
        return result;
    }
    result.eraseSeconds = std::chrono::duration<double>(Clock::now() - t0).count();

    g_driverNs = 0;
    t0 = Clock::now();
    const bool programmed = core.Run(WorkerCode::Program);
    const bool verified = programmed && core.Run(WorkerCode::Verify);
    result.totalSeconds = std::chrono::duration<double>(Clock::now() - t0).count();
    result.driverSeconds = static_cast<double>(g_driverNs.load()) / 1e9;
    result.ok = verified;
    result.status = core.lastStatus();
    return result;
}

double FlashromSeconds(const std::string& dir, size_t bytes) {
    std::filesystem::create_directories(dir);
    WriteImage(dir + "/image.bin", bytes);
    std::filesystem::remove(dir + "/chip.bin");
    const std::string command = "flashrom -p dummy:emulate=VARIABLE_SIZE,size=" + std::to_string(bytes) +
                                ",image=" + dir + "/chip.bin -w " + dir + "/image.bin >" + dir +
                                "/flashrom.log 2>&1";
    const auto t0 = Clock::now();
    const int rc = std::system(command.c_str());
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    if (rc != 0) {
        std::printf("flashrom failed (exit %d), see %s/flashrom.log\n", rc, dir.c_str());
        return -1;
    }
    return seconds;
}

// Peak resident set (KiB) of a child process doing one run with a `mib` image.
long ChildPeakKiB(const std::string& self, const std::string& dir, int mib) {
    Prepare(dir, static_cast<size_t>(mib) << 20);
    const pid_t pid = fork();
    if (pid == 0) {
        execl(self.c_str(), self.c_str(), "--child", dir.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--child") return ProgramAndVerify(argv[2]).ok ? 0 : 1;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s WORKDIR\n", argv[0]);
        return 2;
    }
    const std::string work = std::filesystem::absolute(argv[1]).string();
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    constexpr size_t kImage = 8u << 20;
    bool ok = true;

    Prepare(work + "/ours", kImage);
    const RunResult ours = ProgramAndVerify(work + "/ours");
    if (!ours.ok) {
        std::printf("program + verify failed: %s\n", ours.status.c_str());
        return 1;
    }
    const double ratio = ours.totalSeconds / ours.driverSeconds;
    std::printf("program + verify, 8 MiB image, 25X64 simulated, delays 0 (erase before: %.3f s)\n",
                ours.eraseSeconds);
    std::printf("  total (worker, operations, work copy)  %8.3f s  %7.1f MiB/s\n", ours.totalSeconds,
                8.0 / ours.totalSeconds);
    std::printf("  inside the driver calls                %8.3f s\n", ours.driverSeconds);
    std::printf("  ratio total/driver %.3f (goal <= 1.5): %s\n", ratio, ratio <= 1.5 ? "ok" : "NOT MET");
    ok = ok && ratio <= 1.5;

    const double flashrom = FlashromSeconds(work + "/flashrom", kImage);
    if (flashrom > 0) {
        const double withErase = ours.totalSeconds + ours.eraseSeconds;
        std::printf("flashrom -p dummy (VARIABLE_SIZE 8 MiB) -w, with its read, erase and verify: %.3f s\n",
                    flashrom);
        std::printf("  ratio flashrom/ours (program + verify)          %.2f (goal > 1): %s\n",
                    flashrom / ours.totalSeconds, flashrom > ours.totalSeconds ? "ok" : "NOT MET");
        std::printf("  ratio flashrom/ours (erase + program + verify)  %.2f\n", flashrom / withErase);
        ok = ok && flashrom > ours.totalSeconds;
    } else {
        ok = false;
    }

    const long small = ChildPeakKiB(self, work + "/mem1", 1);
    const long large = ChildPeakKiB(self, work + "/mem8", 8);
    if (small < 0 || large < 0) {
        std::printf("memory: a child run failed\n");
        return 1;
    }
    const double growth = static_cast<double>(large - small) / 1024.0;
    std::printf(
        "memory: peak RSS, same 25X64 chip, 1 MiB image %ld KiB, 8 MiB image %ld KiB, difference %.2f MiB "
        "(goal < 1): %s\n",
        small, large, growth, growth < 1.0 ? "ok" : "NOT MET");
    ok = ok && growth < 1.0;
    return ok ? 0 : 1;
}
