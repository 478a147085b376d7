#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// What a changed-only write does, found by comparing the chip with the file
// sector by sector (a sector is the chip's smallest erase block).
enum class SectorWork {
    Program,          // the new data only clears bits: its differing pages are programmed
    EraseAndProgram,  // erased, then its new data is programmed
};

// A byte range [address, address + length).
struct ByteRange {
    uint32_t address = 0;
    uint32_t length = 0;
    bool operator==(const ByteRange&) const = default;
};

struct SectorChange {
    uint32_t address = 0;
    SectorWork work = SectorWork::Program;
    // Ranges of the file to program: the differing 256-byte pages, neighbours joined,
    // or the sector's whole part of the file after an erase.
    std::vector<ByteRange> fromFile;
    // After an erase of the sector the file ends in: the chip's bytes past the file's
    // end, written back so that they stay as they were (empty when they were all 0xFF).
    std::vector<uint8_t> kept;
    uint32_t keptAddress = 0;
};

struct ChangePlan {
    uint32_t sectorSize = 0;
    uint32_t sectors = 0;               // sectors compared: those holding the file's bytes within the chip
    uint32_t readBytes = 0;             // chip bytes read for the comparison
    bool overflow = false;              // the file runs past the chip's end; that part is left out
    std::vector<SectorChange> changes;  // the touched sectors, in address order

    // Runs of consecutive sectors to erase, one block erase each.
    std::vector<ByteRange> EraseRuns() const;
    // Bytes the writes send to the chip.
    uint64_t ProgramBytes() const;
};

// Reads exactly `length` bytes at `address` into `buffer`; false when it cannot.
using RangeReader = std::function<bool(uint32_t address, uint8_t* buffer, uint32_t length)>;

struct PlanEnd {
    enum class Result { Done, ChipFailed, FileFailed };
    Result result = Result::Done;
    uint32_t address = 0;  // where the failing read was
};

inline constexpr uint32_t kChangePageSize = 256;
// The chip is read in windows of at least this many bytes.
inline constexpr uint32_t kChangeReadWindow = 8192;

// Compares the chip (`capacity` bytes) with the file (`fileLength` bytes) by sectors of
// `sectorSize` (a power of two), reading each part once: the chip in windows of
// max(sectorSize, kChangeReadWindow), the file sector by sector. Chip bytes past the
// file's end stay as they are; file bytes past the chip's end are left out.
PlanEnd PlanChanges(uint32_t capacity, uint32_t fileLength, uint32_t sectorSize, const RangeReader& readChip,
                    const RangeReader& readFile, ChangePlan& plan);
