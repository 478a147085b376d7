#include "cli/ChipsCommand.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string Line(const std::string& maker, const std::string& part, const std::string& id,
                 const std::string& size) {
    char text[160];
    std::snprintf(text, sizeof text, "%-12s %-22s %-6s %s", maker.c_str(), part.c_str(), id.c_str(),
                  size.c_str());
    return text;
}

}  // namespace

std::vector<std::string> ChipListLines(const velmor::ChipDatabase& database, const std::string& pattern) {
    const std::string wanted = Upper(pattern);
    std::vector<std::string> lines;
    for (const velmor::ChipRow* row : database.rows()) {
        char id[8];
        std::snprintf(id, sizeof id, "%06X", static_cast<unsigned>(row->id));
        for (const std::string& part : row->parts) {
            const bool matches = wanted.empty() || Upper(row->maker).find(wanted) != std::string::npos ||
                                 Upper(part).find(wanted) != std::string::npos ||
                                 std::string(id).find(wanted) != std::string::npos;
            if (matches) lines.push_back(Line(row->maker, part, id, velmor::sizeText(row->size)));
        }
    }
    return lines;
}

ExitStatus RunChipsCommand(const std::vector<std::string>& arguments, const std::string& libraryDirectory,
                           FILE* out, FILE* err) {
    if (arguments.size() > 2) {
        std::fputs("用法: xjqt-tarlo chips [PATTERN]\n", err);
        return ExitStatus::Usage;
    }
    const std::string pattern = arguments.size() == 2 ? arguments[1] : std::string();
    const velmor::ChipDatabase database = velmor::loadChipDatabase(
        libraryDirectory, [err](const std::string& message) { std::fprintf(err, "%s\n", message.c_str()); });
    if (database.files().empty()) {
        std::fputs("找不到芯片数据库 chipdb.txt\n", err);
        return ExitStatus::FileError;
    }
    const std::vector<std::string> lines = ChipListLines(database, pattern);
    if (lines.empty()) {
        std::fprintf(err, "芯片数据库中没有与 %s 相符的芯片\n", pattern.c_str());
        return ExitStatus::OperationFailed;
    }
    // Padded by display columns: each Chinese character takes two.
    std::fputs("厂商         型号                   ID     容量\n", out);
    for (const std::string& line : lines) std::fprintf(out, "%s\n", line.c_str());
    return ExitStatus::Success;
}
