#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The two input rules every address tool shares (goto, data view, fill, find's
// neighbours): the hex-character check run after each change of an address or
// data edit, and the reading of a hexadecimal text as a number.

// Outcome of the hex-character check on an edit's new text.
struct HexCheck {
    bool removed = false;  // characters were taken out: show the tool's message
    std::string text;      // the text to write back into the edit (UTF-8)
    size_t caret = 0;      // caret position to set, in characters
};

// `text` is the edit's UTF-8 text after the change, `caret` the caret position in
// characters. The character before the caret (the first one when the caret is at
// the start) must be 0-9 or A-F; when it is not, it is removed and the caret goes
// where it stood. Other characters that are not hex digits can only have arrived
// together with it (a paste); they are removed in the same step, so the text that
// stays is always hexadecimal.
HexCheck CheckHexCharacter(std::string_view text, size_t caret);
// The same check for a decimal edit: 0-9 are the valid characters.
HexCheck CheckDecimalCharacter(std::string_view text, size_t caret);

// True for 0-9 and A-F (the edits convert letters to upper case before the check).
inline bool IsHexDigit(char32_t c) {
    return (c >= U'0' && c <= U'9') || (c >= U'A' && c <= U'F');
}

// "%2X" of a byte with blanks as "0": two upper-case digits (0x0A -> "0A").
std::string HexByteText(uint8_t byte);

// A text of hex digits as an unsigned 32-bit number, read from the first
// character to the last: each character shifts the value left by 4 bits and is
// or-ed in (c - '0' below 'A', else c - 'A' + 10). Only the last 8 digits count.
// Callers refuse an empty text first.
uint32_t ReadHexText(std::string_view text);
