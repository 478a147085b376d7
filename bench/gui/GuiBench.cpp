// GUI benchmark: one scroll step of the hex view with its painting. Each step is
// a line-down through the core (HexView::OnScroll -> RefreshPage: two page reads,
// cell texts and colours) followed by a synchronous repaint of the GridControl.
// Run through bench/run-gui.sh (Release build, offscreen platform); prints the
// figures per step and whether they stay under the 5 ms target. Wall time shows
// what the user waits; the thread's CPU time shows the work itself, unaffected by
// other processes on a busy machine. The verdict takes the median wall time and
// the 95th percentile of the CPU time.

#include <QApplication>
#include <QElapsedTimer>
#include <QFontInfo>

#include <time.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

#include "BenchFigures.h"
#include "BenchPorts.h"
#include "hexview/HexView.h"
#include "hexview/ScrollBarPort.h"
#include "image/FileImage.h"
#include "operations/WorkerState.h"
#include "platform/File.h"
#include "ports/WindowPorts.h"
#include "widgets/GridModel.h"
#include "widgets/qt/GridControl.h"

namespace {

constexpr double kTargetMs = 5.0;

// Work copy and source of `bytes` bytes. With `alternate`, every other row of the
// work copy differs from the source, so each step recolours every byte cell.
bool MakeFiles(const std::string& work, const std::string& source, uint32_t bytes, bool alternate) {
    File w, s;
    if (!w.Open(work, File::Mode::CreateReadWrite) || !s.Open(source, File::Mode::CreateReadWrite))
        return false;
    std::vector<uint8_t> a(bytes), b(bytes);
    for (uint32_t i = 0; i < bytes; ++i) {
        a[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
        b[i] = alternate && ((i / 16) % 2 == 1) ? static_cast<uint8_t>(a[i] ^ 0x5A) : a[i];
    }
    return w.WriteAt(0, a.data(), a.size()) && s.WriteAt(0, b.data(), b.size());
}

// Scrolls `steps` lines down (back to the top at the end of the image) and times
// each step: core refresh plus a synchronous repaint of the grid.
bool Run(const char* name, const std::string& dir, bool alternate, int steps) {
    const std::string work = dir + "/h_alor1.dll";
    const std::string source = dir + "/source.bin";
    const uint32_t bytes = 1u << 20;
    if (!MakeFiles(work, source, bytes, alternate)) {
        std::printf("%s: cannot write the image files in %s\n", name, dir.c_str());
        return false;
    }

    NullCommands commands;
    NullScrollBar scrollBar;
    WorkerState state;
    FileImage image;
    GridModel grid;
    HexView view(image, grid, scrollBar, commands, state);
    view.SetUpHexGrid();
    view.ResetScrollBar();
    image.workCopy().Open(work, File::Mode::ReadWrite);
    image.sourceFile().Open(source, File::Mode::ReadOnly);
    image.SetLength(bytes);
    image.SetLoaded(true);
    view.UpdateScrollRange();
    view.RefreshPage();

    GridControl control(grid);
    control.resize(control.sizeHint());
    control.show();
    QCoreApplication::processEvents();
    control.repaint();

    std::vector<double> wall, cpu;
    wall.reserve(static_cast<size_t>(steps));
    cpu.reserve(static_cast<size_t>(steps));
    QElapsedTimer timer;
    for (int i = 0; i < steps; ++i) {
        if (view.topRow() + HexView::kPageRows >= view.rowCount()) view.OnScroll(ScrollCode::ThumbTrack, 0);
        const double cpuStart = ThreadCpuMs();
        timer.start();
        view.OnScroll(ScrollCode::LineDown, 0);
        control.repaint();
        wall.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        cpu.push_back(ThreadCpuMs() - cpuStart);
        if (i % 256 == 255) QCoreApplication::processEvents();  // let queued update requests go
    }
    const StepFigures figures(wall, cpu);
    const bool ok = figures.Within(kTargetMs);
    std::printf("%s, %d steps (target %.0f ms per step): %s\n", name, steps, kTargetMs, ok ? "ok" : "SLOW");
    figures.Print();
    ::unlink(work.c_str());
    ::unlink(source.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: gui_bench WORKDIR [steps]\n");
        return 2;
    }
    const std::string dir = args.at(1).toStdString();
    const int steps = args.size() > 2 ? std::max(1, args.at(2).toInt()) : 4000;
    {
        GridModel model;
        const GridControl probe(model);
        std::printf("gui benchmark: platform %s, grid font %s\n", qPrintable(QGuiApplication::platformName()),
                    qPrintable(QFontInfo(probe.fontFor(GridFont{"", 14, 7})).family()));
    }
    bool ok = Run("unchanged bytes", dir, false, steps);
    ok = Run("every cell recoloured", dir, true, steps) && ok;
    return ok ? 0 : 1;
}
