#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// GBK (code page 936), the encoding of every text the program writes or counts
// in bytes. The program's own texts are UTF-8; these convert at the edges.
namespace Gbk {

// Replacement for a character GBK cannot represent (or a malformed byte sequence):
// one '?' per character (per byte of a malformed sequence).
inline constexpr char kReplacement = '?';

// UTF-8 -> GBK bytes.
std::string FromUtf8(std::string_view utf8);
// GBK bytes -> UTF-8; a malformed or unassigned sequence becomes one '?' per byte.
std::string ToUtf8(std::string_view gbk);
// Bytes the UTF-8 text takes in GBK (ASCII 1, Chinese 2, unrepresentable 1 for its '?').
size_t Length(std::string_view utf8);
// Bytes the one character at the start of `utf8` takes in GBK, and its UTF-8 length in `utf8Bytes`.
size_t CharLength(std::string_view utf8, size_t& utf8Bytes);
// True for a byte that starts a double-byte GBK character.
inline bool IsLeadByte(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}

}  // namespace Gbk
