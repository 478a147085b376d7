// The changed-only plan: which sectors a write touches and how, over one table.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "operations/ChangePlan.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t k4K = 4096;

struct PlanRow {
    const char* name;
    uint32_t sectorSize;
    Bytes chip;
    Bytes file;
    uint32_t sectors;
    uint32_t readBytes;
    bool overflow;
    // Each touched sector: "P|E address: from+length ... [kept address+length]".
    std::vector<std::string> changes;
    std::vector<std::string> eraseRuns;  // "address+length"
    std::vector<std::string> chipReads;  // "address+length", as the plan asked for them
};

Bytes Pattern(size_t size, uint8_t seed) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 7 + seed) % 251);
    return bytes;
}

Bytes With(Bytes bytes, const std::vector<std::pair<size_t, uint8_t>>& at) {
    for (const auto& [i, value] : at) bytes[i] = value;
    return bytes;
}

Bytes Cut(const Bytes& bytes, size_t size) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
}

Bytes Longer(Bytes bytes, size_t extra) {
    bytes.resize(bytes.size() + extra, 0x11);
    return bytes;
}

Bytes Blank(size_t size) {
    return Bytes(size, 0xFF);
}

std::string RangeText(const ByteRange& r) {
    return std::to_string(r.address) + "+" + std::to_string(r.length);
}

std::string ChangeText(const SectorChange& c) {
    std::string text = (c.work == SectorWork::Program ? "P " : "E ") + std::to_string(c.address) + ":";
    for (const ByteRange& r : c.fromFile) text += " " + RangeText(r);
    if (!c.kept.empty()) text += " kept " + RangeText({c.keptAddress, static_cast<uint32_t>(c.kept.size())});
    return text;
}

const Bytes kChip = Pattern(4 * k4K, 3);  // four 4 KiB sectors of programmed bytes

// Clearing bits of a blank chip's second sector: pages 1 and 2 joined, page 5 alone.
const Bytes kBlank = Blank(4 * k4K);
const Bytes kCleared = With(kBlank, {{k4K + 256 + 5, 0x00}, {k4K + 512 + 7, 0x12}, {k4K + 5 * 256, 0x7F}});

std::vector<PlanRow> Rows() {
    return {
        {"Equal", k4K, kChip, kChip, 4, 4 * k4K, false, {}, {}, {"0+8192", "8192+8192"}},
        {"OnlyBitsCleared",
         k4K,
         kBlank,
         kCleared,
         4,
         4 * k4K,
         false,
         {"P 4096: 4352+512 5376+256"},
         {},
         {"0+8192", "8192+8192"}},
        // A bit set in sectors 0, 1 and 3: two erase runs; sector 2 is left alone.
        {"NeedsErase",
         k4K,
         With(kBlank, {{10, 0x00}, {k4K + 20, 0x00}, {3 * k4K + 30, 0x00}}),
         With(kBlank, {{10, 0x01}, {k4K + 4000, 0x00}, {3 * k4K + 30, 0x80}}),
         4,
         4 * k4K,
         false,
         {"E 0: 0+4096", "E 4096: 4096+4096", "E 12288: 12288+4096"},
         {"0+8192", "12288+4096"},
         {"0+8192", "8192+8192"}},
        // The last sector differs and the file goes on past the chip: only the chip's part counts.
        {"AcrossTheChipsEnd",
         k4K,
         kChip,
         Longer(With(kChip, {{4 * k4K - 1, 0xFF}}), 100),
         4,
         4 * k4K,
         true,
         {"E 12288: 12288+4096"},
         {"12288+4096"},
         {"0+8192", "8192+8192"}},
        {"FileLongerButEqualWithinTheChip",
         k4K,
         kChip,
         Longer(kChip, k4K),
         4,
         4 * k4K,
         true,
         {},
         {},
         {"0+8192", "8192+8192"}},
        // The file ends 1000 bytes into sector 1, which needs an erase: the chip's rest
        // of that sector is written back, and the sectors past it are not even read.
        {"FileShorterEndsInAnErasedSector",
         k4K,
         kChip,
         With(Cut(kChip, k4K + 1000), {{k4K + 999, static_cast<uint8_t>(~kChip[k4K + 999])}}),
         2,
         2 * k4K,
         false,
         {"E 4096: 4096+1000 kept 5096+3096"},
         {"4096+4096"},
         {"0+8192"}},
        // Ends 300 bytes into sector 1 with a cleared bit in its partial page: only the file's part of it.
        {"FileShorterClearsBitsInItsLastPage",
         k4K,
         kBlank,
         With(Cut(kBlank, k4K + 300), {{k4K + 299, 0xFE}}),
         2,
         2 * k4K,
         false,
         {"P 4096: 4352+44"},
         {},
         {"0+8192"}},
        // Sectors larger than the read window are read one at a time.
        {"SectorLargerThanTheReadWindow",
         16384,
         Blank(32768),
         With(Blank(32768), {{16384 + 9000, 0x00}}),
         2,
         32768,
         false,
         {"P 16384: 25344+256"},
         {},
         {"0+16384", "16384+16384"}},
    };
}

class ChangePlanTest : public ::testing::TestWithParam<PlanRow> {};

TEST_P(ChangePlanTest, TouchesOnlyWhatDiffers) {
    const PlanRow& row = GetParam();
    const uint32_t capacity = static_cast<uint32_t>(row.chip.size());
    const uint32_t fileLength = static_cast<uint32_t>(row.file.size());
    std::vector<std::string> chipReads;
    const RangeReader readChip = [&](uint32_t address, uint8_t* buffer, uint32_t length) {
        chipReads.push_back(RangeText({address, length}));
        std::memcpy(buffer, row.chip.data() + address, length);
        return true;
    };
    const RangeReader readFile = [&](uint32_t address, uint8_t* buffer, uint32_t length) {
        EXPECT_LE(uint64_t{address} + length, fileLength);
        std::memcpy(buffer, row.file.data() + address, length);
        return true;
    };

    ChangePlan plan;
    const PlanEnd end = PlanChanges(capacity, fileLength, row.sectorSize, readChip, readFile, plan);
    EXPECT_EQ(end.result, PlanEnd::Result::Done);
    EXPECT_EQ(plan.sectors, row.sectors);
    EXPECT_EQ(plan.readBytes, row.readBytes);
    EXPECT_EQ(plan.overflow, row.overflow);
    std::vector<std::string> changes;
    for (const SectorChange& c : plan.changes) changes.push_back(ChangeText(c));
    EXPECT_EQ(changes, row.changes);
    std::vector<std::string> runs;
    for (const ByteRange& r : plan.EraseRuns()) runs.push_back(RangeText(r));
    EXPECT_EQ(runs, row.eraseRuns);
    EXPECT_EQ(chipReads, row.chipReads);

    // Carried out on a copy of the chip, the plan leaves exactly the file's bytes
    // within the chip, and the chip's own past the file's end.
    Bytes chip = row.chip;
    for (const ByteRange& r : plan.EraseRuns()) std::fill_n(chip.begin() + r.address, r.length, 0xFF);
    for (const SectorChange& c : plan.changes) {
        for (const ByteRange& r : c.fromFile)
            for (uint32_t i = r.address; i < r.address + r.length; ++i) chip[i] &= row.file[i];
        for (size_t i = 0; i < c.kept.size(); ++i) chip[c.keptAddress + i] &= c.kept[i];
    }
    Bytes expected = row.chip;
    std::copy_n(row.file.begin(), std::min(fileLength, capacity), expected.begin());
    EXPECT_EQ(chip, expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ChangePlanTest, ::testing::ValuesIn(Rows()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
