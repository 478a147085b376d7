// Save benchmark: saving an image in which every byte differs from its source (one
// log line per byte) and an unchanged large image, each against `cmp -l` of the same
// pair measured in the same round; and the peak resident memory of a save of many
// changes against one of a single change. Run through bench/run-save.sh (Release).

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchCore.h"
#include "image/ChangeLog.h"
#include "image/ImageSaver.h"
#include "platform/File.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kPiece = 1 << 20;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The core with a saver whose log lives in `dir`.
struct SaveCore : Core {
    explicit SaveCore(const std::string& dir)
        : Core(dir),
          log(dir + "/修改记录.txt"),
          saver(image, loader, view, log, SavePorts{status, boxes, commands, texts, fileDialog, shell}) {}
    NullFileDialog fileDialog;
    NullShell shell;
    ChangeLog log;
    ImageSaver saver;
};

bool MakeImage(const std::string& path, uint64_t bytes) {
    File f;
    if (!f.Open(path, File::Mode::CreateReadWrite)) return false;
    std::vector<uint8_t> block(kPiece);
    for (uint64_t off = 0; off < bytes; off += block.size()) {
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<uint8_t>((off + i) * 131 + (off >> 20));
        const size_t n = static_cast<size_t>(std::min<uint64_t>(block.size(), bytes - off));
        if (!f.WriteAt(off, block.data(), n)) return false;
    }
    return true;
}

// Every byte of the work copy inverted, or only the one at `only` when it is not -1.
bool Edit(FileImage& image, int64_t only) {
    std::vector<uint8_t> block(kPiece);
    if (only >= 0) {
        uint8_t b = 0;
        if (image.ReadWork(static_cast<uint64_t>(only), &b, 1) != 1) return false;
        b = static_cast<uint8_t>(~b);
        return image.WriteWork(static_cast<uint64_t>(only), &b, 1);
    }
    for (uint64_t off = 0;; off += kPiece) {
        const int64_t n = image.ReadWork(off, block.data(), kPiece);
        if (n <= 0) return n == 0;
        for (int64_t i = 0; i < n; ++i)
            block[static_cast<size_t>(i)] = static_cast<uint8_t>(~block[static_cast<size_t>(i)]);
        if (!image.WriteWork(off, block.data(), static_cast<size_t>(n))) return false;
    }
}

