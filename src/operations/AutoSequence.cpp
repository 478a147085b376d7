#include "device/Device.h"
#include "image/FileImage.h"
#include "operations/ChipOperations.h"
#include "operations/OperationTexts.h"
#include "ports/PromptSoundPort.h"
#include "ports/StatusLine.h"

bool ChipOperations::AutoSequence() {
    if (!m_ctx.image.loaded()) {
        ReportFileNotOpen(OperationText::FileNotOpenBox, true);
        return false;
    }
    if (!OpenChecked()) return false;
    // Asked before the erase: "no" must leave the chip as it was.
    if (!ConfirmOverflow()) {
        m_ctx.device.CloseDevice();
        return false;
    }

    // One connection for all three steps; none of them checks the device again.
    const bool ok = EraseChip(0) && ProgramChip(0) && VerifyChip(0);
    m_ctx.device.CloseDevice();
    if (!ok) return false;
    m_ctx.status.SetStatus(OperationText::AutoDone, false, false);
    PlayFinishSound();
    return true;
}
