// Find benchmark: FindInFile through the real worker against a plain loop of
// pread (1 MiB) + memmem over the same cached file, side by side in one run:
// a 16-byte pattern placed only at the end of a 1 GiB image, and the worst case
// (an all-0xFF image, pattern FF x 15 00, not found). Also the peak resident
// memory the searches add. Run through bench/run-find.sh (Release build).

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BenchPorts.h"
#include "hexview/HexView.h"
#include "image/FileImage.h"
#include "operations/OperationWorker.h"
#include "operations/WorkerState.h"
#include "platform/File.h"
#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"
#include "ports/WindowPorts.h"
#include "ports/WindowServices.h"
#include "tools/AddressJump.h"
#include "tools/FileFinder.h"
#include "tools/FindHitView.h"
#include "tools/FindSession.h"
#include "widgets/GridModel.h"

namespace {

using Clock = std::chrono::steady_clock;

struct CountingBoxes : MessageBoxes {
    MessageAnswer Show(const std::string&, const std::string&, MessageIcon, MessageButtons) override {
        ++shown;
        return MessageAnswer::Ok;
    }
    std::atomic<int> shown{0};
};
// The view work runs on the worker here: the benchmark has no window thread,
// and nothing else touches the view meanwhile.
struct InlineWindow : WindowThread, WindowLifetime {
    void Run(const std::function<void()>& work) override { work(); }
    void ServeUntil(const std::function<bool()>& done) override {
        while (!done()) std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    void EndWindow() override {}
};

// The program's find without a window.
struct Finder {
    explicit Finder(const std::string& path)
        : view(image, grid, scrollBar, commands, state),
          jump(image, view, grid, status, boxes, state),
          hitView(jump, view, grid),
          worker(state,
                 [this](uint8_t code) {
                     if (code == WorkerCode::Find) finder.FindInFile();
                 }),
          session(state, worker, window, boxes),
          finder(image, session, hitView, window, boxes) {
        view.SetUpHexGrid();
        view.ResetScrollBar();
        image.workCopy().Open(path, File::Mode::ReadOnly);
        image.sourceFile().Open(path, File::Mode::ReadOnly);
        image.SetLength(static_cast<uint32_t>(image.workCopy().Size()));
        image.SetLoaded(true);
        view.UpdateScrollRange();
        view.RefreshPage();
        worker.Start();
        worker.WaitUntilIdle(std::chrono::seconds(10));
    }
    ~Finder() {
        session.StopForShutdown();
        worker.RequestQuit();
        worker.Join();
    }

    // Seconds from the press to the first hit (found) or to the end message.
    double Search(const std::string& pattern, bool& found) {
        const int boxesBefore = boxes.shown;
        const auto start = Clock::now();
        session.Press(pattern, FindMode::Hex, true);
        while (state.WorkerCommand != 0 && !(boxes.shown > boxesBefore && worker.IsIdle()))
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        found = state.WorkerCommand == 0;
        session.DialogClosed();
        worker.WaitUntilIdle(std::chrono::seconds(60));
        return seconds;
    }

    NullStatus status;
    CountingBoxes boxes;
    NullCommands commands;
    NullScrollBar scrollBar;
    InlineWindow window;
    WorkerState state;
    FileImage image;
    GridModel grid;
    HexView view;
    AddressJump jump;
    FindHitView hitView;
    OperationWorker worker;
    FindSession session;
    FileFinder finder;
};

// The plain loop: pread 1 MiB, memmem, keep n - 1 bytes of overlap.
double PlainLoop(const std::string& path, const std::vector<uint8_t>& pattern, int64_t& hit) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::vector<uint8_t> buffer(1 << 20);
    const size_t n = pattern.size();
    hit = -1;
    const auto start = Clock::now();
    uint64_t base = 0;
    for (;;) {
        const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), static_cast<off_t>(base));
        if (got < static_cast<ssize_t>(n)) break;
        if (const void* p = memmem(buffer.data(), static_cast<size_t>(got), pattern.data(), n)) {
            hit = static_cast<int64_t>(base +
                                       static_cast<uint64_t>(static_cast<const uint8_t*>(p) - buffer.data()));
            break;
        }
        base += static_cast<uint64_t>(got) - n + 1;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    ::close(fd);
    return seconds;
}

