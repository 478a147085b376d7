#pragma once

#include <cstdint>
#include <string>
#include <vector>

// How the find reads its typed text.
enum class FindMode { Hex, Character };

enum class PatternError { None, Empty, BadHex };

struct PatternResult {
    PatternError error = PatternError::None;
    std::string pattern;  // SearchPattern: two upper-case hex digits per byte
};

// SearchPattern of a typed text. Hex mode: upper case, no blanks, an odd count
// gets a leading "0" (ABC -> 0ABC), only 0-9 and A-F. Character mode: the text's
// GBK bytes (AB -> 4142).
PatternResult MakeSearchPattern(const std::string& typed, FindMode mode);

// The bytes a SearchPattern stands for.
std::vector<uint8_t> PatternBytes(const std::string& pattern);
