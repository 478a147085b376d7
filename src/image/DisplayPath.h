#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The path box shows the source path cut to about 53 GBK bytes by dropping
// leading directories; the name label shows the last component.

inline constexpr size_t kDisplayPathLimit = 53;

// Drops leading components after the first `headBytes` bytes (the drive "D:" on
// Windows, nothing on POSIX) while the text is longer than `limit` GBK bytes, then
// inserts "<sep>...<sep>" after the head when anything was dropped. Characters are
// units: the second byte of a double-byte character is never a separator. A single
// long last component is never cut. UTF-8 in and out.
std::string ShortenDisplayPath(std::string_view path, char separator, size_t headBytes,
                               size_t limit = kDisplayPathLimit);

// The rule for paths of this platform ('/' with an empty head).
inline std::string DisplayPathOf(std::string_view path) {
    return ShortenDisplayPath(path, '/', 0);
}
// The rule for drive paths ('\' after a two-byte drive head).
inline std::string WindowsDisplayPathOf(std::string_view path) {
    return ShortenDisplayPath(path, '\\', 2);
}

// The part after the last separator; the whole text when there is none.
std::string NameTextOf(std::string_view path, char separator = '/');
