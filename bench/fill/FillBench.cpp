// Fill benchmark: a fill of N MiB from address 0 of an N MiB work copy (pieces of
// 8192 bytes, then the checksum over the whole work copy, the scroll range and
// the page) against dd writing the same bytes in the same pieces into a copy of
// the same file. Run through bench/run-fill.sh (Release build).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchPorts.h"
#include "hexview/HexView.h"
#include "image/FileImage.h"
#include "image/ImageFileCopy.h"
#include "image/ImageTexts.h"
#include "operations/WorkerState.h"
#include "platform/File.h"
#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"
#include "ports/WindowPorts.h"
#include "tools/FileFill.h"
#include "widgets/GridModel.h"

namespace {

using Clock = std::chrono::steady_clock;

bool WriteFile(const std::string& path, uint64_t bytes) {
    File file;
    if (!file.Open(path, File::Mode::CreateReadWrite)) return false;
    std::vector<uint8_t> block(1 << 20);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
    for (uint64_t at = 0; at < bytes; at += block.size())
        if (!file.WriteAt(at, block.data(), std::min<uint64_t>(block.size(), bytes - at))) return false;
    return true;
}

// Dirty pages of the previous round go to disk outside the timing.
void Sync() {
    if (std::system("sync") != 0) std::fprintf(stderr, "sync failed\n");
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double TimeDd(const std::string& path, uint64_t pieces) {
    const std::string command = "dd if=/dev/zero of='" + path + "' bs=8192 count=" + std::to_string(pieces) +
                                " conv=notrunc status=none";
    Sync();
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "dd failed\n");
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double TimeFill(const std::string& dir, uint64_t bytes, bool& ok) {
    LastStatusLine status;
    NullBoxes boxes;
    NullCommands commands;
    NullTexts texts;
    NullScrollBar scrollBar;
    WorkerState state;
    FileImage image;
    GridModel grid;
    HexView view(image, grid, scrollBar, commands, state);
    view.SetUpHexGrid();
    FileFill fill(image, view, status, boxes, texts, state, [] { return true; });
    ok = image.workCopy().Open(dir + "/h_alor1.dll", File::Mode::ReadWrite) &&
         image.sourceFile().Open(dir + "/source.bin", File::Mode::ReadOnly);
    image.SetLength(static_cast<uint32_t>(bytes));
    image.SetLoaded(true);
    view.UpdateScrollRange();
    view.RefreshPage();

    Sync();
    const auto start = Clock::now();
    fill.Press(FillRequest{"0", std::to_string(bytes), "00", false});
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    ok = ok && status.last == FileFill::FinishedText && image.length() == bytes && image.checksum() == 0;
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: fill_bench DIR [MiB] [rounds]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const uint64_t mib = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 64;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    const uint64_t bytes = mib << 20;
    const uint64_t pieces = bytes / 8192;

    for (const char* name : {"/h_alor1.dll", "/source.bin", "/dd-copy.bin"})
        if (!WriteFile(dir + name, bytes)) {
            std::fprintf(stderr, "cannot write %s%s\n", dir.c_str(), name);
            return 1;
        }

    std::vector<double> dd, ours;
    bool allOk = true;
    for (int round = 1; round <= rounds; ++round) {
        const double d = TimeDd(dir + "/dd-copy.bin", pieces);
        bool ok = false;
        const double f = TimeFill(dir, bytes, ok);
        allOk = allOk && ok;
        dd.push_back(d);
        ours.push_back(f);
        std::printf("  round %d: dd %.3f s, fill %.3f s%s\n", round, d, f, ok ? "" : " (fill FAILED)");
    }
    const double mdd = Median(dd), mours = Median(ours);
    std::printf("fill: %llu MiB into a %llu MiB work copy, %d rounds, medians\n",
                static_cast<unsigned long long>(mib), static_cast<unsigned long long>(mib), rounds);
    std::printf("  dd bs=8192 conv=notrunc   %.3f s  %7.0f MiB/s\n", mdd, static_cast<double>(mib) / mdd);
    std::printf("  fill+checksum+page        %.3f s  %7.0f MiB/s\n", mours, static_cast<double>(mib) / mours);
    const double ratio = mours / mdd;
    std::printf("  ratio fill/dd time %.2f (goal <= 1.50): %s\n", ratio,
                ratio <= 1.5 && allOk ? "ok" : "NOT MET");
    return allOk ? 0 : 1;
}
