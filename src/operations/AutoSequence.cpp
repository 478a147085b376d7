#include "device/Device.h"
#include "image/FileImage.h"
#include "operations/ChipOperations.h"
#include "operations/OperationTexts.h"
#include "ports/PromptSoundPort.h"
#include "ports/StatusLine.h"

OperationOutcome ChipOperations::AutoSequence() {
    if (!m_ctx.image.loaded()) return ReportFileNotOpen(OperationText::FileNotOpenBox, true);
    if (OperationOutcome opened = OpenChecked(); !opened.succeeded()) return opened;
    // Asked before the erase: "no" must leave the chip as it was.
    if (!ConfirmOverflow()) {
        m_ctx.device.CloseDevice();
        return OperationOutcome::Of(OutcomeKind::Refused);
    }
    return AutoSteps();
}

OperationOutcome ChipOperations::AutoSteps() {
    // One connection for all three steps; none of them checks the device again.
    // The verify reads the chip once, so erase and program skip their own read-backs.
    m_ctx.device.SetVerifyLater(true);
    OperationOutcome outcome = EraseChip(0);
    if (outcome.succeeded()) outcome = ProgramChip(0);
    if (outcome.succeeded()) outcome = VerifyChip(0);
    m_ctx.device.CloseDevice();
    if (!outcome.succeeded()) return outcome;
    m_ctx.status.SetStatus(OperationText::AutoDone, false, false);
    PlayFinishSound();
    return outcome;
}
