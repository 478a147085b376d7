// Programs, reads and erases an 8 MiB chip through the driver's entry points
// with the simulator's delays off, and prints how long each took. Exits with 1
// when programming or reading takes a second or more.
#include <dlfcn.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/DriverApi.h"

namespace {

template <typename Fn>
void bind(void* library, const char* name, Fn& slot) {
    slot = reinterpret_cast<Fn>(::dlsym(library, name));
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
    namespace fs = std::filesystem;
    const fs::path previous = fs::current_path();
    const fs::path dir = fs::temp_directory_path() / ("velmor-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::current_path(dir);
    std::ofstream("velmor-sim.conf")
        << "backend = simulator\nblock_delay_ms = 0\nerase_ms = 0\nchip = 25X64\n";

    void* library = ::dlopen(VELMOR_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "dlopen: %s\n", ::dlerror());
        return 2;
    }
    DriverApi api;
    bind(library, "QuovixEnum", api.QuovixEnum);
    bind(library, "QuovixOpen", api.QuovixOpen);
    bind(library, "QuovixClose", api.QuovixClose);
    bind(library, "QuovixSetFlashInfo", api.QuovixSetFlashInfo);
    bind(library, "QuovixSetWriteTime", api.QuovixSetWriteTime);
    bind(library, "QuovixInitFlash", api.QuovixInitFlash);
    bind(library, "QuovixProgram", api.QuovixProgram);
    bind(library, "QuovixRead", api.QuovixRead);

    constexpr uint32_t kSize = 8u << 20;
    constexpr uint32_t kBlock = 8192;
    std::vector<uint8_t> image(kSize);
    for (uint32_t i = 0; i < kSize; ++i) {
        image[i] = static_cast<uint8_t>(i * 131u >> 3);
    }
    std::vector<uint8_t> buffer(kBlock);
    int status = 0;

    auto start = std::chrono::steady_clock::now();
    const int32_t h = api.QuovixEnum() > 0 ? api.QuovixOpen(0) : -1;
    const bool ready = h > 0 && api.QuovixSetFlashInfo(h, 5, 0) && api.QuovixSetWriteTime(h, 5) &&
                       api.QuovixSetFlashInfo(h, 5, static_cast<int32_t>(kSize)) &&
                       api.QuovixSetWriteTime(h, 500);
    std::printf("open and set-up:   %8.1f ms\n", millisecondsSince(start));
    if (!ready) {
        std::fprintf(stderr, "set-up failed\n");
        return 2;
    }

    start = std::chrono::steady_clock::now();
    const bool erased = api.QuovixInitFlash(h) != 0;
    std::printf("erase 8 MiB:       %8.1f ms%s\n", millisecondsSince(start), erased ? "" : "  FAILED");

    start = std::chrono::steady_clock::now();
    bool programmed = true;
    for (uint32_t at = 0; at < kSize && programmed;) {
        uint32_t done = 0;
        programmed = api.QuovixProgram(h, image.data() + at, kBlock, at, &done) != 0 && done > 0;
        at += done;
    }
    const double programMs = millisecondsSince(start);
    std::printf("program 8 MiB:     %8.1f ms%s\n", programMs, programmed ? "" : "  FAILED");

    start = std::chrono::steady_clock::now();
    bool same = true;
    for (uint32_t at = 0; at < kSize && same;) {
        uint32_t done = 0;
        same = api.QuovixRead(h, buffer.data(), kBlock, at, &done) != 0 && done == kBlock &&
               std::equal(buffer.begin(), buffer.end(), image.begin() + at);
        at += done;
    }
    const double readMs = millisecondsSince(start);
    std::printf("read 8 MiB:        %8.1f ms%s\n", readMs, same ? "" : "  MISMATCH");

    api.QuovixClose(h);
    ::dlclose(library);
    fs::current_path(previous);
    fs::remove_all(dir);

    if (!erased || !programmed || !same) {
        status = 2;
    } else if (programMs >= 1000 || readMs >= 1000) {
        status = 1;
    }
    return status;
}
