#include "image/ImageTexts.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

std::string ChecksumText(uint64_t checksum) {
    char text[32];
    int n = std::snprintf(text, sizeof text, "%2X%8X", static_cast<unsigned>(checksum >> 32),
                          static_cast<unsigned>(checksum & 0xFFFFFFFFu));
    std::string out(text, n > 0 ? static_cast<size_t>(n) : 0);
    for (char& c : out)
        if (c == ' ') c = '0';
    return out;
}

std::string SizeText(uint32_t length) {
    // "%0.2fKB" with a decimal point whatever the locale (the GUI library sets the
    // user's locale, and printf would then write "0,10KB").
    char text[48];
    const auto result =
        std::to_chars(text, text + sizeof text - 2, static_cast<double>(length) / 1024.0, std::chars_format::fixed, 2);
    std::string out(text, result.ptr);
    return out + "KB";
}

uint64_t ByteSum(const uint8_t* data, size_t count) {
    // Eight bytes at a time into four 16-bit lanes; a lane takes at most 510 per
    // word, so it is folded into the total every 128 words before it can overflow.
    constexpr uint64_t kLow = 0x00FF00FF00FF00FFull;
    uint64_t sum = 0;
    size_t i = 0;
    while (count - i >= 8) {
        uint64_t lanes = 0;
        size_t words = std::min<size_t>((count - i) / 8, 128);
        for (size_t w = 0; w < words; ++w, i += 8) {
            uint64_t x;
            std::memcpy(&x, data + i, 8);
            lanes += (x & kLow) + ((x >> 8) & kLow);
        }
        sum += (lanes & 0xFFFF) + ((lanes >> 16) & 0xFFFF) + ((lanes >> 32) & 0xFFFF) + (lanes >> 48);
    }
    for (; i < count; ++i) sum += data[i];
    return sum;
}
