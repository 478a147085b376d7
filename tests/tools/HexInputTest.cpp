#include "tools/HexInput.h"

#include <gtest/gtest.h>

#include "tools/SearchPattern.h"

namespace {

struct CheckCase {
    const char* text;
    size_t caret;
    bool removed;
    const char* result;
    size_t resultCaret;
};

TEST(HexInput, CheckLooksAtTheCharacterBeforeTheCaret) {
    const CheckCase cases[] = {
        {"", 0, false, "", 0},        {"0", 1, false, "0", 1}, {"ABCDEF09", 8, false, "ABCDEF09", 8},
        {"12G", 3, true, "12", 2},                              // typed at the end
        {"1G2", 2, true, "12", 1},                              // typed in the middle
        {"G", 1, true, "", 0},        {"X1", 0, true, "1", 0},  // caret at the start: the first character
        {"1 ", 2, true, "1", 1},                                // a blank
        {"a", 1, true, "", 0},     // lower case reaches the check only without the upper-case edit
        {"1中", 2, true, "1", 1},  // a character of more than one byte
        {"中12", 1, true, "12", 0},   {"G1", 2, true, "1", 1},  // pasted: the rest of the text is cleaned too
        {"1Z2Z3", 5, true, "123", 3},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.text);
        const HexCheck check = CheckHexCharacter(c.text, c.caret);
        EXPECT_EQ(check.removed, c.removed);
        EXPECT_EQ(check.text, c.result);
        EXPECT_EQ(check.caret, c.resultCaret);
    }
}

TEST(HexInput, DecimalCheckRefusesHexLettersToo) {
    const CheckCase cases[] = {
        {"", 0, false, "", 0},     {"4294967295", 10, false, "4294967295", 10},
        {"12A", 3, true, "12", 2}, {"1F0", 2, true, "10", 1},
        {"A1", 0, true, "1", 0},   {"2 ", 2, true, "2", 1},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.text);
        const HexCheck check = CheckDecimalCharacter(c.text, c.caret);
        EXPECT_EQ(check.removed, c.removed);
        EXPECT_EQ(check.text, c.result);
        EXPECT_EQ(check.caret, c.resultCaret);
    }
}

TEST(HexInput, ReadsHexTextAsAnUnsigned32BitNumber) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"0", 0u},
        {"A", 10u},
        {"F", 15u},
        {"150", 0x150u},
        {"14F", 0x14Fu},
        {"0000000A", 10u},
        {"FFFFFFFF", 0xFFFFFFFFu},
        {"80000000", 0x80000000u},
        {"123456789", 0x23456789u},  // only the last eight digits stay
    };
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ReadHexText(text), value);
    }
}

TEST(HexInput, ByteTextHasTwoUpperCaseDigits) {
    EXPECT_EQ(HexByteText(0x05), "05");
    EXPECT_EQ(HexByteText(0xFF), "FF");
    EXPECT_EQ(HexByteText(0x0A), "0A");
    EXPECT_EQ(HexByteText(0x00), "00");
    EXPECT_EQ(HexByteText(0xC3), "C3");
}

struct PatternCase {
    const char* typed;
    FindMode mode;
    PatternError error;
    const char* pattern;
};

TEST(SearchPattern, HexAndCharacterModes) {
    const PatternCase cases[] = {
        {"a", FindMode::Hex, PatternError::None, "0A"},
        {"0a", FindMode::Hex, PatternError::None, "0A"},
        {"0A", FindMode::Hex, PatternError::None, "0A"},
        {"A", FindMode::Hex, PatternError::None, "0A"},
        {"ABC", FindMode::Hex, PatternError::None, "0ABC"},
        {"AB", FindMode::Hex, PatternError::None, "AB"},
        {"ff00", FindMode::Hex, PatternError::None, "FF00"},
        {"AB", FindMode::Character, PatternError::None, "4142"},
        {"a b", FindMode::Character, PatternError::None, "612062"},
        {"中", FindMode::Character, PatternError::None, "D6D0"},
        {"A B", FindMode::Hex, PatternError::BadHex, ""},
        {" ", FindMode::Hex, PatternError::BadHex, ""},
        {"AG", FindMode::Hex, PatternError::BadHex, ""},
        {"中", FindMode::Hex, PatternError::BadHex, ""},
        {"", FindMode::Hex, PatternError::Empty, ""},
        {"", FindMode::Character, PatternError::Empty, ""},
    };
    for (const PatternCase& c : cases) {
        SCOPED_TRACE(c.typed);
        const PatternResult result = MakeSearchPattern(c.typed, c.mode);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(result.pattern, c.pattern);
    }
}

TEST(SearchPattern, BytesOfAPattern) {
    EXPECT_EQ(PatternBytes("0ABC"), (std::vector<uint8_t>{0x0A, 0xBC}));
    EXPECT_EQ(PatternBytes("FF00"), (std::vector<uint8_t>{0xFF, 0x00}));
    EXPECT_EQ(PatternBytes("D6D0"), (std::vector<uint8_t>{0xD6, 0xD0}));
    EXPECT_TRUE(PatternBytes("").empty());
}

}  // namespace
