#include <algorithm>

#include "device/ChipModel.h"
#include "device/Device.h"
#include "device/DeviceTexts.h"
#include "operations/ChipOperations.h"
#include "operations/OperationTexts.h"
#include "operations/WorkerState.h"
#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"

OperationOutcome ChipOperations::BlankCheck() {
    if (OperationOutcome opened = OpenChecked(); !opened.succeeded()) return opened;

    const uint32_t capacity = m_ctx.model.ChipCapacity();
    int result = 0;  // 0 blank so far, 1 a programmed byte seen, -1 a read failed
    uint32_t done = 0;
    {
        BusyScope busy(m_ctx.state.BlankCheckBusy);
        m_ctx.status.ShowProgress();
        ShowPercent(OperationText::BlankCaption, 0);
        while (done < capacity) {
            const int64_t got = m_ctx.device.Read(m_transferBuffer.data(), kBlockSize, done);
            if (got <= 0 || got > kBlockSize) {
                result = -1;
                break;
            }
            // Bytes a driver delivers past the chip's capacity are not the chip's:
            // they are neither examined nor counted, so the bar ends at 100%.
            const uint32_t counted = std::min(static_cast<uint32_t>(got), capacity - done);
            for (uint32_t i = 0; i < counted; ++i)
                if (m_transferBuffer[i] != 0xFF) result = 1;
            // The block holding the first programmed byte is not counted in the bar.
            if (result == 1) break;
            done += counted;
            ShowPercent(OperationText::BlankCaption, Percent(done, capacity));
        }
    }
    m_ctx.status.HideProgress();
    m_ctx.device.CloseDevice();

    if (result < 0) {
        m_ctx.status.SetStatus(OperationText::BlankFailed, true, true);
        return OperationOutcome::Of(OutcomeKind::DriverFailed, done, done);
    }
    if (result == 0) {
        PlayFinishSound();
        m_ctx.status.SetStatus(OperationText::Blank, false, false);
        m_ctx.boxes.Show(OperationText::BlankBox, OperationText::NoteTitle, MessageIcon::Information);
        return OperationOutcome::Of(OutcomeKind::Success, done);
    }
    m_ctx.status.SetStatus(OperationText::NotBlank, true, false);
    m_ctx.boxes.Show(OperationText::NotBlankBox, OperationText::NoteTitle, MessageIcon::Exclamation);
    return OperationOutcome::Of(OutcomeKind::NotBlank, done, done);
}
