#include <algorithm>

#include "device/ChipModel.h"
#include "device/Device.h"
#include "device/DeviceState.h"
#include "image/FileImage.h"
#include "operations/ChipOperations.h"
#include "operations/OperationTexts.h"
#include "operations/WorkerState.h"
#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"

namespace {
constexpr int32_t kSpiFlashKind = 5;
constexpr int32_t kProgramWriteTime = 500;
}  // namespace

ChipOperations::LoopResult ChipOperations::ProgramBlocks(uint32_t count, uint32_t length, uint32_t& done) {
    done = 0;
    while (done < count) {
        const uint32_t want = std::min(kBlockSize, count - done);
        // Read at `done`: bytes the driver did not take last pass are sent again.
        const int64_t block = m_ctx.image.ReadWork(done, m_transferBuffer.data(), want);
        if (block <= 0) return LoopResult::FileFailed;
        const int64_t written =
            m_ctx.device.Program(m_transferBuffer.data(), static_cast<uint32_t>(block), done);
        if (written <= 0 || written > block) return LoopResult::DriverFailed;
        done += static_cast<uint32_t>(written);
        ShowPercent(OperationText::ProgramCaption, Percent(done, length));
    }
    return LoopResult::Done;
}

bool ChipOperations::ConfirmOverflow() {
    return m_ctx.image.length() <= m_ctx.model.ChipCapacity() ||
           m_ctx.boxes.Show(OperationText::OverflowQuestion, OperationText::NoteTitle, MessageIcon::Question,
                            MessageButtons::YesNo) == MessageAnswer::Yes;
}

OperationOutcome ChipOperations::ProgramChip(int checkDevice) {
    if (!m_ctx.image.loaded()) return ReportFileNotOpen(OperationText::FileNotOpenProgramBox, false);
    const int state = checkDevice == 1 ? m_ctx.device.CheckDevice() : ChipReady;
    const uint32_t length = m_ctx.image.length();
    const uint32_t capacity = m_ctx.model.ChipCapacity();

    // Asked before the device state is acted on, so also when no programmer answered;
    // the auto sequence asked before its erase.
    if (checkDevice == 1 && !ConfirmOverflow()) {
        m_ctx.device.CloseDevice();
        return OperationOutcome::Of(OutcomeKind::Refused);
    }
    if (state != ChipReady) {
        m_ctx.device.CloseDevice();
        ReportDeviceState(state);
        m_ctx.status.HideProgress();
        return OperationOutcome::OfDeviceState(state);
    }

    const uint32_t count = std::min(length, capacity);
    if (m_ctx.device.SetFlashInfo(kSpiFlashKind, static_cast<int32_t>(capacity)))
        m_ctx.device.SetWriteTime(kProgramWriteTime);

    uint32_t done = 0;
    LoopResult result;
    {
        BusyScope busy(m_ctx.state.ProgramBusy);
        m_ctx.status.ShowProgress();
        ShowPercent(OperationText::ProgramCaption, 0);
        result = ProgramBlocks(count, length, done);
    }

    if (result != LoopResult::Done) {
        m_ctx.device.CloseDevice();
        m_ctx.status.HideProgress();
        // "Erase first" only when the driver refused the very first block; a work
        // copy that cannot be read is not the chip's fault.
        const bool firstBlockRefused = result == LoopResult::DriverFailed && done == 0;
        m_ctx.status.SetStatus(
            firstBlockRefused ? OperationText::ProgramFirstFailed : OperationText::ProgramFailed, true, true);
        return OperationOutcome::Of(
            result == LoopResult::FileFailed ? OutcomeKind::FileError : OutcomeKind::DriverFailed, done,
            done);
    }

    m_ctx.status.HideProgress();
    const bool standalone = IsStandalone(WorkerCode::Program);
    if (count >= length) {
        m_ctx.status.SetStatus(OperationText::Programmed, false, false);
    } else {
        m_ctx.status.SetStatus(OperationText::ProgrammedOverflow, true, false);
        if (standalone)
            m_ctx.boxes.Show(OperationText::ProgrammedOverflowBox, OperationText::NoteTitle,
                             MessageIcon::Exclamation);
    }
    if (standalone) {
        PlayFinishSound();
        m_ctx.device.CloseDevice();
    }
    return OperationOutcome::Of(OutcomeKind::Success, count);
}
