#include "image/ImageTexts.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    const auto result = std::to_chars(text, text + sizeof text - 2, static_cast<double>(length) / 1024.0,
                                      std::chars_format::fixed, 2);
    std::string out(text, result.ptr);
    return out + "KB";
}

uint64_t ByteSum(const uint8_t* data, size_t count) {
    uint64_t sum = 0;
    size_t i = 0;
#if defined(__SSE2__)
    // psadbw against zero adds 8 bytes into a 64-bit lane at once: memory speed
    // at any optimisation level, and no lane can overflow.
    const __m128i zero = _mm_setzero_si128();
    __m128i lanes = zero;
    for (; count - i >= 64; i += 64) {
        const __m128i a = _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i)), zero);
        const __m128i b =
            _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 16)), zero);
        const __m128i c =
            _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 32)), zero);
        const __m128i d =
            _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 48)), zero);
        lanes = _mm_add_epi64(lanes, _mm_add_epi64(_mm_add_epi64(a, b), _mm_add_epi64(c, d)));
    }
    sum = static_cast<uint64_t>(_mm_cvtsi128_si64(lanes)) +
          static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(lanes, lanes)));
#else
    // Eight bytes at a time into four 16-bit lanes; a lane takes at most 510 per
    // word, so it is folded into the total every 128 words before it can overflow.
    constexpr uint64_t kLow = 0x00FF00FF00FF00FFull;
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
#endif
    for (; i < count; ++i) sum += data[i];
    return sum;
}
