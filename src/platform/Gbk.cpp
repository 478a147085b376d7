#include "platform/Gbk.h"

#include <iconv.h>
#include <cerrno>

namespace {

// One converter per direction and thread: iconv_open is too slow to repeat per text.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (m_cd != reinterpret_cast<iconv_t>(-1)) iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool Ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Handle() const { return m_cd; }

private:
    iconv_t m_cd;
};

Converter& Utf8ToGbkConverter() {
    thread_local Converter c("GBK", "UTF-8");
    return c;
}

Converter& GbkToUtf8Converter() {
    thread_local Converter c("UTF-8", "GBK");
    return c;
}

bool IsAscii(std::string_view text) {
    for (unsigned char b : text)
        if (b >= 0x80) return false;
    return true;
}

// Length of the UTF-8 sequence at `p` (1 for a malformed lead or truncated sequence).
size_t Utf8SequenceLength(const unsigned char* p, size_t left) {
    unsigned char b = p[0];
    size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || n > left) return 1;
    for (size_t i = 1; i < n; ++i)
        if ((p[i] & 0xC0) != 0x80) return 1;
    return n;
}

// Converts `in`; on a sequence the target cannot take, appends '?' and skips `skip(...)` bytes.
template <typename Skip>
std::string Convert(Converter& conv, std::string_view in, Skip skip) {
    std::string out;
    if (!conv.Ok()) {
        // Without a converter only ASCII survives.
        out.reserve(in.size());
        for (unsigned char b : in) out.push_back(b < 0x80 ? static_cast<char>(b) : Gbk::kReplacement);
        return out;
    }
    iconv(conv.Handle(), nullptr, nullptr, nullptr, nullptr);
    out.resize(in.size() * 2 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    size_t written = 0;
    while (srcLeft > 0) {
        char* dst = out.data() + written;
        size_t dstLeft = out.size() - written;
        size_t r = iconv(conv.Handle(), &src, &srcLeft, &dst, &dstLeft);
        written = out.size() - dstLeft;
        if (r != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ or EINVAL (truncated at the end): replace and go on after it.
        size_t n = skip(reinterpret_cast<const unsigned char*>(src), srcLeft);
        if (written >= out.size()) out.resize(out.size() * 2);
        out[written++] = Gbk::kReplacement;
        src += n;
        srcLeft -= n;
        iconv(conv.Handle(), nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(written);
    return out;
}

}  // namespace

namespace Gbk {

std::string FromUtf8(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    return Convert(Utf8ToGbkConverter(), utf8, Utf8SequenceLength);
}

std::string ToUtf8(std::string_view gbk) {
    if (IsAscii(gbk)) return std::string(gbk);
    return Convert(GbkToUtf8Converter(), gbk, [](const unsigned char*, size_t) { return size_t{1}; });
}

size_t CharLength(std::string_view utf8, size_t& utf8Bytes) {
    if (utf8.empty()) {
        utf8Bytes = 0;
        return 0;
    }
    auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    utf8Bytes = Utf8SequenceLength(p, utf8.size());
    if (utf8Bytes == 1) return 1;
    return FromUtf8(utf8.substr(0, utf8Bytes)).size();
}

size_t Length(std::string_view utf8) {
    if (IsAscii(utf8)) return utf8.size();
    return FromUtf8(utf8).size();
}

}  // namespace Gbk
