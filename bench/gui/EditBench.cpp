// GUI benchmark: one keystroke in the cell editor. A key press goes to the editor
// widget (CellEditorWidget) and runs the whole chain: the change handler, the
// commit (positioned write, checksum, labels), the page refresh, the step to the
// next byte with the editor reopened, and a synchronous repaint of the grid and
// the editor. Run through bench/run-edit.sh (Release build, offscreen platform).
// Wall time shows what the user waits; the thread's CPU time shows the work
// itself. The verdict takes the median wall time and the 95th percentile of the
// CPU time against the 5 ms target.

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>

#include <time.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <string>
#include <vector>

#include "BenchFigures.h"
#include "BenchPorts.h"
#include "hexview/CellEditor.h"
#include "hexview/HexView.h"
#include "hexview/ScrollBarPort.h"
#include "hexview/qt/CellEditorWidget.h"
#include "image/FileImage.h"
#include "image/ImageTexts.h"
#include "operations/WorkerState.h"
#include "platform/File.h"
#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"
#include "ports/WindowPorts.h"
#include "widgets/GridModel.h"
#include "widgets/qt/GridControl.h"

namespace {

constexpr double kTargetMs = 5.0;

bool WriteImage(const std::string& path, uint32_t bytes) {
    File f;
    if (!f.Open(path, File::Mode::CreateReadWrite)) return false;
    std::vector<uint8_t> data(bytes);
    for (uint32_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
    return f.WriteAt(0, data.data(), data.size());
}

// Types `keys` hex digits from the first byte of an image of `bytes` bytes on:
// inside the image every other keystroke steps to the next byte (and every 672nd
// scrolls the page); past the end every byte grows the image.
bool Run(const char* name, const std::string& dir, uint32_t bytes, int keys) {
    const std::string work = dir + "/h_alor1.dll";
    const std::string source = dir + "/source.bin";
    if (!WriteImage(work, bytes) || !WriteImage(source, bytes)) {
        std::printf("%s: cannot write the image files in %s\n", name, dir.c_str());
        return false;
    }
    NullStatus status;
    NullBoxes boxes;
    NullCommands commands;
    NullTexts texts;
    NullScrollBar scrollBar;
    WorkerState state;
    FileImage image;
    GridModel grid;
    HexView view(image, grid, scrollBar, commands, state);
    CellEditor editor(image, view, grid, status, boxes, commands, texts, state);
    view.SetEditor(&editor);
    view.SetUpHexGrid();
    view.ResetScrollBar();
    image.workCopy().Open(work, File::Mode::ReadWrite);
    image.sourceFile().Open(source, File::Mode::ReadOnly);
    {
        std::vector<uint8_t> data(bytes);
        image.ReadWork(0, data.data(), data.size());
        image.SetChecksum(ByteSum(data.data(), data.size()));
    }
    image.SetLength(bytes);
    image.SetLoaded(true);
    view.UpdateScrollRange();
    view.RefreshPage();

    QWidget parent;
    auto* control = new GridControl(grid, &parent);
    control->setGeometry(QRect(QPoint(0, 0), control->sizeHint()));
    auto* widget = new CellEditorWidget(control, &parent);
    widget->setFont(control->fontFor(GridFont{{}, 14, 7}));
    QObject::connect(widget, &CellEditorWidget::userChanged, [&editor] { editor.OnCellEditorChange(); });
    editor.SetControl(widget);
    parent.resize(control->sizeHint());
    parent.show();
    QCoreApplication::processEvents();

    editor.ToggleEditMode();
    GridRect cell;
    grid.CellRectangle(1, 1, cell);
    grid.LeftPress(cell.left + 2, cell.top + 2);
    editor.OnGridClick(cell.left + 2, cell.top + 2);
    control->repaint();

    static const char kDigits[] = "0123456789ABCDEF";
    std::vector<double> wall, cpu;
    QElapsedTimer timer;
    for (int i = 0; i < keys; ++i) {
        const char digit = kDigits[(i * 7) % 16];
        const int key = digit <= '9' ? Qt::Key_0 + (digit - '0') : Qt::Key_A + (digit - 'A');
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(QChar::fromLatin1(digit)));
        const double cpuStart = ThreadCpuMs();
        timer.start();
        QApplication::sendEvent(widget, &press);
        control->repaint();
        widget->repaint();
        wall.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        cpu.push_back(ThreadCpuMs() - cpuStart);
        if (i % 256 == 255) QCoreApplication::processEvents();
    }
    const uint32_t length = image.length();
    const StepFigures figures(wall, cpu);
    const bool ok = figures.Within(kTargetMs);
    std::printf("%s, %d keystrokes, image %u -> %u bytes, top row %u (target %.0f ms per keystroke): %s\n",
                name, keys, bytes, length, view.topRow(), kTargetMs, ok ? "ok" : "SLOW");
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
        std::fprintf(stderr, "usage: edit_bench WORKDIR [keystrokes]\n");
        return 2;
    }
    const std::string dir = args.at(1).toStdString();
    const int keys = args.size() > 2 ? std::max(1, args.at(2).toInt()) : 4000;
    std::printf("edit benchmark: platform %s\n", qPrintable(QGuiApplication::platformName()));
    bool ok = Run("typing over a 1 MiB image", dir, 1u << 20, keys);
    ok = Run("typing past the end of a 16-byte image", dir, 16, keys) && ok;
    return ok ? 0 : 1;
}
