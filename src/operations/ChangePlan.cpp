#include "operations/ChangePlan.h"

#include <algorithm>
#include <cstring>

namespace {

// file: the file's part of the sector (may be shorter than chip: the file ends here).
bool PlanSector(uint32_t address, const uint8_t* chip, uint32_t sectorSize, const uint8_t* file,
                uint32_t fileBytes, SectorChange& change) {
    if (std::memcmp(chip, file, fileBytes) == 0) return false;
    change = SectorChange{};
    change.address = address;
    bool clearsOnly = true;
    for (uint32_t i = 0; i < fileBytes && clearsOnly; ++i) clearsOnly = (chip[i] & file[i]) == file[i];

    if (!clearsOnly) {
        change.work = SectorWork::EraseAndProgram;
        change.fromFile.push_back({address, fileBytes});
        const bool keptAllErased =
            std::all_of(chip + fileBytes, chip + sectorSize, [](uint8_t b) { return b == 0xFF; });
        if (!keptAllErased) {
            change.keptAddress = address + fileBytes;
            change.kept.assign(chip + fileBytes, chip + sectorSize);
        }
        return true;
    }
    change.work = SectorWork::Program;
    for (uint32_t page = 0; page < fileBytes; page += kChangePageSize) {
        const uint32_t length = std::min(kChangePageSize, fileBytes - page);
        if (std::memcmp(chip + page, file + page, length) == 0) continue;
        ByteRange* last = change.fromFile.empty() ? nullptr : &change.fromFile.back();
        if (last && last->address + last->length == address + page)
            last->length += length;
        else
            change.fromFile.push_back({address + page, length});
    }
    return true;
}

}  // namespace

std::vector<ByteRange> ChangePlan::EraseRuns() const {
    std::vector<ByteRange> runs;
    for (const SectorChange& change : changes) {
        if (change.work != SectorWork::EraseAndProgram) continue;
        if (!runs.empty() && runs.back().address + runs.back().length == change.address)
            runs.back().length += sectorSize;
        else
            runs.push_back({change.address, sectorSize});
    }
    return runs;
}

uint64_t ChangePlan::ProgramBytes() const {
    uint64_t bytes = 0;
    for (const SectorChange& change : changes) {
        for (const ByteRange& range : change.fromFile) bytes += range.length;
        bytes += change.kept.size();
    }
    return bytes;
}

PlanEnd PlanChanges(uint32_t capacity, uint32_t fileLength, uint32_t sectorSize, const RangeReader& readChip,
                    const RangeReader& readFile, ChangePlan& plan) {
    plan = ChangePlan{};
    plan.sectorSize = sectorSize;
    plan.overflow = fileLength > capacity;
    const uint32_t compared = std::min(fileLength, capacity);
    // Only the sectors the file reaches are read; a chip of no whole sector has none.
    const uint64_t reach =
        std::min<uint64_t>((uint64_t{compared} + sectorSize - 1) / sectorSize * sectorSize, capacity);
    const uint32_t window = std::max(sectorSize, kChangeReadWindow);
    std::vector<uint8_t> chip(window);
    std::vector<uint8_t> file(sectorSize);

    for (uint64_t start = 0; start < reach; start += window) {
        const uint32_t length = static_cast<uint32_t>(std::min<uint64_t>(window, reach - start));
        if (!readChip(static_cast<uint32_t>(start), chip.data(), length))
            return {PlanEnd::Result::ChipFailed, static_cast<uint32_t>(start)};
        plan.readBytes += length;
        for (uint32_t offset = 0; offset < length; offset += sectorSize) {
            const uint32_t address = static_cast<uint32_t>(start) + offset;
            if (address >= compared) break;
            const uint32_t inSector = std::min(sectorSize, length - offset);
            const uint32_t fileBytes = std::min(inSector, compared - address);
            if (!readFile(address, file.data(), fileBytes)) return {PlanEnd::Result::FileFailed, address};
            ++plan.sectors;
            SectorChange change;
            if (PlanSector(address, chip.data() + offset, inSector, file.data(), fileBytes, change))
                plan.changes.push_back(std::move(change));
        }
    }
    return {};
}
