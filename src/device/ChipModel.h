#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

// One row of the chip model list; capacity 2^(row + 17) bytes.
struct ChipModelRow {
    const char* text;
    uint32_t capacity;
};

inline constexpr std::array<ChipModelRow, 11> kChipModels{{
    {"25X10", 131072},
    {"25X20", 262144},
    {"25X40", 524288},
    {"25X80", 1048576},
    {"25X16", 2097152},
    {"25X32", 4194304},
    {"25X64", 8388608},
    {"25X128", 16777216},
    {"25X256", 33554432},
    {"25X512", 67108864},
    {"25X01G", 134217728},
}};
// QuovixGetFlashInfo codes that select a row: code c selects row c - 16.
inline constexpr int kSmallestChipCode = 16;
inline constexpr int kLargestChipCode = 26;
inline constexpr int kDefaultChipModelRow = 3;

// Capacity label "%dKbytes" / "%dMbytes".
std::string CapacityLabelText(uint32_t capacity);
// Detection texts "%dKB" / "%dMB" and "(%dKbits)" / "(%dMbits)".
std::string CapacityText(uint32_t capacity);
std::string BitsText(uint32_t capacity);

// The selected chip model and ChipCapacity. Changed by the user on the window
// thread and by a check on the worker; read by the operations. Showing it is the
// front end's business.
class ChipModelSelection {
public:
    // The user picked a row, or a check selected one: recompute the capacity.
    void ApplyChipModel(int row);

    int row() const { return m_row; }
    uint32_t ChipCapacity() const { return m_capacity; }

    // 2^((row + 17) mod 32): the capacity a selected row stands for.
    static uint32_t CapacityOfRow(int row);

private:
    std::atomic<int> m_row{-1};
    std::atomic<uint32_t> m_capacity{1048576};
};
