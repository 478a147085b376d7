#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

// The lines of the modification log, as bytes: GBK text, lines ended by CR LF.
// A block is the head (a blank line, the BEGIN rule, the head line), the change
// lines or the chip-data line, and the END rule without a line end.
namespace ChangeLogFormat {

inline constexpr std::string_view kBlockEnd =
    "----------------------------------------END----------------------------------------";
// Longest change line: eight blanks, "[", eight digits, "]: null --> XX", CR LF.
inline constexpr size_t kChangeLineMax = 33;

// "    %Y-%m-%d %H:%M:%S": four blanks, then the local date and time.
std::string Stamp(const std::tm& local);
// Head of an ordinary save naming the saved file (its name without directory; UTF-8 in).
std::string FileHead(const std::string& stamp, const std::string& fileName);
// Head of a save of chip data.
std::string ChipHead(const std::string& stamp);
// The one line of a chip-data save, naming the new file (UTF-8 in).
std::string ChipLine(const std::string& fileName);
// "        [0000001A]: FF --> 00" and CR LF (image offsets fit 32 bits) into `out` (kChangeLineMax bytes);
// `old` below 0 is written "null" (the byte lay beyond the source's end). The length.
size_t ChangeLine(uint32_t address, int old, uint8_t now, char* out);

}  // namespace ChangeLogFormat
