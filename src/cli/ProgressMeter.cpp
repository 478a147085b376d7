#include "cli/ProgressMeter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cli/CliTexts.h"

namespace {

std::string Format(const char* format, double value, const char* unit) {
    char text[48];
    std::snprintf(text, sizeof text, format, value, unit);
    return text;
}

double Rate(const ProgressSample& sample) {
    if (sample.seconds <= 0) return 0;
    return static_cast<double>(ProgressBytes(sample)) / sample.seconds;
}

}  // namespace

uint64_t ProgressBytes(const ProgressSample& sample) {
    const int percent = std::clamp(sample.percent, 0, 100);
    return sample.totalBytes * static_cast<uint64_t>(percent) / 100;
}

std::string RateText(double bytesPerSecond) {
    if (!(bytesPerSecond > 0)) return "0 B/s";
    if (bytesPerSecond >= 1024.0 * 1024.0)
        return Format("%.1f %s", bytesPerSecond / (1024.0 * 1024.0), "MiB/s");
    if (bytesPerSecond >= 1024.0) return Format("%.1f %s", bytesPerSecond / 1024.0, "KiB/s");
    return Format("%.0f %s", bytesPerSecond, "B/s");
}

std::string RemainingText(const ProgressSample& sample) {
    const std::string label = std::string(CliText::Remaining) + " ";
    const int percent = std::clamp(sample.percent, 0, 100);
    if (percent <= 0 || sample.seconds <= 0) return label + "--:--";
    const double left = sample.seconds * (100 - percent) / percent;
    const long total = std::lround(left);
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return label + text;
}

std::string TerminalProgressLine(const ProgressSample& sample, int barWidth) {
    const int percent = std::clamp(sample.percent, 0, 100);
    const int filled = barWidth * percent / 100;
    std::string bar = "[";
    bar.append(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(barWidth - filled), '-');
    bar += ']';
    return sample.caption + " " + bar + "  " + RateText(Rate(sample)) + "  " + RemainingText(sample);
}

std::string PlainProgressLine(const ProgressSample& sample) {
    return sample.caption + " " + RateText(Rate(sample)) + " " + RemainingText(sample);
}

bool PlainProgressDue(int lastPrinted, int percent) {
    if (percent == lastPrinted) return false;
    if (lastPrinted < 0 || percent >= 100) return true;
    return percent / 10 > lastPrinted / 10;
}
