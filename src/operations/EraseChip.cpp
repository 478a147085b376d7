#include "device/ChipModel.h"
#include "device/Device.h"
#include "operations/ChipOperations.h"
#include "operations/OperationTexts.h"
#include "operations/WorkerState.h"
#include "ports/PromptSoundPort.h"
#include "ports/StatusLine.h"

OperationOutcome ChipOperations::EraseChip(int checkDevice) {
    if (checkDevice == 1)
        if (OperationOutcome opened = OpenChecked(); !opened.succeeded()) return opened;

    bool erased = false;
    {
        BusyScope busy(m_ctx.state.EraseBusy);
        m_ctx.status.SetStatus(OperationText::Erasing, false, false);
        erased = m_ctx.device.InitFlash();
        if (erased) {
            m_ctx.status.SetStatus(OperationText::EraseDone, false, false);
            if (IsStandalone(WorkerCode::Erase)) m_ctx.device.CloseDevice();
            m_ctx.sounds.PlayPromptSound(SoundPath::Erase);
        }
    }
    if (!erased) {
        // No box, as for any erase; but the status must not keep saying "erasing".
        // A standalone run releases the programmer; the auto sequence closes it itself.
        if (IsStandalone(WorkerCode::Erase)) m_ctx.device.CloseDevice();
        m_ctx.status.SetStatus(OperationText::EraseFailed, true, true);
    }
    if (!erased) return OperationOutcome::Of(OutcomeKind::DriverFailed);
    return OperationOutcome::Of(OutcomeKind::Success, m_ctx.model.ChipCapacity());
}
