#include "ChipDatabase.h"

#include <sys/stat.h>

#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

namespace velmor {

namespace {

constexpr uint32_t KiB = 1024;
constexpr uint32_t MiB = 1024 * KiB;
constexpr uint32_t kThreeByteLimit = 16 * MiB;
// A database file is a few hundred rows; anything far larger is not one.
constexpr std::streamoff kMaxFileBytes = 4 * MiB;

bool isPowerOfTwo(uint64_t n) {
    return n != 0 && (n & (n - 1)) == 0;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        parts.push_back(
            text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos) {
            return parts;
        }
        start = at + 1;
    }
}

std::vector<std::string_view> columns(std::string_view line) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            ++i;
        }
        if (i > start) {
            out.push_back(line.substr(start, i - start));
        }
    }
    return out;
}

std::optional<uint32_t> parseHex(std::string_view text, size_t digits) {
    if (text.size() != digits) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (const char c : text) {
        const bool digit = c >= '0' && c <= '9';
        const bool upper = c >= 'A' && c <= 'F';
        if (!digit && !upper) {
            return std::nullopt;
        }
        value = value * 16 + static_cast<uint32_t>(digit ? c - '0' : c - 'A' + 10);
    }
    return value;
}

std::optional<uint64_t> parseDecimal(std::string_view text) {
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// "64K", "8M": KiB or MiB.
std::optional<uint64_t> parseSize(std::string_view text) {
    if (text.size() < 2) {
        return std::nullopt;
    }
    const char unit = text.back();
    const uint64_t scale = unit == 'K' ? KiB : unit == 'M' ? MiB : 0;
    const std::optional<uint64_t> n = parseDecimal(text.substr(0, text.size() - 1));
    if (scale == 0 || !n || *n > (uint64_t{1} << 32)) {
        return std::nullopt;
    }
    return *n * scale;
}

std::optional<double> parsePositive(std::string_view text) {
    // Digits with at most one decimal point; from_chars for double is not in every library we build with.
    bool point = false;
    bool digit = false;
    for (const char c : text) {
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            digit = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digit) {
        return std::nullopt;
    }
    const double value = std::stod(std::string(text));
    return value > 0 ? std::optional<double>(value) : std::nullopt;
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

ParsedRow parseChipRow(std::string_view line) {
    const std::vector<std::string_view> c = columns(line);
    if (c.size() != 10) {
        return {std::nullopt, "应有 10 列，实有 " + std::to_string(c.size()) + " 列"};
    }
    ChipRow row;
    const std::optional<uint32_t> id = parseHex(c[0], 6);
    if (!id) {
        return {std::nullopt, "id " + quoted(c[0]) + " 不是 6 位大写十六进制数"};
    }
    row.id = *id;
    const std::optional<uint64_t> size = parseSize(c[1]);
    if (!size || !isPowerOfTwo(*size) || *size < 64 * KiB || *size > 128 * MiB) {
        return {std::nullopt, "容量 " + quoted(c[1]) + " 不是 64K 到 128M 之间的 2 的幂"};
    }
    row.size = static_cast<uint32_t>(*size);
    const std::optional<uint64_t> page = parseDecimal(c[2]);
    if (!page || !isPowerOfTwo(*page) || *page > 1024) {
        return {std::nullopt, "页大小 " + quoted(c[2]) + " 不是 1 到 1024 之间的 2 的幂"};
    }
    row.page = static_cast<uint32_t>(*page);
    for (const std::string_view block : split(c[3], ',')) {
        const size_t colon = block.find(':');
        // Blocks below 1 KiB are written in bytes.
        const std::string_view sizePart = block.substr(0, colon);
        const std::optional<uint64_t> blockSize =
            colon == std::string_view::npos                                         ? std::nullopt
            : !sizePart.empty() && sizePart.back() >= '0' && sizePart.back() <= '9' ? parseDecimal(sizePart)
                                                                                    : parseSize(sizePart);
        const std::optional<uint32_t> opcode =
            colon == std::string_view::npos ? std::nullopt : parseHex(block.substr(colon + 1), 2);
        if (!blockSize || !opcode) {
            return {std::nullopt, "擦除块 " + quoted(block) + " 应写成 大小:操作码，如 4K:20"};
        }
        if (!isPowerOfTwo(*blockSize) || *blockSize < 256 || row.size % *blockSize != 0) {
            return {std::nullopt, "擦除块 " + quoted(block) + " 的大小不是能整除容量的 2 的幂（至少 256）"};
        }
        if (!row.erase.empty() && row.erase.back().size >= *blockSize) {
            return {std::nullopt, "擦除块应从小到大排列：" + quoted(c[3])};
        }
        row.erase.push_back({static_cast<uint32_t>(*blockSize), static_cast<uint8_t>(*opcode)});
    }
    if (c[4] == "3") {
        row.address = AddressMode::Three;
    } else if (c[4] == "3/4") {
        row.address = AddressMode::ThreeOrFour;
    } else if (c[4] == "4") {
        row.address = AddressMode::Four;
    } else {
        return {std::nullopt, "地址方式 " + quoted(c[4]) + " 应为 3、3/4 或 4"};
    }
    if (row.size > kThreeByteLimit && row.address == AddressMode::Three) {
        return {std::nullopt, "容量超过 16M 的芯片地址方式应为 3/4 或 4"};
    }
    if (c[5] != "3.3" && c[5] != "1.8") {
        return {std::nullopt, "电压 " + quoted(c[5]) + " 应为 3.3 或 1.8"};
    }
    row.lowVoltage = c[5] == "1.8";
    if (c[6] != "-") {
        for (const std::string_view bit : split(c[6], ',')) {
            if (bit.empty()) {
                return {std::nullopt, "保护位 " + quoted(c[6]) + " 中有空项"};
            }
            row.protect.emplace_back(bit);
        }
    }
    if (c[7] != "-") {
        row.eraseSeconds = parsePositive(c[7]);
        if (!row.eraseSeconds) {
            return {std::nullopt, "整片擦除时间 " + quoted(c[7]) + " 应为正数或 -"};
        }
    }
    row.maker = std::string(c[8]);
    for (const std::string_view part : split(c[9], ',')) {
        if (!part.empty()) {
            row.parts.emplace_back(part);
        }
    }
    if (row.parts.empty()) {
        return {std::nullopt, "至少要有一个型号名"};
    }
    return {std::move(row), {}};
}

void ChipDatabase::addText(std::string_view text, const std::string& fileName,
                           const ChipDbComplaint& complain) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    m_files.push_back(fileName);
    std::set<uint32_t> seen;
    int lineNumber = 0;
    for (std::string_view rest = text; !rest.empty();) {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        ++lineNumber;
        line = line.substr(0, line.find('#'));
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.find_first_not_of(" \t") == std::string_view::npos) {
            continue;
        }
        ParsedRow parsed = parseChipRow(line);
        const std::string where = fileName + ":" + std::to_string(lineNumber) + ": ";
        if (!parsed.row) {
            complain(where + "已跳过此行：" + parsed.error);
            continue;
        }
        if (!seen.insert(parsed.row->id).second) {
            complain(where + "已跳过此行：id " + std::string(columns(line)[0]) + " 在本文件中重复");
            continue;
        }
        parsed.row->file = fileName;
        parsed.row->line = lineNumber;
        m_rows[parsed.row->id] = std::move(*parsed.row);
    }
}

