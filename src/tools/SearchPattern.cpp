#include "tools/SearchPattern.h"

#include "platform/Gbk.h"
#include "tools/HexInput.h"

namespace {

uint8_t DigitValue(char c) {
    return static_cast<uint8_t>(c <= '9' ? c - '0' : c - 'A' + 10);
}

}  // namespace

PatternResult MakeSearchPattern(const std::string& typed, FindMode mode) {
    PatternResult result;
    if (typed.empty()) {
        result.error = PatternError::Empty;
        return result;
    }
    if (mode == FindMode::Character) {
        for (char c : Gbk::FromUtf8(typed)) result.pattern += HexByteText(static_cast<uint8_t>(c));
        return result;
    }
    std::string text = typed;
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (text.size() % 2 != 0) text.insert(text.begin(), '0');
    for (char c : text) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
        if (!hex) {  // blanks included
            result.error = PatternError::BadHex;
            return result;
        }
    }
    result.pattern = std::move(text);
    return result;
}

std::vector<uint8_t> PatternBytes(const std::string& pattern) {
    std::vector<uint8_t> bytes;
    bytes.reserve(pattern.size() / 2);
    for (size_t i = 0; i + 1 < pattern.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(DigitValue(pattern[i]) << 4 | DigitValue(pattern[i + 1])));
    return bytes;
}
