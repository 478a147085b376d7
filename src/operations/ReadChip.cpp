#include <algorithm>

#include "device/ChipModel.h"
#include "device/Device.h"
#include "image/FileImage.h"
#include "operations/ChipOperations.h"
#include "operations/OperationTexts.h"
#include "operations/WorkerState.h"
#include "platform/File.h"
#include "ports/PromptSoundPort.h"
#include "ports/StatusLine.h"
#include "ports/WindowPorts.h"

ChipOperations::LoopEnd ChipOperations::ReadBlocks(uint32_t capacity, File& chipFile) {
    uint32_t done = 0;
    while (done < capacity) {
        const uint32_t want = std::min(kBlockSize, capacity - done);
        const int64_t got = m_ctx.device.Read(m_transferBuffer.data(), want, done);
        if (got <= 0 || got > want) return {LoopResult::DriverFailed, done};
        if (!chipFile.WriteAt(done, m_transferBuffer.data(), static_cast<size_t>(got)))
            return {LoopResult::FileFailed, done};
        done += static_cast<uint32_t>(got);
        ShowPercent(OperationText::ReadCaption, Percent(done, capacity));
    }
    return {LoopResult::Done, done};
}

bool ChipOperations::OpenChipWorkFile(File& chipFile) const {
    // Not through a link, and locked before it is emptied: the chip data another
    // program on this directory shows is never cut under it.
    return chipFile.OpenRegular(m_ctx.chipWorkFilePath, File::Mode::OpenOrCreate, true) &&
           chipFile.TryLockExclusive() != File::LockResult::HeldElsewhere && chipFile.Truncate(0);
}

OperationOutcome ChipOperations::ReadChip() {
    if (OperationOutcome opened = OpenChecked(); !opened.succeeded()) return opened;

    // The chip work file is about to be emptied: an earlier read on screen must
    // let go of it first, and be resolved again if this read fails.
    const bool showingChipData = m_ctx.image.sourcePath() == m_ctx.chipWorkFilePath;
    const bool chipDataLoaded = showingChipData && m_ctx.image.loaded();
    // The window thread pages the view from that source: close it there.
    if (showingChipData) m_ctx.window.Run([this] { m_ctx.image.CloseSource(); });

    const auto fail = [&](OutcomeKind kind, uint32_t done) {
        m_ctx.device.CloseDevice();
        // Before the failure text, so that whatever the view does to recover does
        // not hide the news.
        if (chipDataLoaded) m_ctx.window.Run([this] { m_ctx.readView.ResolveTruncatedChipImage(); });
        m_ctx.status.SetStatus(OperationText::ReadFailed, true, true);
        return OperationOutcome::Of(kind, done, done);
    };

    File chipFile;
    if (!OpenChipWorkFile(chipFile)) {
        chipFile.Close();
        return fail(OutcomeKind::FileError, 0);
    }
    m_ctx.window.Run([this] { m_ctx.readView.ForceViewMode(); });

    const uint32_t capacity = m_ctx.model.ChipCapacity();
    LoopEnd end;
    {
        m_ctx.status.ShowProgress();
        ShowPercent(OperationText::ReadCaption, 0);
        BusyScope busy(m_ctx.state.ReadBusy);
        end = ReadBlocks(capacity, chipFile);
    }
    m_ctx.status.HideProgress();
    chipFile.Close();

    if (end.result != LoopResult::Done)
        return fail(end.result == LoopResult::FileFailed ? OutcomeKind::FileError : OutcomeKind::DriverFailed,
                    end.done);
    m_ctx.device.CloseDevice();
    m_ctx.status.SetStatus(OperationText::ReadDone, false, false);
    if (IsStandalone(WorkerCode::ReadChip)) PlayFinishSound();
    m_ctx.window.Run([this] { m_ctx.readView.LoadChipImage(); });
    return OperationOutcome::Of(OutcomeKind::Success, end.done);
}