bool ChipDatabase::addFile(const std::string& path, const std::string& shownName,
                           const ChipDbComplaint& complain) {
    if (!isRegularFile(path)) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (in) {
        text << in.rdbuf();
    }
    if (!in || text.tellp() > kMaxFileBytes) {
        complain(shownName + ": 无法读取芯片数据库文件");
        return false;
    }
    addText(text.str(), shownName, complain);
    return true;
}

const ChipRow* ChipDatabase::find(uint32_t id) const {
    const auto found = m_rows.find(id);
    return found == m_rows.end() ? nullptr : &found->second;
}

std::vector<const ChipRow*> ChipDatabase::rows() const {
    std::vector<const ChipRow*> out;
    out.reserve(m_rows.size());
    for (const auto& [id, row] : m_rows) {
        out.push_back(&row);
    }
    return out;
}

std::vector<std::string> installedChipDbCandidates(const std::string& libraryDir) {
    return {
        libraryDir + "/" + kChipDbFile,
        libraryDir + "/../../share/xjqt-tarlo/" + kChipDbFile,
        libraryDir + "/../share/xjqt-tarlo/" + kChipDbFile,
        std::string("/usr/share/xjqt-tarlo/") + kChipDbFile,
    };
}

ChipDatabase loadChipDatabase(const std::string& libraryDir, const ChipDbComplaint& complain) {
    ChipDatabase database;
    for (const std::string& path : installedChipDbCandidates(libraryDir)) {
        if (database.addFile(path, path, complain)) {
            break;
        }
    }
    database.addFile(kChipDbUserFile, kChipDbUserFile, complain);
    return database;
}

std::string joinParts(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& part : parts) {
        out += (out.empty() ? "" : ",") + part;
    }
    return out;
}

std::string sizeText(uint32_t bytes) {
    if (bytes >= MiB && bytes % MiB == 0) {
        return std::to_string(bytes / MiB) + "MB";
    }
    return std::to_string(bytes / KiB) + "KB";
}

}  // namespace velmor
