#pragma once

#include <cstdint>
#include <string>

// The progress line of one job: the operation's caption, a bar, the percentage,
// the rate and the time left. Rate and time left come from the bytes the
// percentage stands for and the seconds since the bar appeared.
struct ProgressSample {
    std::string caption;  // "已烧录45%", as the window's bar shows it
    int percent = 0;
    uint64_t totalBytes = 0;  // what 100 % stands for
    double seconds = 0;       // since the bar appeared
};

// Bytes the percentage stands for.
uint64_t ProgressBytes(const ProgressSample& sample);
// "12.5 MiB/s", "830.0 KiB/s", "0 B/s" (nothing done yet or no time passed).
std::string RateText(double bytesPerSecond);
// "剩余 0:07", "剩余 1:02:03"; "剩余 --:--" until the first percent is done.
std::string RemainingText(const ProgressSample& sample);
// Terminal form: "已烧录45% [#############-----------------]  12.5 MiB/s  剩余 0:07"
// (the caption carries the percentage).
std::string TerminalProgressLine(const ProgressSample& sample, int barWidth = 30);
// Plain form for logs: "已烧录45% 12.5 MiB/s 剩余 0:07".
std::string PlainProgressLine(const ProgressSample& sample);
// Plain output keeps to every tenth percent (and the first and last): true when
// `percent` is one to print after `lastPrinted` (-1: none yet).
bool PlainProgressDue(int lastPrinted, int percent);
