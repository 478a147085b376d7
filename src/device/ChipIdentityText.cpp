#include "device/ChipIdentityText.h"

#include <cstdio>
#include <cstring>

#include "device/ChipModel.h"

std::string JedecText(uint32_t id) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(id & 0xFFFFFF));
    return text;
}

std::string FirstPartName(const VelmorChipIdentity& identity) {
    const char* comma = std::strchr(identity.parts, ',');
    return comma ? std::string(identity.parts, comma) : std::string(identity.parts);
}

const char* IdentitySourceName(const VelmorChipIdentity& identity) {
    switch (identity.source) {
        case VELMOR_IDENTITY_DATABASE:
            return "database";
        case VELMOR_IDENTITY_SFDP:
            return "sfdp";
        default:
            return "unknown";
    }
}

std::string ChipIdentityLine(const std::optional<VelmorChipIdentity>& identity) {
    if (!identity) return {};
    const std::string id = JedecText(identity->jedec_id);
    std::string line;
    switch (identity->source) {
        case VELMOR_IDENTITY_DATABASE:
            line = id + " " + identity->maker + " " + FirstPartName(*identity);
            break;
        case VELMOR_IDENTITY_SFDP:
            line = id + " 未知型号 (SFDP) " + CapacityText(identity->size);
            break;
        default:
            line = "未知芯片 " + id;
            break;
    }
    // A 3.3 V programmer would damage a 1.8 V part: say so where the chip is named.
    if (identity->source == VELMOR_IDENTITY_DATABASE && identity->millivolts == 1800)
        line += " 1.8V芯片，请使用转接座";
    return line;
}
