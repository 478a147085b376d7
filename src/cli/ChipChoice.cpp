#include "cli/ChipChoice.h"

#include <algorithm>
#include <cctype>

#include "device/ChipIdentityText.h"
#include "device/ChipModel.h"

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](unsigned char x, unsigned char y) { return std::toupper(x) == std::toupper(y); });
}

std::optional<int> RowOfCapacity(uint32_t capacity) {
    for (size_t i = 0; i < kChipModels.size(); ++i)
        if (kChipModels[i].capacity == capacity) return static_cast<int>(i);
    return std::nullopt;
}

const char* SourceText(const VelmorChipIdentity& identity) {
    switch (identity.source) {
        case VELMOR_IDENTITY_DATABASE:
            return "数据库";
        case VELMOR_IDENTITY_SFDP:
            return "SFDP";
        default:
            return "未知";
    }
}

}  // namespace

std::optional<int> ChipModelRowFor(const std::string& name, const velmor::ChipDatabase& database) {
    for (size_t i = 0; i < kChipModels.size(); ++i)
        if (SameIgnoringCase(name, kChipModels[i].text)) return static_cast<int>(i);
    for (const velmor::ChipRow* row : database.rows())
        for (const std::string& part : row->parts)
            if (SameIgnoringCase(name, part)) return RowOfCapacity(row->size);
    return std::nullopt;
}

std::string ChipIdentityReport(const VelmorChipIdentity& identity) {
    const bool known = identity.source == VELMOR_IDENTITY_DATABASE;
    std::string text = "芯片: ";
    text += known ? std::string(identity.maker) : std::string("未知厂商");
    text += " ";
    text += known ? FirstPartName(identity) : std::string("未知型号");
    text += "  ID " + JedecText(identity.jedec_id);
    text += "  容量 " + (identity.size != 0 ? CapacityText(identity.size) : std::string("未知"));
    text += "  来源 ";
    text += SourceText(identity);
    if (known && identity.millivolts == 1800) text += "  1.8V芯片，请使用转接座";
    return text;
}

std::string UnknownChipRefusal(const VelmorChipIdentity& identity) {
    return "未知芯片 " + JedecText(identity.jedec_id) +
           "，无法确定容量，未操作芯片（用 --chip 型号 指定芯片）";
}
