#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "hexview/HexViewEditor.h"
#include "hexview/ScrollBarPort.h"
#include "ports/ImageObserver.h"
#include "widgets/GridModel.h"

class CommandStates;
class FileImage;
class StatusLine;
struct WorkerState;

// Scroll bar notification codes handled by the view.
enum class ScrollCode {
    LineUp,
    LineDown,
    PageUp,
    PageDown,
    ThumbTrack,
    ThumbPosition,
    Top,
    Bottom,
    EndScroll
};

// One page of the image (21 rows of 16 bytes) in the grid: addresses, bytes and
// their text, each byte coloured by comparing the work copy with the source.
// Holds nothing but the page; every move re-reads it from the two files.
class HexView : public ImageObserver {
public:
    static constexpr int kPageRows = 21;
    static constexpr int kRowBytes = 16;
    static constexpr int kPageBytes = kPageRows * kRowBytes;  // 336
    static constexpr int kGridRows = kPageRows + 1;
    static constexpr int kGridColumns = kRowBytes + 2;
    static constexpr int kAsciiColumn = kRowBytes + 1;
    // From this row count on the scroll bar maps rows proportionally onto 0..32767.
    static constexpr uint32_t kProportionalRows = 32789;
    static constexpr int kScrollMaximum = 32767;
    // Wheel angle of one row: one notch of a standard wheel.
    static constexpr int kWheelStep = 120;
    // Status text of a page whose bytes cannot be read.
    static constexpr const char* kReadFailedText = "文件读取失败...";

    // Colour state of a byte cell.
    enum Mark : uint16_t { Unchanged = 0, Modified = 1, Outside = 2, Found = 3 };

    static constexpr GridColour kBlack = GridRgb(0, 0, 0);
    static constexpr GridColour kRed = GridRgb(255, 0, 0);
    static constexpr GridColour kGrey = GridRgb(204, 204, 204);
    static constexpr GridColour kWhite = GridRgb(255, 255, 255);
    static constexpr GridColour kBlue = GridRgb(0, 0, 255);

    HexView(FileImage& image, GridModel& grid, ScrollBarPort& scrollBar, CommandStates& commands,
            const WorkerState& state);

    // The editor arrives later; until then nothing is pending.
    void SetEditor(HexViewEditor* editor);
    // Where an unreadable page is reported; without one it is only shown grey.
    void SetStatusLine(StatusLine* status) { m_status = status; }

    // Start-up: grid look and the empty page (addresses 0..0x140, grey "FF", dots).
    void SetUpHexGrid();
    // Start-up: range 0..0, position 0, disabled.
    void ResetScrollBar();
    // rowCount from the image length; scroll range from it; position 0.
    void UpdateScrollRange();
    // Shows the page at topRow (see the marks), moves the scroll thumb, repaints,
    // and keeps the focus cell and a pending editor on their byte when focusFollow is set.
    void RefreshPage();

    // Scroll bar message; false when it is ignored entirely (no default processing).
    bool OnScroll(ScrollCode code, int thumbPosition);
    // Wheel message; `forView` is true when the wheel turns over the grid, or the
    // keyboard focus is on the grid or the scroll bar, or the cell editor is open.
    // The angle accumulates: one row per kWheelStep units, so a high-resolution
    // wheel or a touchpad moves as far as a notched wheel turned as far. Returns
    // true when the message is fully handled (refused), false when it goes on to
    // the default processing.
    bool OnWheel(int delta, bool forView);

    // Scroll position shown for a top row (proportional from 32789 rows on).
    int ScrollPositionOf(uint32_t topRow) const;
    // Top row of a thumb position (proportional from 32789 rows on).
    uint64_t TopRowOfThumb(int position) const;

    uint32_t rowCount() const { return m_rowCount; }
    uint32_t topRow() const { return m_topRow; }
    uint32_t previousTopRow() const { return m_previousTopRow; }
    void SetTopRow(uint32_t row) { m_topRow = row; }
    // The loader forgets the previous image's rows.
    void ResetRows() {
        m_rowCount = 0;
        m_topRow = 0;
    }

    bool focusFollow() const { return m_focusFollow; }
    void SetFocusFollow(bool on) { m_focusFollow = on; }

    // What the loader and the saver tell the view.
    void ImageRowsReset() override { ResetRows(); }
    void ImageLengthChanged(bool toTop) override {
        UpdateScrollRange();
        if (toTop) SetTopRow(0);
    }
    void ImageFocusCleared() override {
        SetFocusFollow(false);
        m_grid.SetCurrentCell(-1, -1);
    }
    void ImageChanged() override { RefreshPage(); }

    // The byte the focus (and the editor) was last on: file row and grid column.
    uint32_t editFileRow() const { return m_editFileRow; }
    int editColumn() const { return m_editColumn; }
    void SetEditPosition(uint32_t fileRow, int column) {
        m_editFileRow = fileRow;
        m_editColumn = column;
    }

    // Mark of byte cell (row 1..21, column 1..16); Outside for other cells.
    Mark MarkOf(int row, int column) const;
    // Find: shows a hit as white on blue until the next refresh that re-evaluates it.
    void MarkFound(int row, int column);

    // Hex and text forms used on the page (exposed for reuse and tests).
    static void FormatAddress(uint64_t offset, char* out);  // "%8X", blanks -> "0"; out holds 17
    static char AsciiOf(uint8_t byte) { return byte >= 0x21 && byte <= 0x7E ? static_cast<char>(byte) : '.'; }

private:
    void FollowFocus();
    bool CanPage() const;

    FileImage& m_image;
    GridModel& m_grid;
    ScrollBarPort& m_scrollBar;
    CommandStates& m_commands;
    const WorkerState& m_state;
    NoHexViewEditor m_noEditor;
    HexViewEditor* m_editor;

    uint32_t m_rowCount = 0;
    uint32_t m_topRow = 0;
    uint32_t m_previousTopRow = 0;
    bool m_focusFollow = false;
    uint32_t m_editFileRow = 0;
    int m_editColumn = -1;
    int m_scrollMaximum = 0;
    int64_t m_wheelAngle = 0;  // not yet a whole row, signed by direction
    StatusLine* m_status = nullptr;

    std::array<uint8_t, kPageBytes> m_workPage{};
    std::array<uint8_t, kPageBytes> m_sourcePage{};
    std::array<uint16_t, kPageBytes> m_marks{};
};
