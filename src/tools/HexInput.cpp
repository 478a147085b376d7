#include "tools/HexInput.h"

namespace {

// Decodes UTF-8 into code points; a malformed byte stands for itself.
std::u32string Decode(std::string_view text) {
    std::u32string out;
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        size_t extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        if (extra != 0 && i + extra >= text.size()) extra = 0;  // cut short: the byte alone
        char32_t c = extra == 0 ? b : b & (0x3F >> extra);
        for (size_t k = 1; k <= extra; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        out.push_back(c);
        i += extra + 1;
    }
    return out;
}

void Encode(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// The check with the set of valid characters as a parameter.
HexCheck CheckCharacter(std::string_view text, size_t caret, bool (*valid)(char32_t)) {
    HexCheck check;
    check.text = std::string(text);
    const std::u32string chars = Decode(text);
    check.caret = caret > chars.size() ? chars.size() : caret;
    if (chars.empty()) return check;

    const size_t p = check.caret == 0 ? 0 : check.caret - 1;
    if (valid(chars[p])) {
        // A paste may have brought other characters along before the last one.
        bool clean = true;
        for (char32_t c : chars) clean = clean && valid(c);
        if (clean) return check;
    }

    check.removed = true;
    check.text.clear();
    size_t removedBeforeCaret = 0;
    for (size_t i = 0; i < chars.size(); ++i) {
        if (valid(chars[i])) {
            Encode(chars[i], check.text);
        } else if (i < check.caret) {
            ++removedBeforeCaret;
        }
    }
    check.caret -= removedBeforeCaret;
    return check;
}

bool IsDecimalDigit(char32_t c) {
    return c >= U'0' && c <= U'9';
}

}  // namespace

HexCheck CheckHexCharacter(std::string_view text, size_t caret) {
    return CheckCharacter(text, caret, IsHexDigit);
}

HexCheck CheckDecimalCharacter(std::string_view text, size_t caret) {
    return CheckCharacter(text, caret, IsDecimalDigit);
}

uint32_t ReadHexText(std::string_view text) {
    uint32_t value = 0;
    for (char c : text) {
        const uint32_t digit = c < 'A' ? static_cast<uint32_t>(c - '0') : static_cast<uint32_t>(c - 'A' + 10);
        value = (value << 4) | digit;
    }
    return value;
}

std::string HexByteText(uint8_t byte) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[byte >> 4], kDigits[byte & 0xF]};
}
