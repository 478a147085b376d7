#pragma once

#include <cstddef>
#include <string>

// The change log as the program's own log window shows it. The log is GBK with
// CR LF line ends and may grow to 100 MiB, so only its end is read.
struct ChangeLogView {
    enum class Outcome { Read, Missing, Unreadable };
    Outcome outcome = Outcome::Missing;
    bool cut = false;  // the log is longer than the part shown
    std::string text;  // UTF-8, lines ended by "\n"
};

// Reads at most the last `limit` bytes of `path`; a cut log starts at the first
// line after the cut, so no character is split.
ChangeLogView ReadChangeLogView(const std::string& path, size_t limit);

// What the window shows at most: the last blocks of a large log.
inline constexpr size_t kChangeLogViewLimit = 4 * 1024 * 1024;
