#include <algorithm>
#include <cstdio>
#include <cstring>

#include "device/ChipModel.h"
#include "device/Device.h"
#include "image/FileImage.h"
#include "operations/ChangePlan.h"
#include "operations/ChipOperations.h"
#include "operations/OperationTexts.h"
#include "operations/WorkerState.h"
#include "ports/StatusLine.h"

namespace {
constexpr int32_t kSpiFlashKind = 5;
constexpr int32_t kProgramWriteTime = 500;
constexpr uint32_t kReadShare = 50;

std::string SectorText(const char* format, uint32_t a, uint32_t b = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(a), static_cast<unsigned>(b));
    return text;
}

bool IsPowerOfTwo(uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}
}  // namespace

uint32_t ChipOperations::SectorSize() {
    const DriverApi& api = m_ctx.device.api();
    if (!api.QuovixGetEraseBlocks || !api.QuovixEraseRange) return 0;
    VelmorEraseBlocks blocks{};
    if (api.QuovixGetEraseBlocks(m_ctx.device.handle(), &blocks) == 0 || blocks.count == 0) return 0;
    const uint32_t size = blocks.size[0];
    // A block the chip cannot hold whole, or no power of two, cannot be planned by.
    if (!IsPowerOfTwo(size) || size > m_ctx.model.ChipCapacity()) return 0;
    return size;
}

void ChipOperations::ShowShare(const char* caption, uint32_t from, uint32_t to, uint64_t done,
                               uint64_t total) {
    const uint64_t part = total == 0 ? 1 : std::min<uint64_t>(done, total);
    ShowPercent(caption, from + static_cast<uint32_t>((to - from) * part / (total == 0 ? 1 : total)));
}

bool ChipOperations::ReadChipRange(uint32_t address, uint8_t* buffer, uint32_t length) {
    uint32_t done = 0;
    while (done < length) {
        const uint32_t want = std::min(kBlockSize, length - done);
        const int64_t got = m_ctx.device.Read(buffer + done, want, address + done);
        if (got <= 0 || got > want) return false;
        done += static_cast<uint32_t>(got);
    }
    return true;
}

ChipOperations::LoopResult ChipOperations::ProgramRange(uint32_t address, const uint8_t* data,
                                                        uint32_t length) {
    uint32_t done = 0;
    while (done < length) {
        const uint32_t want = std::min(kBlockSize, length - done);
        const uint8_t* bytes = data + (data ? done : 0);
        if (!data) {
            if (m_ctx.image.ReadWork(address + done, m_transferBuffer.data(), want) != want)
                return LoopResult::FileFailed;
            bytes = m_transferBuffer.data();
        }
        const int64_t written = m_ctx.device.Program(bytes, want, address + done);
        if (written <= 0 || written > want) return LoopResult::DriverFailed;
        done += static_cast<uint32_t>(written);
    }
    return LoopResult::Done;
}

