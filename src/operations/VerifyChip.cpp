#include <algorithm>
#include <cstdio>
#include <cstring>

#include "device/ChipModel.h"
#include "device/Device.h"
#include "image/FileImage.h"
#include "operations/ChipOperations.h"
#include "operations/OperationTexts.h"
#include "operations/WorkerState.h"
#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"

ChipOperations::LoopEnd ChipOperations::VerifyBlocks(uint32_t count, int32_t& errors) {
    bool prompt = true;
    uint32_t done = 0;
    while (done < count) {
        const int64_t got = m_ctx.device.Read(m_transferBuffer.data(), kBlockSize, done);
        if (got <= 0 || got > kBlockSize) return {LoopResult::DriverFailed, done};
        // Only the image's bytes within the chip are compared, even when the chip
        // delivered a whole block past them.
        const uint32_t want = std::min(static_cast<uint32_t>(got), count - done);
        const int64_t m = m_ctx.image.ReadWork(done, m_fileBuffer.data(), want);
        if (m <= 0) return {LoopResult::FileFailed, done};
        // Equal blocks, the usual case, are settled by one comparison.
        const bool same =
            std::memcmp(m_fileBuffer.data(), m_transferBuffer.data(), static_cast<size_t>(m)) == 0;
        for (int64_t i = 0; !same && i < m; ++i) {
            const uint8_t fileByte = m_fileBuffer[static_cast<size_t>(i)];
            const uint8_t chipByte = m_transferBuffer[static_cast<size_t>(i)];
            if (fileByte == chipByte) continue;
            ++errors;
            if (!prompt) continue;
            const MessageAnswer answer = m_ctx.boxes.Show(
                DifferenceText(done + static_cast<uint32_t>(i), fileByte, chipByte),
                OperationText::ErrorTitle, MessageIcon::Exclamation, MessageButtons::YesNoCancel);
            if (answer == MessageAnswer::Yes) continue;
            if (answer == MessageAnswer::No) {
                prompt = false;
                continue;
            }
            return {LoopResult::Stopped, done};
        }
        done += static_cast<uint32_t>(m);
        // 100 % is what is compared: a file larger than the chip still ends full.
        ShowPercent(OperationText::VerifyCaption, Percent(done, count));
    }
    return {LoopResult::Done, done};
}

OperationOutcome ChipOperations::VerifyChip(int checkDevice) {
    if (!m_ctx.image.loaded()) return ReportFileNotOpen(OperationText::FileNotOpenBox, false);
    if (checkDevice == 1)
        if (OperationOutcome opened = OpenChecked(); !opened.succeeded()) return opened;

    const uint32_t length = m_ctx.image.length();
    const uint32_t count = std::min(length, m_ctx.model.ChipCapacity());
    int32_t errors = 0;
    LoopEnd end;
    {
        BusyScope busy(m_ctx.state.VerifyBusy);
        m_ctx.status.ShowProgress();
        ShowPercent(OperationText::VerifyCaption, 0);
        end = VerifyBlocks(count, errors);
        if (end.result == LoopResult::DriverFailed || end.result == LoopResult::FileFailed) errors = -1;
    }
    m_ctx.status.HideProgress();
    const bool standalone = IsStandalone(WorkerCode::Verify);
    if (standalone) m_ctx.device.CloseDevice();

    if (errors < 0) {
        m_ctx.status.SetStatus(OperationText::VerifyFailed, true, true);
        return OperationOutcome::Of(
            end.result == LoopResult::FileFailed ? OutcomeKind::FileError : OutcomeKind::DriverFailed,
            end.done, end.done);
    }
    const bool overflow = count < length;
    if (errors == 0) {
        if (standalone) PlayFinishSound();
        if (overflow) {
            m_ctx.status.SetStatus(OperationText::VerifiedOverflow, true, false);
            m_ctx.boxes.Show(OperationText::VerifiedOverflowBox, OperationText::NoteTitle,
                             MessageIcon::Exclamation);
        } else {
            m_ctx.status.SetStatus(OperationText::Verified, false, false);
        }
        return OperationOutcome::Of(OutcomeKind::Success, end.done);
    }
    char summary[128];
    std::snprintf(summary, sizeof summary,
                  overflow ? OperationText::VerifySummaryOverflow : OperationText::VerifySummary, errors);
    m_ctx.status.SetStatus(std::string(summary) + "...", true, true);
    m_ctx.boxes.Show(std::string(summary) + "!    ", OperationText::NoteTitle, MessageIcon::Exclamation);
    OperationOutcome outcome = OperationOutcome::Of(
        end.result == LoopResult::Stopped ? OutcomeKind::Cancelled : OutcomeKind::Differences, end.done);
    outcome.differences = errors;
    return outcome;
}
