#pragma once

#include <array>

// The main window's menu: top-level popups in order, each with its items.
struct MenuItemEntry {
    int id;            // 0: separator
    const char* text;  // UTF-8, with its '&' mnemonic
    bool grayed;       // disabled at start
    bool checked;      // checkable and checked at start
};

struct MenuEntry {
    const char* title;
    const MenuItemEntry* items;
    int count;
};

inline constexpr MenuItemEntry kFileMenu[] = {
    {1004, "打开文件(&O)", false, false}, {1075, "保存文件(&S)", true, false},
    {32784, "另存储为(&A)", true, false}, {32783, "编辑模式(&E)", true, false},
    {0, nullptr, false, false},           {1, "退出程序(&X)", false, false},
};
inline constexpr MenuItemEntry kProgrammingMenu[] = {
    {1019, "自动烧录(&A)", false, false}, {32812, "差异烧录(&D)", false, false},
    {1020, "擦除芯片(&E)", false, false}, {1021, "手动烧录(&W)", false, false},
    {1023, "数据校验(&V)", false, false}, {0, nullptr, false, false},
    {1035, "芯片查空(&C)", false, false}, {1022, "读出芯片(&R)", false, false},
};
inline constexpr MenuItemEntry kAddressMenu[] = {
    {32807, "地址定位(&P)", true, false},
    {32803, "数据查看(&D)", true, false},
    {32811, "数据查找(&L)", true, false},
    {32801, "文件填充(&F)", true, false},
};
inline constexpr MenuItemEntry kDeviceMenu[] = {
    {1024, "芯片检测(&T)", false, false},
    {32809, "产品序列号(&F)", false, false},
};
inline constexpr MenuItemEntry kSettingsMenu[] = {
    {32810, "提示音", false, true},
};
inline constexpr MenuItemEntry kHelpMenu[] = {
    {32797, "使用说明(&N)", false, false},
    {0, nullptr, false, false},
    {1025, "关于我们(&A)", false, false},
};

inline constexpr std::array<MenuEntry, 6> kMenus{{
    {"文件", kFileMenu, static_cast<int>(std::size(kFileMenu))},
    {"编程操作", kProgrammingMenu, static_cast<int>(std::size(kProgrammingMenu))},
    {"地址操作", kAddressMenu, static_cast<int>(std::size(kAddressMenu))},
    {"固件操作", kDeviceMenu, static_cast<int>(std::size(kDeviceMenu))},
    {"设置", kSettingsMenu, static_cast<int>(std::size(kSettingsMenu))},
    {"帮助", kHelpMenu, static_cast<int>(std::size(kHelpMenu))},
}};

// Tool tips of the buttons and the check box.
struct ToolTipEntry {
    int id;
    const char* text;
};
inline constexpr std::array<ToolTipEntry, 11> kToolTips{{
    {1006, "点击可更改文件模式"},
    {1026, "点击可查看数据修改日记"},
    {1019, "F9:自动擦除、烧录、校验芯片"},
    {1020, "F4:擦除芯片"},
    {1021, "F6:烧录数据"},
    {1022, "F7:读取芯片数据"},
    {1023, "F8:校验当前文件和芯片内数据"},
    {1024, "F5:检测设备和芯片"},
    {1035, "F3:芯片查空"},
    {1004, "CTRL+O:打开文件"},
    {1075, "CTRL+S:保存文件"},
}};