bool WriteImage(const std::string& path, uint64_t size, bool allFF, const std::vector<uint8_t>& tail) {
    File file;
    if (!file.Open(path, File::Mode::CreateReadWrite)) return false;
    std::vector<uint8_t> block(1 << 20);
    uint32_t x = 0x12345678;
    for (uint64_t offset = 0; offset < size; offset += block.size()) {
        if (allFF) {
            std::fill(block.begin(), block.end(), 0xFF);
        } else {
            for (uint8_t& b : block) {  // xorshift: bytes without long repeats
                x ^= x << 13;
                x ^= x >> 17;
                x ^= x << 5;
                b = static_cast<uint8_t>(x);
            }
        }
        if (!file.WriteAt(offset, block.data(), block.size())) return false;
    }
    return tail.empty() || file.WriteAt(size - tail.size(), tail.data(), tail.size());
}

void Cache(const std::string& path) {
    File file;
    file.Open(path, File::Mode::ReadOnly);
    std::vector<uint8_t> block(1 << 20);
    for (uint64_t offset = 0; file.ReadAt(offset, block.data(), block.size()) > 0; offset += block.size()) {
    }
}

long PeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// One case: `rounds` alternating runs of the plain loop and the find. Returns
// the ratio of our throughput to the loop's.
double Case(const char* name, const std::string& path, const std::string& pattern, uint64_t size, int rounds,
            bool expectHit) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < pattern.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(pattern.substr(i, 2), nullptr, 16)));
    Cache(path);
    Finder finder(path);
    std::vector<double> plain, ours;
    for (int r = 0; r < rounds; ++r) {
        int64_t hit = -1;
        plain.push_back(PlainLoop(path, bytes, hit));
        bool found = false;
        ours.push_back(finder.Search(pattern, found));
        if (found != expectHit || (hit >= 0) != expectHit) {
            std::printf("%s: FAILED (found %d, plain loop hit %lld)\n", name, found,
                        static_cast<long long>(hit));
            return 0;
        }
        std::printf("  round %d: plain loop %.3f s, find %.3f s\n", r + 1, plain.back(), ours.back());
    }
    const double mib = static_cast<double>(size) / 1048576.0;
    const double p = Median(plain), o = Median(ours);
    std::printf("%s: %.0f MiB, %d rounds, medians\n", name, mib, rounds);
    std::printf("  pread 1 MiB + memmem  %8.3f s  %8.0f MiB/s\n", p, mib / p);
    std::printf("  find (worker)         %8.3f s  %8.0f MiB/s\n", o, mib / o);
    return p / o;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: find_bench DIR [MiB] [rounds]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const uint64_t mib = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1024;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    const uint64_t size = mib << 20;
    const std::string pattern = "0123456789ABCDEFFEDCBA9876543210";
    std::vector<uint8_t> tail;
    for (size_t i = 0; i < pattern.size(); i += 2)
        tail.push_back(static_cast<uint8_t>(std::stoi(pattern.substr(i, 2), nullptr, 16)));

    const std::string endImage = dir + "/end.bin", ffImage = dir + "/ff.bin";
    if (!WriteImage(endImage, size, false, tail) || !WriteImage(ffImage, size, true, {})) {
        std::printf("could not write the images\n");
        return 1;
    }
    const long before = PeakKiB();
    int rc = 0;

    const double end = Case("pattern at the end", endImage, pattern, size, rounds, true);
    std::printf("  ratio find/loop throughput %.2f (goal >= 0.50): %s\n", end, end >= 0.5 ? "ok" : "MISSED");
    rc |= end >= 0.5 ? 0 : 1;
    ::unlink(endImage.c_str());

    const double worst = Case("worst case, all FF, FF x 15 00", ffImage, "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00",
                              size, rounds, false);
    std::printf("  ratio find/loop throughput %.2f (goal: no slower, >= 1.00 within 5%% noise): %s\n", worst,
                worst >= 0.95 ? "ok" : "MISSED");
    rc |= worst >= 0.95 ? 0 : 1;
    ::unlink(ffImage.c_str());

    const long after = PeakKiB();
    std::printf(
        "memory: peak RSS before the searches %ld KiB, after %ld KiB, grown %.2f MiB (buffer 1 MiB)\n",
        before, after, static_cast<double>(after - before) / 1024.0);
    return rc;
}
