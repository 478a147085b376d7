#include "OperationFixture.h"

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/File.h"

void MarkingWindowThread::Run(const std::function<void()>& work) {
    m_inside = true;
    work();
    m_inside = false;
}

void RecordingReadView::Note(const std::string& what) {
    m_log.Add("view:" + what + (m_window.inside() ? "" : "|outside-window"));
}

void RecordingReadView::ForceViewMode() {
    Note("force-view-mode");
}

void RecordingReadView::LoadChipImage() {
    Note("load-chip-image");
    m_loadedSize = static_cast<int64_t>(std::filesystem::file_size(m_chipPath));
    m_image.SetSourcePath(m_chipPath);
    m_image.sourceFile().Open(m_chipPath, File::Mode::ReadOnly);
    m_image.SetLoaded(true);
}

void RecordingReadView::ResolveTruncatedChipImage() {
    Note("resolve-truncated");
    m_image.sourceFile().Open(m_chipPath, File::Mode::ReadOnly);
}

std::string BusyLetters(const WorkerState& state) {
    std::string letters;
    if (state.ProgramBusy) letters += 'P';
    if (state.EraseBusy) letters += 'E';
    if (state.VerifyBusy) letters += 'V';
    if (state.ReadBusy) letters += 'R';
    if (state.BlankCheckBusy) letters += 'B';
    return letters;
}

OperationFixture::OperationFixture() : chipPath(dir.file("h_alor0.dll")) {
    std::filesystem::create_directories(dir.path() / "sound");
    std::ofstream(dir.file("sound/finishsound.wav")) << "RIFF";
    std::ofstream(dir.file("sound/del.wav")) << "RIFF";

    driver.SetChipSize(kChip);
    driver.SetHook([this](const FakeCall& call) {
        {
            std::lock_guard lock(m_busyMutex);
            m_busyAtCall.emplace_back(call.entry, BusyLetters(state));
        }
        if (onCall) onCall(call);
    });
    model.ApplyChipModel(kDefaultChipModelRow);
    worker = std::make_unique<OperationWorker>(state, [this](uint8_t code) {
        const OperationOutcome outcome = session.Execute(code);
        std::lock_guard lock(m_outcomeMutex);
        m_lastOutcome = outcome;
    });
    worker->Start();
    EXPECT_TRUE(worker->WaitUntilIdle(std::chrono::seconds(60)));
    log.Clear();
}

OperationFixture::~OperationFixture() {
    worker.reset();  // joins before the ports go away
    File::SetFaultHook(nullptr);
}

void OperationFixture::TearDown() {
    EXPECT_EQ(driver.CallCount(FakeEntry::SetBP1), 0);
    EXPECT_TRUE(driver.Violations().empty()) << ::testing::PrintToString(driver.Violations());
}

bool OperationFixture::Run(uint8_t code) {
    m_eventsBefore = log.Events().size();
    EXPECT_TRUE(worker->Request(code)) << "the worker was not idle";
    EXPECT_TRUE(worker->WaitUntilIdle(std::chrono::seconds(60))) << "the command did not end";

    // Within each showing of the bar: starts at 0, never goes backwards, stays
    // within 0..100, and the caption names the position.
    const Lines events = log.Events();
    int last = -1;
    for (size_t i = m_eventsBefore; i < events.size(); ++i) {
        const std::string& e = events[i];
        if (e == "show-progress") last = -1;
        if (e.rfind("progress:", 0) != 0) continue;
        const size_t bar = e.find('|');
        const int position = std::stoi(e.substr(9, bar - 9));
        const std::string caption = e.substr(bar + 1);
        if (last < 0) {
            EXPECT_EQ(position, 0) << e;
        }
        EXPECT_GE(position, last) << "progress went backwards: " << e;
        EXPECT_LE(position, 100) << e;
        const std::string tail = std::to_string(position) + "%";
        EXPECT_TRUE(caption.size() > tail.size() &&
                    caption.compare(caption.size() - tail.size(), tail.size(), tail) == 0)
            << e;
        last = position;
    }
    EXPECT_EQ(BusyLetters(state), "") << "a busy flag was left set";
    EXPECT_EQ(device->handle(), 0) << "the connection was left open";
    EXPECT_EQ(state.WorkerCommand, WorkerCode::Idle);
    return LastOutcome().succeeded();
}

OperationOutcome OperationFixture::LastOutcome() const {
    std::lock_guard lock(m_outcomeMutex);
    return m_lastOutcome;
}

void OperationFixture::LoadImage(const std::vector<uint8_t>& bytes) {
    const std::string path = dir.file("h_alor1.dll");
    ASSERT_TRUE(image.workCopy().Open(path, File::Mode::CreateReadWrite));
    if (!bytes.empty()) {
        ASSERT_TRUE(image.workCopy().WriteAt(0, bytes.data(), bytes.size()));
    }
    image.SetLength(static_cast<uint32_t>(bytes.size()));
    image.SetSourcePath(dir.file("image.bin"));
    image.SetLoaded(true);
}

std::vector<uint8_t> OperationFixture::Pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed * 2654435761u + 12345u;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>((x >> 16) % 255);  // never 0xFF
    }
    return bytes;
}

Lines OperationFixture::Seen() const {
    static const char* const kPrefixes[] = {"status:", "show-progress", "progress:", "hide-progress",
                                            "box:",    "wave:",         "beep",      "view:"};
    Lines out;
    for (const auto& e : log.Events())
        for (const char* p : kPrefixes)
            if (e.rfind(p, 0) == 0) {
                out.push_back(e);
                break;
            }
    return out;
}

Lines OperationFixture::CheckCalls() {
    return {"QuovixEnum()",
            "QuovixOpen(0)",
            "QuovixUsbSelfTest(7)",
            "QuovixSetFlashInfo(7,5,0)",
            "QuovixSetWriteTime(7,5)",
            "QuovixGetFlashInfo(7)"};
}

std::vector<std::string> OperationFixture::BusyAt(FakeEntry entry) const {
    std::lock_guard lock(m_busyMutex);
    std::vector<std::string> out;
    for (const auto& [e, letters] : m_busyAtCall)
        if (e == entry) out.push_back(letters);
    return out;
}

std::vector<uint8_t> OperationFixture::ProgrammedBytes() const {
    std::vector<uint8_t> out;
    for (const auto& call : driver.Calls())
        if (call.entry == FakeEntry::Program) out.insert(out.end(), call.data.begin(), call.data.end());
    return out;
}
