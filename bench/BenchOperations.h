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
#include "image/FileImage.h"
#include "operations/OperationWorker.h"
#include "operations/ProgrammerSession.h"
#include "operations/WorkerState.h"
#include "platform/File.h"

class BenchOperations {
public:
    BenchOperations(const DriverApi& api, const std::string& dir)
        : m_session(api, m_image, SessionPorts{m_status, m_boxes, m_sounds, m_window, m_view},
                    dir + "/h_alor0.dll"),
          m_worker(m_session.state(),
                   [this](uint8_t code) { m_last = m_session.Execute(code).succeeded(); }) {
        m_session.model().ApplyChipModel(kDefaultChipModelRow);
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
    LastStatusLine m_status;
    YesBoxes m_boxes;
    SilentSounds m_sounds;
    InlineWindowThread m_window;
    NoReadView m_view;
    FileImage m_image;
    ProgrammerSession m_session;
    bool m_last = false;
    OperationWorker m_worker;  // last: it stops before the rest goes
};
