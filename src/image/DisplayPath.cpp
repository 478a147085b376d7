#include "image/DisplayPath.h"

#include <vector>

#include "platform/Gbk.h"

namespace {
struct Unit {
    std::string_view text;  // one character, UTF-8
    size_t gbkBytes;
};
}  // namespace

std::string ShortenDisplayPath(std::string_view path, char separator, size_t headBytes, size_t limit) {
    std::vector<Unit> units;
    size_t total = 0;
    for (size_t i = 0; i < path.size();) {
        size_t utf8Bytes = 0;
        size_t gbk = Gbk::CharLength(path.substr(i), utf8Bytes);
        units.push_back({path.substr(i, utf8Bytes), gbk});
        total += gbk;
        i += utf8Bytes;
    }
    if (total <= limit) return std::string(path);

    // The head ends on a character boundary at or after headBytes.
    size_t head = 0;
    for (size_t bytes = 0; head < units.size() && bytes < headBytes; ++head) bytes += units[head].gbkBytes;

    int passes = 0;
    while (total > limit) {
        size_t found = head;
        while (found < units.size() && !(units[found].text.size() == 1 && units[found].text[0] == separator))
            ++found;
        if (found >= units.size()) break;
        for (size_t k = head; k <= found; ++k) total -= units[k].gbkBytes;
        units.erase(units.begin() + static_cast<std::ptrdiff_t>(head),
                    units.begin() + static_cast<std::ptrdiff_t>(found) + 1);
        ++passes;
    }

    std::string out;
    out.reserve(path.size() + 5);
    for (size_t k = 0; k < units.size(); ++k) {
        if (k == head && passes > 0) {
            out.push_back(separator);
            out += "...";
            out.push_back(separator);
        }
        out.append(units[k].text);
    }
    if (head >= units.size() && passes > 0) {
        out.push_back(separator);
        out += "...";
        out.push_back(separator);
    }
    return out;
}

std::string NameTextOf(std::string_view path, char separator) {
    size_t pos = path.rfind(separator);
    return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}