OperationOutcome ChipOperations::ChangedWrite() {
    if (!m_ctx.image.loaded()) return ReportFileNotOpen(OperationText::FileNotOpenBox, true);
    if (OperationOutcome opened = OpenChecked(); !opened.succeeded()) return opened;
    // Asked before anything is read or written: "no" must leave the chip as it was.
    if (!ConfirmOverflow()) {
        m_ctx.device.CloseDevice();
        return OperationOutcome::Of(OutcomeKind::Refused);
    }
    const uint32_t capacity = m_ctx.model.ChipCapacity();
    const uint32_t length = m_ctx.image.length();
    if (m_ctx.device.SetFlashInfo(kSpiFlashKind, static_cast<int32_t>(capacity)))
        m_ctx.device.SetWriteTime(kProgramWriteTime);
    const uint32_t sectorSize = SectorSize();
    if (sectorSize == 0) {
        m_ctx.status.SetStatus(OperationText::ChangedFallback, false, false);
        return AutoSteps();
    }

    m_ctx.status.SetStatus(OperationText::ChangedWriting, false, false);
    // A failure counts the chip bytes before its address as covered.
    const auto fail = [this](OutcomeKind kind, const std::string& text, uint32_t address) {
        m_ctx.device.SetVerifyLater(false);
        m_ctx.device.CloseDevice();
        m_ctx.status.HideProgress();
        m_ctx.status.SetStatus(text, true, true);
        return OperationOutcome::Of(kind, address, address);
    };

    BusyScope busy(m_ctx.state.ProgramBusy);
    m_ctx.status.ShowProgress();
    ShowPercent(OperationText::ReadCaption, 0);
    // The read fills the first half of the bar, the writes and the verify of the
    // touched sectors (known only after it) the second.
    const uint64_t readTotal =
        (std::min(length, capacity) + uint64_t{sectorSize} - 1) / sectorSize * sectorSize;
    uint64_t done = 0;
    ChangePlan plan;
    const PlanEnd planned = PlanChanges(
        capacity, length, sectorSize,
        [&](uint32_t address, uint8_t* buffer, uint32_t want) {
            if (!ReadChipRange(address, buffer, want)) return false;
            done += want;
            ShowShare(OperationText::ReadCaption, 0, kReadShare, done, readTotal);
            return true;
        },
        [&](uint32_t address, uint8_t* buffer, uint32_t want) {
            return m_ctx.image.ReadWork(address, buffer, want) == want;
        },
        plan);
    if (planned.result == PlanEnd::Result::ChipFailed)
        return fail(OutcomeKind::DriverFailed, OperationText::ReadFailed, planned.address);
    if (planned.result == PlanEnd::Result::FileFailed)
        return fail(OutcomeKind::FileError, OperationText::ReadFailed, planned.address);

    const uint64_t total = plan.ProgramBytes() + uint64_t{plan.changes.size()} * sectorSize;
    done = 0;

    // The touched sectors are read back below; the library need not read them itself.
    m_ctx.device.SetVerifyLater(true);
    const std::vector<ByteRange> runs = plan.EraseRuns();
    auto nextRun = runs.begin();
    for (const SectorChange& change : plan.changes) {
        if (nextRun != runs.end() && nextRun->address == change.address) {
            const DriverApi& api = m_ctx.device.api();
            uint32_t erased = 0;
            const bool ok =
                api.QuovixEraseRange(m_ctx.device.handle(), nextRun->address, nextRun->length, &erased) != 0;
            if (!ok) {
                // The failing block starts where the erased part ends.
                const uint32_t at = nextRun->address + (erased < nextRun->length ? erased : 0);
                return fail(OutcomeKind::DriverFailed, SectorText(OperationText::ChangedEraseFailed, at), at);
            }
            ++nextRun;
        }
        const auto program = [&](uint32_t address, const uint8_t* data, uint32_t count) {
            const LoopResult result = ProgramRange(address, data, count);
            if (result == LoopResult::Done) {
                done += count;
                ShowShare(OperationText::ProgramCaption, kReadShare, 100, done, total);
            }
            return result;
        };
        LoopResult result = LoopResult::Done;
        for (const ByteRange& range : change.fromFile)
            if (result == LoopResult::Done) result = program(range.address, nullptr, range.length);
        if (result == LoopResult::Done && !change.kept.empty())
            result =
                program(change.keptAddress, change.kept.data(), static_cast<uint32_t>(change.kept.size()));
        if (result != LoopResult::Done)
            return fail(result == LoopResult::FileFailed ? OutcomeKind::FileError : OutcomeKind::DriverFailed,
                        SectorText(OperationText::ChangedProgramFailed, change.address), change.address);
    }

    int32_t differences = 0;
    std::vector<uint8_t> chip(sectorSize);
    for (const SectorChange& change : plan.changes) {
        if (!ReadChipRange(change.address, chip.data(), sectorSize))
            return fail(OutcomeKind::DriverFailed, OperationText::VerifyFailed, change.address);
        const uint32_t fileBytes = std::min(sectorSize, std::min(length, capacity) - change.address);
        for (uint32_t offset = 0; offset < fileBytes; offset += kBlockSize) {
            const uint32_t want = std::min(kBlockSize, fileBytes - offset);
            if (m_ctx.image.ReadWork(change.address + offset, m_fileBuffer.data(), want) != want)
                return fail(OutcomeKind::FileError, OperationText::VerifyFailed, change.address);
            for (uint32_t i = 0; i < want; ++i) differences += m_fileBuffer[i] != chip[offset + i];
        }
        for (size_t i = 0; i < change.kept.size(); ++i)
            differences += change.kept[i] != chip[change.keptAddress - change.address + i];
        done += sectorSize;
        ShowShare(OperationText::VerifyCaption, kReadShare, 100, done, total);
    }
    m_ctx.device.SetVerifyLater(false);
    m_ctx.device.CloseDevice();
    m_ctx.status.HideProgress();

    OperationOutcome outcome = OperationOutcome::Of(OutcomeKind::Success, std::min(length, capacity));
    outcome.sectors = plan.sectors;
    outcome.touched = static_cast<uint32_t>(plan.changes.size());
    if (differences > 0) {
        char summary[128];
        std::snprintf(summary, sizeof summary, OperationText::VerifySummary, differences);
        m_ctx.status.SetStatus(std::string(summary) + "...", true, true);
        outcome.kind = OutcomeKind::Differences;
        outcome.differences = differences;
        return outcome;
    }
    m_ctx.status.SetStatus(
        SectorText(plan.overflow ? OperationText::ChangedDoneOverflow : OperationText::ChangedDone,
                   outcome.sectors, outcome.touched),
        plan.overflow, false);
    PlayFinishSound();
    return outcome;
}
