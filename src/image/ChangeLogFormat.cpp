#include "image/ChangeLogFormat.h"

#include <cstdio>

#include "platform/Gbk.h"

namespace ChangeLogFormat {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr std::string_view kBegin =
    "\r\n---------------------------------------BEGIN---------------------------------------\r\n";

}  // namespace

std::string Stamp(const std::tm& local) {
    char text[64];
    const size_t n = std::strftime(text, sizeof text, "    %Y-%m-%d %H:%M:%S", &local);
    return std::string(text, n);
}

std::string FileHead(const std::string& stamp, const std::string& fileName) {
    return std::string(kBegin) + Gbk::FromUtf8(stamp + " " + fileName + " 文件修改如下：\r\n");
}

std::string ChipHead(const std::string& stamp) {
    return std::string(kBegin) + Gbk::FromUtf8(stamp + " 芯片内数据保存如下：\r\n");
}

std::string ChipLine(const std::string& fileName) {
    return Gbk::FromUtf8("        [片内数据]保存为[" + fileName + "]\r\n");
}

size_t ChangeLine(uint32_t address, int old, uint8_t now, char* out) {
    char* p = out;
    for (int i = 0; i < 8; ++i) *p++ = ' ';
    *p++ = '[';
    for (int shift = 28; shift >= 0; shift -= 4) *p++ = kHex[(address >> shift) & 0xF];
    *p++ = ']';
    *p++ = ':';
    *p++ = ' ';
    if (old < 0) {
        for (char c : std::string_view("null")) *p++ = c;
    } else {
        *p++ = kHex[(old >> 4) & 0xF];
        *p++ = kHex[old & 0xF];
    }
    for (char c : std::string_view(" --> ")) *p++ = c;
    *p++ = kHex[now >> 4];
    *p++ = kHex[now & 0xF];
    *p++ = '\r';
    *p++ = '\n';
    return static_cast<size_t>(p - out);
}

}  // namespace ChangeLogFormat
