// Image benchmark: loading (copy + checksum) against cp, the page refresh, and the
// peak resident memory of a large image paged end to end against an empty one.
// Run through bench/run-image.sh (Release build); prints figures and ratios.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchCore.h"
#include "hexview/HexView.h"
#include "image/FileImage.h"
#include "image/ImageLoader.h"
#include "platform/File.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

long PeakRssKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

bool MakeImage(const std::string& path, uint64_t bytes) {
    File f;
    if (!f.Open(path, File::Mode::CreateReadWrite)) return false;
    std::vector<uint8_t> block(1 << 20);
    for (uint64_t off = 0; off < bytes; off += block.size()) {
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<uint8_t>((off + i) * 131 + (off >> 20));
        size_t n = static_cast<size_t>(std::min<uint64_t>(block.size(), bytes - off));
        if (!f.WriteAt(off, block.data(), n)) return false;
    }
    return true;
}

void WarmCache(const std::string& path) {
    File f;
    if (!f.Open(path, File::Mode::ReadOnly)) return;
    std::vector<uint8_t> buf(1 << 20);
    for (uint64_t off = 0;; off += buf.size())
        if (f.ReadAt(off, buf.data(), buf.size()) <= 0) break;
}

double TimeCp(const std::string& from, const std::string& to) {
    ::unlink(to.c_str());
    auto t0 = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        execlp("cp", "cp", from.c_str(), to.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    double s = Seconds(Clock::now() - t0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? s : -1;
}

double TimeLoad(Core& core, const std::string& path) {
    auto t0 = Clock::now();
    core.loader.LoadImageFile(path, true);
    double s = Seconds(Clock::now() - t0);
    return core.image.loaded() ? s : -1;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int Load(const std::string& dir, const std::string& image, int rounds) {
    File probe;
    probe.Open(image, File::Mode::ReadOnly);
    const double mib = static_cast<double>(probe.Size()) / (1 << 20);
    probe.Close();
    WarmCache(image);
    Core core(dir);
    std::vector<double> cp, ours;
    for (int i = 0; i < rounds; ++i) {
        // Alternate, each after a sync, so both meet the same writeback state.
        sync();
        cp.push_back(TimeCp(image, dir + "/cp-copy.bin"));
        ::unlink((dir + "/cp-copy.bin").c_str());
        sync();
        core.image.Unload();
        ours.push_back(TimeLoad(core, image));
        if (cp.back() < 0 || ours.back() < 0) {
            std::printf("load: FAILED (cp %.3f s, ours %.3f s)\n", cp.back(), ours.back());
            return 1;
        }
        std::printf("  round %d: cp %.3f s, load %.3f s\n", i + 1, cp.back(), ours.back());
    }
    const double cpS = Median(cp), oursS = Median(ours);
    std::printf("load: image %.0f MiB, %d rounds, medians\n", mib, rounds);
    std::printf("  cp                   %8.3f s  %8.0f MiB/s\n", cpS, mib / cpS);
    std::printf("  copy+checksum+page   %8.3f s  %8.0f MiB/s\n", oursS, mib / oursS);
    std::printf("  ratio ours/cp throughput %.2f (goal >= 0.50): %s\n", cpS / oursS,
                cpS / oursS >= 0.5 ? "ok" : "MISSED");
    return cpS / oursS >= 0.5 ? 0 : 2;
}

int Refresh(const std::string& dir, const std::string& image) {
    Core core(dir);
    core.loader.LoadImageFile(image, true);
    if (!core.image.loaded()) return 1;
    HexView& view = core.view;
    const int steps = 200000;
    // Line by line (cached file), each step one refresh.
    auto t0 = Clock::now();
    for (int i = 0; i < steps; ++i) view.OnScroll(ScrollCode::LineDown, 0);
    const double lineUs = Seconds(Clock::now() - t0) * 1e6 / steps;
    // Thumb jumps across the whole image.
    t0 = Clock::now();
    const int jumps = 32768;
    for (int p = 0; p < jumps; ++p) view.OnScroll(ScrollCode::ThumbTrack, (p * 7919) % 32768);
    const double jumpUs = Seconds(Clock::now() - t0) * 1e6 / jumps;
    std::printf("refresh: %d line steps %.2f us/page, %d thumb jumps %.2f us/page (goal < 50): %s\n", steps,
                lineUs, jumps, jumpUs, std::max(lineUs, jumpUs) < 50 ? "ok" : "MISSED");
    return std::max(lineUs, jumpUs) < 50 ? 0 : 2;
}

// Child modes: print the peak resident set in KiB.
int RssEmpty(const std::string& dir) {
    Core core(dir);
    core.view.RefreshPage();
    std::printf("%ld\n", PeakRssKiB());
    return 0;
}

int RssFull(const std::string& dir, const std::string& image) {
    Core core(dir);
    core.loader.LoadImageFile(image, true);
    if (!core.image.loaded()) return 1;
    HexView& view = core.view;
    // End to end: every thumb position, and line steps over the last stretch.
    for (int p = 0; p <= 32767; ++p) view.OnScroll(ScrollCode::ThumbTrack, p);
    for (int p = 32767; p >= 0; p -= 3) view.OnScroll(ScrollCode::ThumbTrack, p);
    for (int i = 0; i < 100000; ++i) view.OnScroll(ScrollCode::LineUp, 0);
    std::printf("%ld\n", PeakRssKiB());
    return 0;
}

long RunChild(const std::string& self, const std::string& args) {
    std::string cmd = "'" + self + "' " + args;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return -1;
    long kib = -1;
    if (std::fscanf(p, "%ld", &kib) != 1) kib = -1;
    return pclose(p) == 0 ? kib : -1;
}

int Rss(const std::string& self, const std::string& dir, const std::string& image) {
    long empty = RunChild(self, "rss-empty '" + dir + "'");
    long full = RunChild(self, "rss-full '" + dir + "' '" + image + "'");
    if (empty < 0 || full < 0) return 1;
    const double diffMiB = static_cast<double>(full - empty) / 1024.0;
    std::printf(
        "memory: peak RSS empty image %ld KiB, 1 GiB image paged end to end %ld KiB, difference %.2f MiB "
        "(goal <= 20): %s\n",
        empty, full, diffMiB, diffMiB <= 20 ? "ok" : "MISSED");
    return diffMiB <= 20 ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "rss-empty") == 0) return RssEmpty(argv[2]);
    if (argc >= 4 && std::strcmp(argv[1], "rss-full") == 0) return RssFull(argv[2], argv[3]);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s WORKDIR [MiB] [rounds]\n", argv[0]);
        return 64;
    }
    const std::string dir = argv[1];
    const uint64_t mib = argc >= 3 ? std::strtoull(argv[2], nullptr, 10) : 1024;
    const int rounds = argc >= 4 ? std::atoi(argv[3]) : 5;
    const std::string image = dir + "/bench-image.bin";
    if (!MakeImage(image, mib << 20)) {
        std::fprintf(stderr, "cannot write %s\n", image.c_str());
        return 1;
    }
    int rc = 0;
    rc |= Load(dir, image, rounds);
    rc |= Refresh(dir, image);
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return 1;
    self[n] = '\0';
    rc |= Rss(self, dir, image);
    ::unlink(image.c_str());
    ::unlink((dir + "/h_alor1.dll").c_str());
    ::unlink((dir + "/cp-copy.bin").c_str());
    return rc;
}
