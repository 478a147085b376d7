#pragma once

// The window's chip operations without a window, for the benchmarks: the image
// `dir`/image.bin with its work copy made beside it as the loader leaves it
// (copied by the kernel), the default chip model, and the worker running erase,
// program and verify as the window's commands do.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

#include "BenchPorts.h"
#include "cli/CliPorts.h"
#include "device/ChipModel.h"
#include "device/Device.h"
#include "image/FileImage.h"
#include "operations/ChipOperations.h"
#include "operations/OperationWorker.h"
#include "operations/WorkerState.h"
#include "platform/File.h"

class BenchOperations {
public:
    BenchOperations(const DriverApi& api, const std::string& dir)
        : m_model(m_list, m_texts),
          m_device(api, m_model, m_commands, m_image),
          m_operations(OperationContext{m_state, m_device, m_model, m_image, m_status, m_boxes, m_sounds,
                                        m_window, m_view, dir + "/h_alor0.dll"}),
          m_worker(m_state, [this](uint8_t code) { Execute(code); }) {
        m_model.SelectAndApply(kDefaultChipModelRow);
        std::filesystem::copy_file(dir + "/image.bin", dir + "/h_alor1.dll",
                                   std::filesystem::copy_options::overwrite_existing);
        m_image.workCopy().Open(dir + "/h_alor1.dll", File::Mode::ReadWrite);
        m_image.SetLength(static_cast<uint32_t>(std::filesystem::file_size(dir + "/image.bin")));
        m_image.SetLoaded(true);
        m_worker.Start();
        m_worker.WaitUntilIdle(std::chrono::minutes(10));
    }
    ~BenchOperations() { m_image.Unload(); }
    BenchOperations(const BenchOperations&) = delete;
    BenchOperations& operator=(const BenchOperations&) = delete;

    // Requests WorkerCode::Erase, Program or Verify and waits for the worker to go
    // idle; true when the operation succeeded.
    bool Run(uint8_t code) {
        m_worker.Request(code);
        m_worker.WaitUntilIdle(std::chrono::minutes(10));
        return m_last;
    }
    const std::string& lastStatus() const { return m_status.last; }

private:
    void Execute(uint8_t code) {
        if (code == WorkerCode::Erase) m_last = m_operations.EraseChip(1);
        if (code == WorkerCode::Program) m_last = m_operations.ProgramChip(1);
        if (code == WorkerCode::Verify) m_last = m_operations.VerifyChip(1);
    }

    LastStatusLine m_status;
    YesBoxes m_boxes;
    NoCommandStates m_commands;
    NoControlTexts m_texts;
    NoChipModelList m_list;
    SilentSounds m_sounds;
    InlineWindowThread m_window;
    NoReadView m_view;
    WorkerState m_state;
    FileImage m_image;
    ChipModelSelection m_model;
    Device m_device;
    ChipOperations m_operations;
    bool m_last = false;
    OperationWorker m_worker;  // last: it stops before the rest goes
};
