#pragma once

#include <QRect>
#include <QSize>

#include <array>

// Places of the main window's controls. The layout is given in dialog units of
// the window's 10-point 宋体 font; one unit is 1.75 pixels in both directions.
inline constexpr double kPixelsPerDialogUnit = 1.75;
inline constexpr int kClientWidthUnits = 451;
inline constexpr int kClientHeightUnits = 299;

// Converts by edges, so controls that touch in units touch in pixels.
QRect DialogUnitsToPixels(int x, int y, int width, int height);
QSize ClientSizePixels();

// Pixel size the hex grid's cells take (80 + 16 x 25 + 132 by 22 x 18).
inline constexpr int kGridContentWidth = 612;
inline constexpr int kGridContentHeight = 396;

enum class ControlKind { PictureButton, ComboBox, Label, CheckBox, Picture, Grid, ScrollBar, Edit, Status };

struct ControlPlacement {
    int id;
    ControlKind kind;
    const char* text;         // initial text (UTF-8); nullptr for none
    int x, y, width, height;  // dialog units
};

// Every control of the window with an id. The status text 1018 and the progress
// bar 1031 share one place; the bar is one unit wider.
inline constexpr std::array<ControlPlacement, 22> kControlPlacements{{
    {1004, ControlKind::PictureButton, "打开(Ctrl+O)", 5, 4, 52, 24},
    {1075, ControlKind::PictureButton, "保存(Ctrl+S)", 57, 4, 52, 24},
    {1019, ControlKind::PictureButton, "自动(F9)", 109, 4, 41, 24},
    {1020, ControlKind::PictureButton, "擦除(F4)", 150, 4, 41, 24},
    {1021, ControlKind::PictureButton, "烧录(F6)", 191, 4, 41, 24},
    {1023, ControlKind::PictureButton, "校验(F8)", 232, 4, 41, 24},
    {1022, ControlKind::PictureButton, "读出(F7)", 273, 4, 41, 24},
    {1035, ControlKind::PictureButton, "查空(F3)", 314, 4, 41, 24},
    {1024, ControlKind::PictureButton, "检测(F5)", 356, 4, 41, 24},
    {1026, ControlKind::PictureButton, "查看修改记录", 397, 4, 47, 24},
    {1078, ControlKind::ComboBox, nullptr, 30, 34, 52, 61},
    {1082, ControlKind::Label, "0", 31, 52, 50, 8},
    {1006, ControlKind::CheckBox, "编辑模式", 5, 67, 55, 10},
    {1032, ControlKind::Label, "空", 34, 83, 47, 8},
    {1033, ControlKind::Label, "0000000000", 33, 98, 41, 8},
    {1011, ControlKind::Label, "0", 43, 113, 38, 8},
    {1073, ControlKind::Picture, nullptr, 5, 127, 77, 142},
    {1057, ControlKind::Grid, nullptr, 86, 33, 352, 246},
    {1002, ControlKind::ScrollBar, nullptr, 437, 33, 10, 246},
    {1027, ControlKind::Edit, "", 29, 205, 7, 12},
    {1003, ControlKind::Edit, "支持文件拖放...", 170, 284, 277, 12},
    {1018, ControlKind::Status, "状态栏", 3, 283, 135, 12},
}};
inline constexpr int kProgressBarWidthUnits = 136;

// The chip identity line under 容量 (read-only), between the capacity label and
// the edit-mode box; its face is smaller so a maker and part fit.
inline constexpr ControlPlacement kChipIdentityPlacement{1083, ControlKind::Label, "", 5, 60, 77, 7};
inline constexpr int kChipIdentityPointSize = 7;

// Labels that name a field; they have no id.
struct LabelPlacement {
    const char* text;
    int x, y, width, height;  // dialog units
};
inline constexpr std::array<LabelPlacement, 6> kFieldLabels{{
    {"型号:", 5, 36, 24, 8},
    {"容量:", 5, 52, 25, 8},
    {"文件名:", 5, 83, 28, 8},
    {"校验码:", 5, 98, 28, 8},
    {"文件大小:", 5, 113, 37, 8},
    {"文件名:", 140, 286, 29, 8},
}};
