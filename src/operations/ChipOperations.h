#pragma once

#include <array>
#include <cstdint>
#include <string>

class ChipModelSelection;
class Device;
class FileImage;
class MessageBoxes;
class PromptSounds;
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
    PromptSounds& sounds;
    WindowThread& window;
    ReadChipView& readView;
    std::string chipWorkFilePath;
};

// The chip operations run by the worker. Each reports through the status line,
// message boxes and prompt sounds, keeps its busy flag for its real work, and
// tells a standalone run from an auto-sequence step by the command slot.
class ChipOperations {
public:
    explicit ChipOperations(OperationContext context) : m_ctx(context) {}

    bool EraseChip(int checkDevice);
    bool BlankCheck();
    bool ProgramChip(int checkDevice);
    bool VerifyChip(int checkDevice);
    bool AutoSequence();
    void ReadChip();

private:
    OperationContext m_ctx;
    std::array<uint8_t, 8192> m_transferBuffer{};
};
