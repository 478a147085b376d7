#pragma once

#include <cstdint>
#include <string>

#include "device/ChipModel.h"
#include "device/Detection.h"
#include "device/Device.h"
#include "operations/ChipOperations.h"
#include "operations/OperationOutcome.h"
#include "operations/WorkerState.h"
#include "platform/DriverApi.h"

class CheckObserver;
class FileImage;
class MessageBoxes;
class PromptSoundPort;
class StatusLine;
class WindowThread;

// What a session reports through and asks of its front end.
struct SessionPorts {
    StatusLine& status;
    MessageBoxes& boxes;
    PromptSoundPort& sounds;
    WindowThread& window;
    ReadChipView& readView;
    // Hears the connection checks (the window's model list, labels and commands); none on the command line.
    CheckObserver* checks = nullptr;
};

// The programmer as every front end drives it: worker state, chip model, device,
// detection and chip operations, wired once. The window, the command-line tool,
// the tests and the benchmarks each build one and differ only in their ports.
class ProgrammerSession {
public:
    ProgrammerSession(const DriverApi& api, FileImage& image, SessionPorts ports,
                      std::string chipWorkFilePath);
    ProgrammerSession(const ProgrammerSession&) = delete;
    ProgrammerSession& operator=(const ProgrammerSession&) = delete;

    // Runs the chip command `code` (a WorkerCode) on the calling thread, as the
    // worker does, and returns what happened. Codes that are no chip command
    // (none, find, idle) do nothing and succeed.
    OperationOutcome Execute(uint8_t code);
    // Execute with the command slot set to `code` around it, for a front end
    // without a worker thread: the operations tell a standalone command by it.
    OperationOutcome ExecuteInline(uint8_t code);

    WorkerState& state() { return m_state; }
    const WorkerState& state() const { return m_state; }
    ChipModelSelection& model() { return m_model; }
    const ChipModelSelection& model() const { return m_model; }
    Device& device() { return m_device; }
    Detection& detection() { return m_detection; }
    ChipOperations& operations() { return m_operations; }
    const std::string& chipWorkFilePath() const { return m_chipWorkFilePath; }

private:
    std::string m_chipWorkFilePath;
    WorkerState m_state;
    ChipModelSelection m_model;
    Device m_device;
    Detection m_detection;
    ChipOperations m_operations;
};
