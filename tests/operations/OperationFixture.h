#pragma once

// Runs the chip operations the way the program does: through the real worker
// thread, against the fake driver table, reporting into the recording ports.
// Every run is checked for what must hold after any command: progress never
// went backwards, every busy flag is clear, the connection is closed, and the
// driver saw no breach of its calling contract.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "FakeDriver.h"
#include "RecordingPorts.h"
#include "TempDirectory.h"
#include "app/PromptSounds.h"
#include "device/ChipModel.h"
#include "device/Device.h"
#include "image/FileImage.h"
#include "operations/OperationWorker.h"
#include "operations/ProgrammerSession.h"
#include "operations/WorkerState.h"

using Lines = std::vector<std::string>;

// Stands in for the window thread: runs the work at once, but marks it, so the
// view can tell whether it was reached through Run.
class MarkingWindowThread : public WindowThread {
public:
    explicit MarkingWindowThread(EventLog& log) : m_log(log) {}
    void Run(const std::function<void()>& work) override;
    bool inside() const { return m_inside; }

private:
    EventLog& m_log;
    std::atomic<bool> m_inside{false};
};

// The view side of a chip read. Loading the chip image opens the chip work file
// as the source, as the loader does.
class RecordingReadView : public ReadChipView {
public:
    RecordingReadView(EventLog& log, MarkingWindowThread& window, FileImage& image, std::string chipPath)
        : m_log(log), m_window(window), m_image(image), m_chipPath(std::move(chipPath)) {}
    void ForceViewMode() override;
    void LoadChipImage() override;
    void ResolveTruncatedChipImage() override;
    // Size of the chip work file when LoadChipImage ran (-1: never ran).
    int64_t loadedSize() const { return m_loadedSize; }

private:
    void Note(const std::string& what);

    EventLog& m_log;
    MarkingWindowThread& m_window;
    FileImage& m_image;
    std::string m_chipPath;
    std::atomic<int64_t> m_loadedSize{-1};
};

// Busy flags as letters (P E V R B) at the moment of a driver call.
std::string BusyLetters(const WorkerState& state);

class OperationFixture : public ::testing::Test {
protected:
    static constexpr uint32_t kChip = 131072;  // the fake chip: 25X10

    OperationFixture();
    ~OperationFixture() override;
    void TearDown() override;

    // Runs one command through the worker and waits for it to end; true when it succeeded.
    bool Run(uint8_t code);
    // What the last command run returned.
    OperationOutcome LastOutcome() const;

    // Makes `bytes` the loaded image (work copy in the temp directory).
    void LoadImage(const std::vector<uint8_t>& bytes);
    // Pattern bytes that differ from block to block and from 0xFF.
    static std::vector<uint8_t> Pattern(size_t size, uint8_t seed = 1);

    // Status line, progress, boxes, sounds and view calls, in order.
    Lines Seen() const;
    // The check a standalone command opens with, for the fake chip.
    static Lines CheckCalls();
    // Busy letters recorded at each call of `entry`.
    std::vector<std::string> BusyAt(FakeEntry entry) const;
    // The bytes passed to every QuovixProgram call, joined.
    std::vector<uint8_t> ProgrammedBytes() const;

    TempDirectory dir;
    std::string chipPath;
    FakeDriver driver;
    EventLog log;
    RecordingStatusLine status{log};
    ScriptedMessageBoxes boxes{log};
    RecordingCommandStates commands{log};
    RecordingSoundOutput soundOutput{log};
    MarkingWindowThread window{log};
    FileImage image;
    PromptSounds sounds{soundOutput, commands, dir.dir()};
    RecordingReadView view{log, window, image, chipPath};
    ProgrammerSession session{driver.Api(), image, SessionPorts{status, boxes, sounds, window, view},
                              chipPath};
    WorkerState& state = session.state();
    ChipModelSelection& model = session.model();
    Device* const device = &session.device();
    std::unique_ptr<OperationWorker> worker;
    // Runs on the worker at each driver call, after the fixture noted the busy flags.
    std::function<void(const FakeCall&)> onCall;

private:
    mutable std::mutex m_outcomeMutex;
    OperationOutcome m_lastOutcome;
    mutable std::mutex m_busyMutex;
    std::vector<std::pair<FakeEntry, std::string>> m_busyAtCall;
    size_t m_eventsBefore = 0;
};
