#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Scrambling of the product data file "XJQT.uc". A byte at file position p is
// stored as ScrambleTable[plain] XOR ScrambleKey[p mod 256]; the key index
// follows the position over the whole file, the trailing checksum included.
class ProductDataScramble {
public:
    using Table = std::array<uint8_t, 256>;

    // The two constants, the key stored directly after the table (the table is a
    // permutation of 0..255).
    struct Tables {
        Table ScrambleTable;
        Table ScrambleKey;
    };
    static const Tables& Constants();
    // Inverse of ScrambleTable: the entry at ScrambleTable[i] is i.
    static Table BuildUnscrambleTable(const Table& scrambleTable);
    static const Table& UnscrambleTable();

    static uint8_t Scramble(uint8_t plain, uint64_t position);
    static uint8_t Unscramble(uint8_t stored, uint64_t position);

    // A whole data file for `content`: the scrambled content followed by the
    // scrambled 32-bit byte sum of the content, most significant byte first.
    static std::vector<uint8_t> Build(std::string_view content);

    // What the product ships: "XJQT*<serial>*XJQT_Tarlo Flash".
    static std::string ContentForSerial(std::string_view serial);
    // A serial that can be framed: printable ASCII without '*', not empty.
    static bool IsValidSerial(std::string_view serial);
};
