// The display-path shortening on arbitrary bytes, separators, heads and limits.
// A path that fits comes back unchanged; a shortened one keeps its head and its
// last component and says "..." where directories were dropped.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <fuzzer/FuzzedDataProvider.h>

#include "image/DisplayPath.h"
#include "platform/Gbk.h"

namespace {

void require(bool holds) {
    if (!holds) std::abort();
}

bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// Well-formed UTF-8 without surrogates or overlong forms.
bool isUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        size_t n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        uint32_t cp = n == 1 ? b : b & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider in(bytes, size);
    const char separator = in.ConsumeBool() ? '/' : '\\';
    const size_t head = in.ConsumeIntegralInRange<size_t>(0, 4);
    const size_t limit = in.ConsumeBool() ? kDisplayPathLimit : in.ConsumeIntegralInRange<size_t>(0, 200);
    const std::string path = in.ConsumeRemainingBytesAsString();

    const std::string shown = ShortenDisplayPath(path, separator, head, limit);
    if (Gbk::Length(path) <= limit) {
        require(shown == path);
        return 0;
    }
    require(shown.size() <= path.size() + 5);
    if (!isUtf8(path)) return 0;
    // On well-formed text every separator byte is a character of its own.
    require(endsWith(shown, NameTextOf(path, separator)));
    if (shown != path) {
        const std::string marker = std::string(1, separator) + "..." + separator;
        require(shown.find(marker) != std::string::npos);
        require(Gbk::Length(shown) <= Gbk::Length(path) + 5);
    }
    return 0;
}
