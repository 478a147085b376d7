#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "operations/OperationOutcome.h"

class ChipModelSelection;
class Device;
class File;
class FileImage;
class MessageBoxes;
class PromptSoundPort;
class StatusLine;
class WindowThread;
struct WorkerState;

// What the view must do for a chip read: the loader and the switch to view mode
// run on the window thread (through WindowThread).
class ReadChipView {
public:
    virtual ~ReadChipView() = default;
    // Turns edit mode off as a chip read does (flag, icon, menu check, status text);
    // does nothing when edit mode is already off.
    virtual void ForceViewMode() = 0;
    // LoadImageFile(chip work file, false).
    virtual void LoadChipImage() = 0;
    // After a failed read that emptied the displayed chip data: reopen the
    // shortened chip work file as the source, or unload the image.
    virtual void ResolveTruncatedChipImage() = 0;
};

struct OperationContext {
    WorkerState& state;
    Device& device;
    ChipModelSelection& model;
    FileImage& image;
    StatusLine& status;
    MessageBoxes& boxes;
    PromptSoundPort& sounds;
    WindowThread& window;
    ReadChipView& readView;
    std::string chipWorkFilePath;
};

// The chip operations run by the worker. Each reports through the status line,
// message boxes and prompt sounds, keeps its busy flag for its real work, and
// tells a standalone run from an auto-sequence step by the command slot.
//
// A transfer the driver reports as successful but with no bytes, or with more
// bytes than were asked for, counts as a failed call: the loops never stall and
// never run past the buffer.
class ChipOperations {
public:
    static constexpr uint32_t kBlockSize = 8192;

    explicit ChipOperations(OperationContext context) : m_ctx(context) {}

    // checkDevice 1: open and check the programmer first (standalone command);
    // any other value: the auto sequence has opened it already.
    // Each returns what happened; the window has been told already.
    OperationOutcome EraseChip(int checkDevice);
    OperationOutcome BlankCheck();
    OperationOutcome ProgramChip(int checkDevice);
    OperationOutcome VerifyChip(int checkDevice);
    OperationOutcome AutoSequence();
    // Writes only the sectors that differ from the file; the auto sequence when the
    // chip's erase blocks are unknown or the driver cannot erase by block.
    OperationOutcome ChangedWrite();
    OperationOutcome ReadChip();

    // Text of the box shown for one difference found by VerifyChip.
    static std::string DifferenceText(uint32_t address, uint8_t fileByte, uint8_t chipByte);
    // (done * 100) / divisor in unsigned 32-bit arithmetic; 0 for a zero divisor.
    static uint32_t Percent(uint32_t done, uint32_t divisor);

private:
    enum class LoopResult { Done, DriverFailed, FileFailed, Stopped };
    // Where a block loop stopped, and how many bytes it had covered.
    struct LoopEnd {
        LoopResult result = LoopResult::Done;
        uint32_t done = 0;
    };

    // The run was started by this operation's own command, not by the auto sequence.
    bool IsStandalone(uint8_t ownCode) const;
    // Status and box for a check that did not find the chip ready.
    void ReportDeviceState(int state);
    // CheckDevice; on failure closes the connection and reports. Success when ready.
    OperationOutcome OpenChecked();
    // A file larger than the chip goes on only when the user says so.
    bool ConfirmOverflow();
    OperationOutcome ReportFileNotOpen(const char* boxText, bool beep);
    void ShowPercent(const char* captionFormat, uint32_t percent);
    void PlayFinishSound();

    // Erase, program and verify on the open, checked connection; closes it.
    OperationOutcome AutoSteps();
    LoopResult ProgramBlocks(uint32_t count, uint32_t length, uint32_t& done);
    // The smallest erase block when the driver can erase by block; 0 otherwise.
    uint32_t SectorSize();
    // Progress of a changed-only write: `done` of `total` units spread over percents from..to.
    void ShowShare(const char* caption, uint32_t from, uint32_t to, uint64_t done, uint64_t total);
    // Reads exactly `length` chip bytes in calls of at most kBlockSize.
    bool ReadChipRange(uint32_t address, uint8_t* buffer, uint32_t length);
    // Programs `length` bytes at `address`, from `data` or (null) from the work copy.
    LoopResult ProgramRange(uint32_t address, const uint8_t* data, uint32_t length);
    LoopEnd VerifyBlocks(uint32_t count, int32_t& errors);
    LoopEnd ReadBlocks(uint32_t capacity, File& chipFile);
    // The chip work file, this program's alone and empty; false when it is not ours to empty.
    bool OpenChipWorkFile(File& chipFile) const;

    OperationContext m_ctx;
    std::array<uint8_t, kBlockSize> m_transferBuffer{};
    std::array<uint8_t, kBlockSize> m_fileBuffer{};
};
