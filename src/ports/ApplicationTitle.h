#pragma once

// The main window's title; boxes without a title of their own carry it too.
inline constexpr const char* kApplicationTitle = "XJQT_Tarlo Flash编程器 V1.5";
