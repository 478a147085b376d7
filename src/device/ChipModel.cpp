#include "device/ChipModel.h"

#include <cstdio>

namespace {
constexpr uint32_t kOneMiB = 1048576;

std::string Format(const char* format, uint32_t value) {
    char text[32];
    std::snprintf(text, sizeof text, format, static_cast<int>(value));
    return text;
}
}  // namespace

std::string CapacityLabelText(uint32_t capacity) {
    return capacity < kOneMiB ? Format("%dKbytes", capacity / 1024) : Format("%dMbytes", capacity / kOneMiB);
}

std::string CapacityText(uint32_t capacity) {
    return capacity < kOneMiB ? Format("%dKB", capacity / 1024) : Format("%dMB", capacity / kOneMiB);
}

std::string BitsText(uint32_t capacity) {
    return capacity < 131072 ? Format("(%dKbits)", capacity / 128) : Format("(%dMbits)", capacity / 131072);
}

uint32_t ChipModelSelection::CapacityOfRow(int row) {
    // Row -1 (no selection) wraps to 2^16; the shift stays within 0..31 for any row.
    const int exponent = ((row + 17) % 32 + 32) % 32;
    return uint32_t{1} << exponent;
}

void ChipModelSelection::ApplyChipModel(int row) {
    m_row = row;
    m_capacity = CapacityOfRow(row);
}
