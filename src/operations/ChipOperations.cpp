#include "operations/ChipOperations.h"

#include <cstdio>

#include "device/Device.h"
#include "device/DeviceState.h"
#include "device/DeviceTexts.h"
#include "operations/OperationTexts.h"
#include "operations/WorkerState.h"
#include "ports/MessageBoxes.h"
#include "ports/PromptSoundPort.h"
#include "ports/StatusLine.h"

std::string ChipOperations::DifferenceText(uint32_t address, uint8_t fileByte, uint8_t chipByte) {
    char line1[48];
    std::snprintf(line1, sizeof line1, OperationText::DifferenceLine1, static_cast<unsigned>(address));
    char line2Buffer[96];
    std::snprintf(line2Buffer, sizeof line2Buffer, OperationText::DifferenceLine2,
                  static_cast<unsigned>(fileByte), static_cast<unsigned>(chipByte));
    // Blanks first, then the star: the star is the one blank meant to stay.
    std::string line2 = line2Buffer;
    for (char& c : line2)
        if (c == ' ') c = '0';
    for (char& c : line2)
        if (c == '*') c = ' ';
    return std::string(line1) + "\r\n" + line2 + "     " + OperationText::DifferenceHint;
}

uint32_t ChipOperations::Percent(uint32_t done, uint32_t divisor) {
    if (divisor == 0) return 0;
    return static_cast<uint32_t>(done * 100u) / divisor;
}

bool ChipOperations::IsStandalone(uint8_t ownCode) const {
    return m_ctx.state.WorkerCommand == ownCode;
}

void ChipOperations::ReportDeviceState(int state) {
    if (state == NoChip) {
        m_ctx.status.SetStatus(DeviceText::NoChip, true, true);
        m_ctx.boxes.Show(DeviceText::NoChipBox, DeviceText::NoteTitle, MessageIcon::Exclamation);
    } else {
        m_ctx.status.SetStatus(DeviceText::NotConnected, true, true);
        m_ctx.boxes.Show(DeviceText::NotConnectedBox, DeviceText::NoteTitle, MessageIcon::Exclamation);
    }
}

OperationOutcome ChipOperations::OpenChecked() {
    const int state = m_ctx.device.CheckDevice();
    if (state == ChipReady) return {};
    // Released before the box waits for the user.
    m_ctx.device.CloseDevice();
    ReportDeviceState(state);
    return OperationOutcome::OfDeviceState(state);
}

OperationOutcome ChipOperations::ReportFileNotOpen(const char* boxText, bool beep) {
    m_ctx.status.SetStatus(OperationText::FileNotOpen, true, beep);
    m_ctx.boxes.Show(boxText, DeviceText::NoteTitle, MessageIcon::Exclamation);
    return OperationOutcome::Of(OutcomeKind::FileError);
}

void ChipOperations::ShowPercent(const char* captionFormat, uint32_t percent) {
    char caption[48];
    std::snprintf(caption, sizeof caption, captionFormat, static_cast<unsigned>(percent));
    m_ctx.status.SetProgress(static_cast<int>(percent), caption);
}

void ChipOperations::PlayFinishSound() {
    m_ctx.sounds.PlayPromptSound(SoundPath::Finish);
}