// `cmp -l a b > /dev/null`, run directly (no shell).
double TimeCmpToNull(const std::string& a, const std::string& b) {
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        execlp("cmp", "cmp", "-l", a.c_str(), b.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return Seconds(Clock::now() - t0);
}

// `cmp -l a b | cat > /dev/null`: the listing is really produced.
double TimeCmpListed(const std::string& a, const std::string& b) {
    const std::string command = "cmp -l '" + a + "' '" + b + "' | cat > /dev/null";
    const auto t0 = Clock::now();
    if (std::system(command.c_str()) == -1) return -1;
    return Seconds(Clock::now() - t0);
}

double TimeSave(SaveCore& core) {
    ::sync();  // the setup's writes are not charged to the save's flush
    const auto t0 = Clock::now();
    core.saver.SaveImage();
    return Seconds(Clock::now() - t0);
}

bool SameFiles(const std::string& a, const std::string& b) {
    const std::string command = "cmp -s '" + a + "' '" + b + "'";
    return std::system(command.c_str()) == 0;
}

int64_t SizeOf(const std::string& path) {
    File f;
    return f.Open(path, File::Mode::ReadOnly) ? f.Size() : -1;
}

// One fresh source of `bytes`, loaded, then edited.
bool Prepare(SaveCore& core, const std::string& dir, uint64_t bytes, int64_t only) {
    const std::string source = dir + "/source.bin";
    ::unlink((dir + "/修改记录.txt").c_str());
    if (!MakeImage(source, bytes)) return false;
    core.loader.LoadImageFile(source, true);
    return core.image.loaded() && Edit(core.image, only);
}

bool AllChanged(const std::string& dir, uint64_t bytes, int rounds) {
    const std::string source = dir + "/source.bin";
    const std::string work = dir + "/h_alor1.dll";
    std::vector<double> toNull, listed, save;
    for (int r = 0; r < rounds; ++r) {
        SaveCore core(dir);
        if (!Prepare(core, dir, bytes, -1)) return false;
        ::sync();
        toNull.push_back(TimeCmpToNull(source, work));
        listed.push_back(TimeCmpListed(source, work));
        save.push_back(TimeSave(core));
        const int64_t logSize = SizeOf(dir + "/修改记录.txt");
        if (!SameFiles(source, work) || logSize < static_cast<int64_t>(bytes * 31)) {
            std::printf("  round %d: the save did not write or log every byte\n", r + 1);
            return false;
        }
        std::printf("  round %d: cmp -l >/dev/null %.3f s, cmp -l | cat %.3f s, save %.3f s (log %.1f MiB)\n",
                    r + 1, toNull.back(), listed.back(), save.back(), logSize / 1048576.0);
    }
    const double s = Median(save), l = Median(listed), n = Median(toNull);
    std::printf("every byte changed: %.0f MiB, %llu log lines, %d rounds, medians\n", bytes / 1048576.0,
                static_cast<unsigned long long>(bytes), rounds);
    std::printf("  save (compare, write, log, fsync of both)  %.3f s\n", s);
    std::printf("  cmp -l SOURCE WORKCOPY | cat > /dev/null    %.3f s   ratio %.2f (goal <= 2): %s\n", l,
                s / l, s <= 2 * l ? "ok" : "MISSED");
    std::printf("  cmp -l SOURCE WORKCOPY > /dev/null          %.3f s   ratio %.2f (goal <= 2): %s\n", n,
                s / n, s <= 2 * n ? "ok" : "MISSED");
    return true;
}

bool Unchanged(const std::string& dir, uint64_t bytes, int rounds) {
    const std::string source = dir + "/source.bin";
    const std::string work = dir + "/h_alor1.dll";
    SaveCore core(dir);
    if (!Prepare(core, dir, bytes, 0) || !Edit(core.image, 0)) return false;  // edited back: no difference
    std::vector<double> cmp, save;
    for (int r = 0; r < rounds; ++r) {
        ::sync();
        TimeCmpToNull(source, work);  // both files cached alike
        cmp.push_back(TimeCmpToNull(source, work));
        save.push_back(TimeSave(core));
        std::printf("  round %d: cmp -l >/dev/null %.3f s, save %.3f s\n", r + 1, cmp.back(), save.back());
    }
    const double s = Median(save), c = Median(cmp);
    std::printf("unchanged: %.0f MiB, %d rounds, medians\n", bytes / 1048576.0, rounds);
    std::printf("  save %.3f s, cmp -l SOURCE WORKCOPY > /dev/null %.3f s, ratio %.2f (goal <= 1.5): %s\n", s,
                c, s / c, s <= 1.5 * c ? "ok" : "MISSED");
    return SameFiles(source, work);
}

// Peak resident set of a child process that prepares and saves; KiB, -1 on failure.
long PeakOfSave(const std::string& dir, uint64_t bytes, int64_t only) {
    const pid_t pid = fork();
    if (pid == 0) {
        SaveCore core(dir);
        if (!Prepare(core, dir, bytes, only)) _exit(1);
        core.saver.SaveImage();
        _exit(SameFiles(dir + "/source.bin", dir + "/h_alor1.dll") ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : -1;
}

bool Memory(const std::string& dir, uint64_t bytes) {
    const long one = PeakOfSave(dir, bytes, 12345);
    const long all = PeakOfSave(dir, bytes, -1);
    if (one < 0 || all < 0) return false;
    std::printf(
        "memory: peak RSS saving %.0f MiB with 1 change %ld KiB, with %llu changes %ld KiB, "
        "difference %.2f MiB (goal: no growth with the changes): %s\n",
        bytes / 1048576.0, one, static_cast<unsigned long long>(bytes), all, (all - one) / 1024.0,
        all - one <= 1024 ? "ok" : "MISSED");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: save_bench DIR [changed-MiB] [unchanged-MiB] [rounds]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const uint64_t changed = (argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 8) << 20;
    const uint64_t unchanged = (argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1024) << 20;
    const int rounds = argc > 4 ? std::atoi(argv[4]) : 3;
    if (!AllChanged(dir, changed, rounds)) return 1;
    if (!Memory(dir, changed)) return 1;
    ::unlink((dir + "/修改记录.txt").c_str());
    if (!Unchanged(dir, unchanged, rounds)) return 1;
    return 0;
}
