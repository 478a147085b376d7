#include "image/ImageTexts.h"

#include <cstdio>

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
    char text[48];
    int n = std::snprintf(text, sizeof text, "%0.2fKB", static_cast<double>(length) / 1024.0);
    return std::string(text, n > 0 ? static_cast<size_t>(n) : 0);
}

uint64_t ByteSum(const uint8_t* data, size_t count) {
    uint64_t sum = 0;
    for (size_t i = 0; i < count; ++i) sum += data[i];
    return sum;
}
