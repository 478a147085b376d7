#include "app/ProgrammerCore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "FakeCellEditorControl.h"
#include "FakeDriver.h"
#include "RecordingPorts.h"
#include "RecordingScrollBar.h"
#include "ScriptedServices.h"
#include "TempDirectory.h"
#include "cli/CliApp.h"
#include "device/ProductDataFile.h"
#include "device/ProductDataScramble.h"
#include "image/ImageTexts.h"
#include "platform/InstanceLock.h"
#include "platform/InstanceNames.h"
#include "ports/CommandIds.h"
#include "support/TempDirectory.h"

namespace {

using namespace std::chrono_literals;
using Events = std::vector<std::string>;

constexpr auto kWait = 10s;

// about-box
class RecordingAboutBox : public AboutBoxPort {
public:
    explicit RecordingAboutBox(EventLog& log) : m_log(log) {}
    void ShowAboutBox() override { m_log.Add("about-box"); }

private:
    EventLog& m_log;
};

// serve-until  end-window ; `serving` runs once when the window starts waiting.
class RecordingLifetime : public WindowLifetime {
public:
    explicit RecordingLifetime(EventLog& log) : m_log(log) {}
    void ServeUntil(const std::function<bool()>& done) override {
        m_log.Add("serve-until");
        if (serving) serving();
        // The inline window thread runs the worker's calls itself: nothing to serve.
        // A wait that would never end is logged and given up, so the test fails
        // instead of hanging.
        const auto deadline = std::chrono::steady_clock::now() + kWait;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                m_log.Add("serve-timeout");
                return;
            }
            std::this_thread::yield();
        }
    }
    void EndWindow() override { m_log.Add("end-window"); }
    std::function<void()> serving;

private:
    EventLog& m_log;
};

// The address tools' dialogs: each run is logged and handed to the test's script.
class ScriptedToolDialogs : public ToolDialogs {
public:
    explicit ScriptedToolDialogs(EventLog& log) : m_log(log) {}
    void RunDataView(DataViewLookup& lookup) override {
        m_log.Add("data-view-dialog");
        if (dataView) dataView(lookup);
    }
    void RunFind(FindSession& session) override {
        m_log.Add("find-dialog");
        if (find) find(session);
    }
    void OpenGoto(GotoForm& form) override {
        m_log.Add("goto-dialog");
        if (goTo) goTo(form);
    }
    void RunFill(FileFill& fill) override {
        m_log.Add("fill-dialog");
        if (fill_) fill_(fill);
    }
    std::function<void(DataViewLookup&)> dataView;
    std::function<void(FindSession&)> find;
    std::function<void(GotoForm&)> goTo;
    std::function<void(FileFill&)> fill_;

private:
    EventLog& m_log;
};

// Holds a thread at a point until the test lets it go.
class Gate {
public:
    void Arrive() {
        std::unique_lock lock(m_mutex);
        m_arrived = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
    }
    bool WaitArrived() {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, kWait, [this] { return m_arrived; });
    }
    void Open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_arrived = false;
    bool m_open = false;
};

class ProgrammerCoreTest : public ::testing::Test {
protected:
    ProgrammerCoreTest() {
        driver.SetChipSize(1048576);
        // The window's controls as they are at start.
        commands.SetChecked(CommandId::PromptSound, true);
        for (int id : {CommandId::Save, CommandId::SaveAs, CommandId::EditModeMenu, CommandId::GotoAddress,
                       CommandId::DataView, CommandId::Find, CommandId::Fill})
            commands.SetEnabled(id, false);
        log.Clear();
    }
    ~ProgrammerCoreTest() override {
        // A gate left closed would hold the worker for ever.
        for (Gate* gate : gates) gate->Open();
    }

    ProgrammerCore& Core() {
        if (!core) {
            ProgrammerResources resources;
            resources.driver = driver.Api();
            resources.productData = dataFile.IsOpen() ? &dataFile : nullptr;
            resources.release = [this] { log.Add("release"); };
            resources.workDirectory = dir.dir();
            resources.programmerLockDirectory = lockDirectory;
            core = std::make_unique<ProgrammerCore>(
                ProgrammerPorts{status, boxes, commands, texts, modelList, sound, window, scrollBar,
                                fileDialog, shell, aboutBox, lifetime},
                std::move(resources));
        }
        return *core;
    }

    // Initialises and waits for the start-up detection to end.
    void Start() {
        Core().Initialise();
        ASSERT_TRUE(core->worker().WaitUntilIdle(kWait));
        log.Clear();
        driver.ClearCalls();
    }

    void RunAndWait(int id) {
        core->HandleCommand(id);
        ASSERT_TRUE(core->worker().WaitUntilIdle(kWait));
    }

    // Blocks the worker in its next call of `entry`.
    Gate& BlockNext(FakeEntry entry) {
        auto gate = std::make_unique<Gate>();
        Gate* raw = gate.get();
        ownedGates.push_back(std::move(gate));
        gates.push_back(raw);
        auto used = std::make_shared<std::atomic<bool>>(false);
        driver.SetHook([raw, entry, used](const FakeCall& call) {
            if (call.entry == entry && !used->exchange(true)) raw->Arrive();
        });
        return *raw;
    }

    // Opens `bytes` as a user file through the open command.
    void OpenFile(const std::vector<uint8_t>& bytes) {
        dir.Write("image.bin", bytes);
        fileDialog.Queue(dir.file("image.bin"));
        RunAndWait(CommandId::Open);
        ASSERT_TRUE(core->image().loaded());
        log.Clear();
    }

    // `bytes` open in edit mode, the window's editor control being `control`.
    void OpenForEditing(FakeCellEditorControl& control, const std::vector<uint8_t>& bytes) {
        core->SetCellEditorControl(&control);
        OpenFile(bytes);
        core->HandleCommand(CommandId::EditModeCheck);
        ASSERT_TRUE(core->editMode());
    }

    // A left click `dx` pixels into grid cell (row, column), as the grid delivers it.
    void ClickCell(int row, int column, int dx) {
        GridRect cell;
        ASSERT_TRUE(core->grid().CellRectangle(row, column, cell));
        core->grid().LeftPress(cell.left + dx, cell.top + 5);
        core->OnGridClick(cell.left + dx, cell.top + 5);
    }

    bool HasEvent(const std::string& event) const {
        const Events events = log.Events();
        return std::find(events.begin(), events.end(), event) != events.end();
    }

    size_t IndexOf(const std::string& event) const {
        const Events events = log.Events();
        return static_cast<size_t>(std::find(events.begin(), events.end(), event) - events.begin());
    }

    TempDirectory dir;
    EventLog log;
    RecordingStatusLine status{log};
    ScriptedMessageBoxes boxes{log};
    RecordingCommandStates commands{log};
    RecordingControlTexts texts{log};
    RecordingChipModelList modelList{log};
    RecordingSoundOutput sound{log};
    InlineWindowThread window;
    RecordingScrollBar scrollBar{log};
    ScriptedFileDialog fileDialog{log};
    RecordingShell shell{log};
    RecordingAboutBox aboutBox{log};
    RecordingLifetime lifetime{log};
    FakeDriver driver;
    ProductDataFile dataFile;
    std::vector<std::unique_ptr<Gate>> ownedGates;
    std::vector<Gate*> gates;
    std::unique_ptr<ProgrammerCore> core;
    std::optional<std::string> lockDirectory;  // set before Core(): the programmers' locks
};

TEST_F(ProgrammerCoreTest, InitialisationRunsInOrderAndStartsWithAQuietDetection) {
    Core().Initialise();
    ASSERT_TRUE(core->worker().WaitUntilIdle(kWait));

    EXPECT_EQ(core->workDirectory(), dir.dir());
    EXPECT_EQ(core->chipWorkFilePath(), dir.dir() + "h_alor0.dll");
    EXPECT_EQ(core->workCopyPath(), dir.dir() + "h_alor1.dll");
    EXPECT_EQ(core->logPath(), dir.dir() + "修改记录.txt");

    // Grid set-up (start-up page), scroll bar reset, default model, sounds, then the worker.
    EXPECT_EQ(core->grid().CellText(21, 0), "00000140");
    // The program starts in view mode, whose focus cell carries a frame.
    EXPECT_TRUE(core->grid().FocusMarking());
    const size_t range = IndexOf("scroll-range:0|0");
    const size_t row = IndexOf("select-row:3");
    const size_t label = IndexOf("text:1082|1Mbytes");
    const size_t soundsOff = IndexOf("check:32810|0");
    const size_t detected = IndexOf("status:设备已连接，检测到1MB芯片");
    const size_t end = log.Events().size();
    ASSERT_LT(detected, end);
    EXPECT_LT(range, row);
    EXPECT_LT(row, label);
    EXPECT_LT(label, soundsOff);
    EXPECT_LT(soundsOff, detected);
    // The window hears the detection: its chip makes the data view usable without a file.
    EXPECT_TRUE(commands.IsEnabled(CommandId::DataView));
    EXPECT_EQ(core->model().ChipCapacity(), 1048576u);
    // First run: the settings file is created holding 0.
    EXPECT_EQ(dir.Read("halor2.dll"), std::vector<uint8_t>{0});
    EXPECT_EQ(core->state().WorkerCommand, WorkerCode::Idle);
    EXPECT_EQ(boxes.shown(), 0);
    EXPECT_EQ(driver.CallTexts().front(), "QuovixEnum()");
}

TEST_F(ProgrammerCoreTest, NothingIsRoutedBeforeInitialisation) {
    Core().HandleCommand(CommandId::Detect);
    core->HandleCommand(CommandId::About);
    core->DeviceChanged();
    EXPECT_TRUE(log.Events().empty());
    EXPECT_TRUE(driver.Calls().empty());
}

// Each worker command id reaches its own operation.
TEST_F(ProgrammerCoreTest, WorkerCommandsReachTheirOperations) {
    struct Row {
        int id;
        FakeEntry entry;  // driver entry point the operation must reach
        int calls;        // how often
        std::string lastStatus;
        std::string box;  // empty: none
    };
    const Row rows[] = {
        {CommandId::Auto, FakeEntry::Enum, 0, "status:文件尚未打开...|alert|beep",
         "box:提示|exclamation|文件尚未打开！    "},
        {CommandId::ChangedWrite, FakeEntry::Enum, 0, "status:文件尚未打开...|alert|beep",
         "box:提示|exclamation|文件尚未打开！    "},
        {CommandId::Erase, FakeEntry::InitFlash, 1, "status:芯片擦除成功...", ""},
        {CommandId::Program, FakeEntry::Enum, 0, "status:文件尚未打开...|alert",
         "box:提示|exclamation|文件尚未打开！     "},
        {CommandId::Verify, FakeEntry::Enum, 0, "status:文件尚未打开...|alert",
         "box:提示|exclamation|文件尚未打开！    "},
        {CommandId::ReadChip, FakeEntry::Read, 128, "status:读取成功！", ""},
        {CommandId::BlankCheck, FakeEntry::Read, 128, "status:芯片为空...",
         "box:提示|information|芯片为空!   "},
        {CommandId::Detect, FakeEntry::GetFlashInfo, 1, "status:设备已连接，检测到1MB芯片   ",
         "box:芯片信息|information|设备已连接，并检测到芯片     \r\n芯片容量:1MB (8Mbits)"},
    };
    Start();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        log.Clear();
        driver.ClearCalls();
        RunAndWait(row.id);
        EXPECT_EQ(driver.CallCount(row.entry), row.calls);
        EXPECT_EQ(log.With("status:").back(), row.lastStatus);
        const Events shown = log.With("box:");
        if (row.box.empty())
            EXPECT_TRUE(shown.empty());
        else
            EXPECT_EQ(shown, Events{row.box});
        EXPECT_EQ(core->state().WorkerCommand, WorkerCode::Idle);
    }
}

TEST_F(ProgrammerCoreTest, CommandsAreDroppedWhileTheWorkerRuns) {
    Start();
    Gate& erase = BlockNext(FakeEntry::InitFlash);
    core->HandleCommand(CommandId::Erase);
    ASSERT_TRUE(erase.WaitArrived());
    for (int id : {CommandId::Auto, CommandId::ChangedWrite, CommandId::Erase, CommandId::Program,
                   CommandId::Verify, CommandId::ReadChip, CommandId::BlankCheck, CommandId::Detect}) {
        core->HandleCommand(id);
        // The running operation keeps the code it was started with.
        EXPECT_EQ(core->state().WorkerCommand, WorkerCode::Erase) << id;
    }
    // Open is not offered while the worker runs: the dialog is never asked.
    core->HandleCommand(CommandId::Open);
    erase.Open();
    ASSERT_TRUE(core->worker().WaitUntilIdle(kWait));

    EXPECT_EQ(driver.CallCount(FakeEntry::InitFlash), 1);
    EXPECT_EQ(driver.CallCount(FakeEntry::Read), 0);
    EXPECT_EQ(driver.CallCount(FakeEntry::GetFlashInfo), 1);  // the erase's own check
    EXPECT_TRUE(log.With("open-dialog:").empty());
    EXPECT_TRUE(log.With("box:").empty());
    EXPECT_EQ(status.lastText(), "芯片擦除成功...");
}

TEST_F(ProgrammerCoreTest, ProgramIsRefusedWhileProgramBusyButOtherCommandsRun) {
    Start();
    core->state().ProgramBusy = true;
    core->HandleCommand(CommandId::Program);
    EXPECT_EQ(core->state().WorkerCommand, WorkerCode::Idle);
    EXPECT_TRUE(core->worker().IsIdle());
    EXPECT_TRUE(log.Events().empty());

    // The flag refuses the program request only.
    RunAndWait(CommandId::Detect);
    EXPECT_EQ(driver.CallCount(FakeEntry::GetFlashInfo), 1);
    core->state().ProgramBusy = false;
    RunAndWait(CommandId::Program);
    EXPECT_EQ(log.With("box:").back(), "box:提示|exclamation|文件尚未打开！     ");
}

TEST_F(ProgrammerCoreTest, CloseIsIgnoredWhileAnyBusyFlagIsSet) {
    Start();
    OpenFile(std::vector<uint8_t>(100, 0x5A));
    std::atomic<bool> WorkerState::*flags[] = {&WorkerState::ProgramBusy, &WorkerState::EraseBusy,
                                               &WorkerState::VerifyBusy, &WorkerState::ReadBusy,
                                               &WorkerState::BlankCheckBusy};
    for (auto flag : flags) {
        core->state().*flag = true;
        EXPECT_FALSE(core->RequestClose());
        core->state().*flag = false;
        EXPECT_FALSE(core->IsShutDown());
        EXPECT_FALSE(core->worker().HasEnded());
        EXPECT_TRUE(core->image().loaded());
    }
    EXPECT_TRUE(log.Events().empty());

    EXPECT_TRUE(core->RequestClose());
    EXPECT_TRUE(core->worker().HasEnded());
    EXPECT_FALSE(core->image().loaded());
    EXPECT_FALSE(core->image().workCopy().IsOpen());
    // The driver and the data file go last, once; the window closes on its own.
    EXPECT_EQ(log.Events(), (Events{"serve-until", "release"}));
    EXPECT_TRUE(core->RequestClose());
    EXPECT_EQ(log.With("release").size(), 1u);
    // Nothing is routed any more.
    core->HandleCommand(CommandId::Detect);
    EXPECT_EQ(driver.CallCount(FakeEntry::Enum), 0);
}

// Between an operation's start and its busy flag (the device check), and during a
// detection, the worker runs all the same: a close then is ignored too, instead of
// freezing the window until the operation ends.
TEST_F(ProgrammerCoreTest, CloseIsIgnoredWhileTheWorkerRunsWithoutABusyFlag) {
    struct Row {
        const char* what;
        std::function<void()> start;
    };
    Start();
    const Row rows[] = {
        {"erase in its device check", [this] { core->HandleCommand(CommandId::Erase); }},
        {"blank check in its device check", [this] { core->HandleCommand(CommandId::BlankCheck); }},
        {"chip read in its device check", [this] { core->HandleCommand(CommandId::ReadChip); }},
        {"detection with a box", [this] { core->HandleCommand(CommandId::Detect); }},
        {"quiet detection", [this] { core->DeviceChanged(); }},
    };
    for (const Row& row : rows) {
        Gate& check = BlockNext(FakeEntry::Enum);
        // Were the close accepted, the window would wait here for the whole run.
        lifetime.serving = [&check] { check.Open(); };
        log.Clear();
        row.start();
        ASSERT_TRUE(check.WaitArrived()) << row.what;
        EXPECT_FALSE(core->state().AnyBusy()) << row.what;
        EXPECT_FALSE(core->RequestClose()) << row.what;
        EXPECT_FALSE(core->IsShutDown()) << row.what;
        EXPECT_TRUE(log.With("serve-until").empty()) << row.what;
        check.Open();
        ASSERT_TRUE(core->worker().WaitUntilIdle(kWait)) << row.what;
        EXPECT_FALSE(core->worker().HasEnded()) << row.what;
        lifetime.serving = nullptr;
    }
    EXPECT_TRUE(core->RequestClose());
    EXPECT_TRUE(core->worker().HasEnded());
}

// The exit command arrives while Open waits for a quiet detection: the wait ends
// with the worker, and the chosen file is not loaded into a closed window.
TEST_F(ProgrammerCoreTest, WaitForTheWorkerEndsWhenTheWindowClosesMeanwhile) {
    Start();
    dir.Write("a.bin", std::vector<uint8_t>(20, 0x11));
    Gate& detect = BlockNext(FakeEntry::Enum);
    fileDialog.whileOpen = [&] {
        core->DeviceChanged();
        ASSERT_TRUE(detect.WaitArrived());
    };
    int waits = 0;
    lifetime.serving = [&] {
        // First the wait of Open, then the shutdown's own wait for the worker.
        if (++waits == 1)
            core->HandleCommand(CommandId::Exit);
        else
            detect.Open();
    };
    fileDialog.Queue(dir.file("a.bin"));
    log.Clear();
    core->HandleCommand(CommandId::Open);
    EXPECT_EQ(waits, 2);
    EXPECT_TRUE(log.With("serve-timeout").empty());
    EXPECT_TRUE(core->worker().HasEnded());
    EXPECT_FALSE(core->image().loaded());
    EXPECT_EQ(log.With("end-window").size(), 1u);
    EXPECT_TRUE(log.With("status:文件打开成功").empty());
    EXPECT_TRUE(log.With("box:").empty());
}

// Two program cores on one work directory: while the first shows chip data, the
// second one's chip read is refused; while it shows a file, the second one's load
// is refused; the first one's image stays intact throughout.
TEST_F(ProgrammerCoreTest, SecondCoreOnTheSameWorkDirectoryLeavesTheFirstImageIntact) {
    Start();
    EventLog otherLog;
    RecordingStatusLine otherStatus{otherLog};
    ScriptedMessageBoxes otherBoxes{otherLog};
    RecordingCommandStates otherCommands{otherLog};
    RecordingControlTexts otherTexts{otherLog};
    RecordingChipModelList otherModels{otherLog};
    RecordingSoundOutput otherSound{otherLog};
    InlineWindowThread otherWindow;
    RecordingScrollBar otherScroll{otherLog};
    ScriptedFileDialog otherDialog{otherLog};
    RecordingShell otherShell{otherLog};
    RecordingAboutBox otherAbout{otherLog};
    RecordingLifetime otherLifetime{otherLog};
    // One programmer for both (the fake exists once); the second reads other bytes.
    ProgrammerResources resources;
    resources.driver = driver.Api();
    resources.workDirectory = dir.dir();
    ProgrammerCore other(
        ProgrammerPorts{otherStatus, otherBoxes, otherCommands, otherTexts, otherModels, otherSound,
                        otherWindow, otherScroll, otherDialog, otherShell, otherAbout, otherLifetime},
        std::move(resources));
    other.Initialise();
    ASSERT_TRUE(other.worker().WaitUntilIdle(kWait));

    RunAndWait(CommandId::ReadChip);
    ASSERT_EQ(core->image().sourcePath(), core->chipWorkFilePath());
    const std::vector<uint8_t> chip = dir.Read("h_alor0.dll");
    ASSERT_EQ(chip, std::vector<uint8_t>(1048576, 0xFF));
    driver.SetChipSize(1048576, 0x00);
    other.HandleCommand(CommandId::ReadChip);
    ASSERT_TRUE(other.worker().WaitUntilIdle(kWait));
    EXPECT_EQ(otherStatus.lastText(), "读取失败，请检查设备连接和芯片容量...");
    EXPECT_EQ(dir.Read("h_alor0.dll"), chip);
    EXPECT_EQ(dir.Read("h_alor1.dll"), chip);

    std::vector<uint8_t> first(5000);
    for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<uint8_t>(i * 13 + 1);
    OpenFile(first);
    dir.Write("second.bin", std::vector<uint8_t>(64, 0xEE));
    otherDialog.Queue(dir.file("second.bin"));
    otherLog.Clear();
    other.HandleCommand(CommandId::Open);
    EXPECT_FALSE(other.image().loaded());
    EXPECT_EQ(otherLog.With("box:"), Events{"box:错误|stop|无法打开文件！"});

    // The first core still reads its own image.
    EXPECT_EQ(dir.Read("h_alor1.dll"), first);
    EXPECT_EQ(core->image().length(), first.size());
    core->hexView().SetTopRow(100);
    core->hexView().RefreshPage();
    char expected[3];
    std::snprintf(expected, sizeof expected, "%02X", first[100 * 16 + 5]);
    EXPECT_EQ(core->grid().CellText(1, 6), expected);
    other.Shutdown();
}

TEST_F(ProgrammerCoreTest, ExitIgnoresTheBusyFlagsAndEndsTheWindow) {
    Start();
    core->state().EraseBusy = true;
    core->HandleCommand(CommandId::Exit);
    EXPECT_TRUE(core->worker().HasEnded());
    EXPECT_EQ(log.Events(), (Events{"serve-until", "release", "end-window"}));
}

// Exit while a verify is about to show its first difference box: the worker is
// served until it ends, and its questions are answered without being shown.
TEST_F(ProgrammerCoreTest, ExitDuringAnOperationWaitsForItAndAnswersItsQuestions) {
    Start();
    std::vector<uint8_t> bytes(4096, 0x00);
    OpenFile(bytes);
    // The chip holds 0xFF: every byte differs.
    Gate& read = BlockNext(FakeEntry::Read);
    core->HandleCommand(CommandId::Verify);
    ASSERT_TRUE(read.WaitArrived());
    lifetime.serving = [&read] { read.Open(); };
    core->HandleCommand(CommandId::Exit);

    EXPECT_TRUE(core->worker().HasEnded());
    EXPECT_EQ(boxes.shown(), 0);
    // Cancel at the first difference: one error counted.
    EXPECT_TRUE(HasEvent("status:校验结束，共1个错误...|alert|beep"));
    EXPECT_LT(IndexOf("status:校验结束，共1个错误...|alert|beep"), IndexOf("release"));
    EXPECT_EQ(log.With("end-window").size(), 1u);
    EXPECT_FALSE(core->state().VerifyBusy);
}

TEST_F(ProgrammerCoreTest, FileChosenWhileAnOperationStartedIsRefusedWithABox) {
    Start();
    dir.Write("a.bin", std::vector<uint8_t>(20, 0xFF));
    Gate& erase = BlockNext(FakeEntry::InitFlash);
    fileDialog.whileOpen = [&] {
        core->HandleCommand(CommandId::Erase);
        ASSERT_TRUE(erase.WaitArrived());
    };
    fileDialog.Queue(dir.file("a.bin"));
    log.Clear();
    core->HandleCommand(CommandId::Open);
    EXPECT_FALSE(core->image().loaded());
    EXPECT_EQ(log.With("box:"), Events{"box:提示|information|当前不能执行此操作！   "});
    erase.Open();
    ASSERT_TRUE(core->worker().WaitUntilIdle(kWait));
    EXPECT_FALSE(core->image().loaded());
}

TEST_F(ProgrammerCoreTest, FileChosenWhileADetectionRunsLoadsAfterIt) {
    Start();
    dir.Write("a.bin", std::vector<uint8_t>(20, 0xFF));
    Gate& detect = BlockNext(FakeEntry::Enum);
    fileDialog.whileOpen = [&] {
        core->DeviceChanged();
        ASSERT_TRUE(detect.WaitArrived());
    };
    lifetime.serving = [&detect] { detect.Open(); };
    fileDialog.Queue(dir.file("a.bin"));
    log.Clear();
    core->HandleCommand(CommandId::Open);
    EXPECT_EQ(log.With("serve-until").size(), 1u);
    EXPECT_TRUE(core->image().loaded());
    EXPECT_TRUE(log.With("box:").empty());
}

TEST_F(ProgrammerCoreTest, OpenAsksForAFileAndLoadsIt) {
    Start();
    const std::vector<uint8_t> bytes(20, 0xFF);
    dir.Write("a.bin", bytes);

    RunAndWait(CommandId::Open);  // cancelled
    EXPECT_FALSE(core->image().loaded());
    EXPECT_EQ(log.Events(), Events{"open-dialog:*.bin;*.rom文件(*.bin;*.rom);所有文件(*.*);|bin"});

    log.Clear();
    fileDialog.Queue(dir.file("a.bin"));
    RunAndWait(CommandId::Open);
    ASSERT_TRUE(core->image().loaded());
    EXPECT_EQ(core->image().length(), 20u);
    EXPECT_EQ(texts.Text(CommandId::NameLabel), "a.bin");
    EXPECT_EQ(texts.Text(CommandId::ChecksumLabel), "00000013EC");
    EXPECT_EQ(status.lastText(), "文件打开成功");
}

TEST_F(ProgrammerCoreTest, DroppedFilesLoadTheFirstOnlyWhileTheWorkerIsIdle) {
    Start();
    dir.Write("first.bin", {1, 2, 3});
    dir.Write("second.bin", {4, 5, 6, 7});
    Gate& detect = BlockNext(FakeEntry::GetFlashInfo);
    core->HandleCommand(CommandId::Detect);
    ASSERT_TRUE(detect.WaitArrived());
    core->OnFilesDropped({dir.file("first.bin")});
    EXPECT_FALSE(core->image().loaded());
    EXPECT_EQ(log.With("box:"), Events{"box:提示|information|当前不能执行此操作！   "});
    detect.Open();
    ASSERT_TRUE(core->worker().WaitUntilIdle(kWait));

    core->OnFilesDropped({dir.file("first.bin"), dir.file("second.bin")});
    ASSERT_TRUE(core->image().loaded());
    EXPECT_EQ(core->image().sourcePath(), dir.file("first.bin"));
    EXPECT_EQ(core->image().length(), 3u);
}

TEST_F(ProgrammerCoreTest, SerialNumberCommandReadsTheDataFileAgain) {
    dir.Write("XJQT.uc", ProductDataScramble::Build("XJQT*1234*XJQT_Tarlo Flash"));
    ASSERT_TRUE(dataFile.Open(dir.file("XJQT.uc")));
    Start();
    core->HandleCommand(CommandId::SerialNumber);
    EXPECT_EQ(log.Events(),
              (Events{"status:获取序列号成功...", "box:产品信息|information|通用版序列号:        \r\n1234"}));
}

TEST_F(ProgrammerCoreTest, PromptSoundCommandTogglesTheSwitchAndItsFile) {
    Start();
    ASSERT_FALSE(core->sounds().enabled());
    core->HandleCommand(CommandId::PromptSound);
    EXPECT_TRUE(core->sounds().enabled());
    EXPECT_EQ(dir.Read("halor2.dll"), std::vector<uint8_t>{1});
    EXPECT_EQ(log.Events(), (Events{"button-sounds:sound/mouthsound.wav", "check:32810|1"}));

    log.Clear();
    core->HandleCommand(CommandId::PromptSound);
    EXPECT_FALSE(core->sounds().enabled());
    EXPECT_EQ(dir.Read("halor2.dll"), std::vector<uint8_t>{0});
    EXPECT_EQ(log.Events(), (Events{"button-sounds:", "check:32810|0"}));
}

// The .chm first, then the HTML manual in the desktop's browser, then in the
// program's own viewer; the box only when neither manual is there.
TEST_F(ProgrammerCoreTest, HelpFallsBackFromTheChmToTheHtmlManual) {
    using R = ShellOpenResult;
    struct Row {
        R chm;
        R html;
        Events shell;  // c: the .chm, h: the HTML manual, v: the own viewer
        bool box;
    };
    const Row rows[] = {
        {R::Opened, R::Opened, {"c"}, false},
        {R::Failed, R::Opened, {"c", "h"}, false},
        {R::FileNotFound, R::Opened, {"c", "h"}, false},
        {R::Failed, R::Failed, {"c", "h", "v"}, false},
        {R::FileNotFound, R::Failed, {"c", "h", "v"}, false},
        {R::Failed, R::FileNotFound, {"c", "h"}, false},
        {R::FileNotFound, R::FileNotFound, {"c", "h"}, true},
    };
    Start();
    const std::string chm = dir.dir() + "XJQT_Tarlo Flash编程器用户手册.chm";
    const std::string html = dir.dir() + "manual/index.html";
    for (const Row& row : rows) {
        log.Clear();
        shell.results = {{chm, row.chm}, {html, row.html}};
        core->HandleCommand(CommandId::Help);
        Events expected;
        for (const std::string& step : row.shell)
            expected.push_back(step == "c"   ? "shell-open:" + chm
                               : step == "h" ? "shell-open:" + html
                                             : "own-viewer:manual|" + html);
        Events seen;  // in the order asked
        for (const std::string& e : log.Events())
            if (e.rfind("shell-open:", 0) == 0 || e.rfind("own-viewer:", 0) == 0) seen.push_back(e);
        EXPECT_EQ(seen, expected) << static_cast<int>(row.chm) << static_cast<int>(row.html);
        EXPECT_EQ(log.With("box:"),
                  row.box ? Events{"box:提示|exclamation|文件被破坏，未发现文件！"} : Events{});
    }
}

TEST_F(ProgrammerCoreTest, AboutBoxFromTheMenuAndTheSystemMenu) {
    Start();
    core->HandleCommand(CommandId::About);
    core->HandleCommand(CommandId::AboutSystemMenu);
    EXPECT_EQ(log.Events(), (Events{"about-box", "about-box"}));
}

// Each address tool's command opens its own dialog and nothing else; the worker stays idle.
TEST_F(ProgrammerCoreTest, EachToolCommandOpensOnlyItsOwnDialog) {
    struct Row {
        int id;
        std::string dialog;
    };
    const Row rows[] = {{CommandId::GotoAddress, "goto-dialog"},
                        {CommandId::Fill, "fill-dialog"},
                        {CommandId::DataView, "data-view-dialog"},
                        {CommandId::Find, "find-dialog"}};
    Start();
    ScriptedToolDialogs tools(log);
    core->SetToolDialogs(&tools);
    for (const Row& row : rows) {
        log.Clear();
        core->HandleCommand(row.id);
        EXPECT_EQ(log.Events(), Events{row.dialog}) << row.id;
        EXPECT_TRUE(core->worker().IsIdle()) << row.id;
    }
    // Saving with nothing loaded opens no tool's dialog either.
    log.Clear();
    for (int id : {CommandId::Save, CommandId::SaveAs}) core->HandleCommand(id);
    core->CommitCellEdit();
    for (const std::string& event : log.Events())
        EXPECT_EQ(event.find("-dialog"), std::string::npos) << event;
    EXPECT_TRUE(driver.Calls().empty());
}

// The log exists from start-up on; an earlier run's log is kept as it was.
TEST_F(ProgrammerCoreTest, StartUpCreatesTheChangeLogWithoutEmptyingIt) {
    struct Row {
        bool existing;
        std::vector<uint8_t> after;
    };
    const Row rows[] = {{false, {}}, {true, {'o', 'l', 'd'}}};
    for (const Row& row : rows) {
        TempDirectory workDir;
        if (row.existing) workDir.Write("修改记录.txt", {'o', 'l', 'd'});
        ProgrammerResources resources;
        resources.driver = driver.Api();
        resources.workDirectory = workDir.dir();
        ProgrammerCore other(ProgrammerPorts{status, boxes, commands, texts, modelList, sound, window,
                                             scrollBar, fileDialog, shell, aboutBox, lifetime},
                             std::move(resources));
        EXPECT_FALSE(workDir.Exists("修改记录.txt") && !row.existing);
        other.Initialise();
        ASSERT_TRUE(other.worker().WaitUntilIdle(kWait));
        EXPECT_TRUE(workDir.Exists("修改记录.txt"));
        EXPECT_EQ(workDir.Read("修改记录.txt"), row.after);
    }
}

// Save (button, menu, Ctrl+S), save as and the log viewer reach their operations.
TEST_F(ProgrammerCoreTest, SaveCommandsAreRouted) {
    Start();
    std::vector<uint8_t> bytes(64, 0x11);
    OpenFile(bytes);
    const uint8_t typed = 0x22;
    core->image().WriteWork(0x1A, &typed, 1);
    commands.SetEnabled(CommandId::Save, true);
    RunAndWait(CommandId::Save);
    bytes[0x1A] = 0x22;
    EXPECT_EQ(dir.Read("image.bin"), bytes);
    const std::vector<uint8_t> logBytes = dir.Read("修改记录.txt");
    const std::string logText(logBytes.begin(), logBytes.end());
    EXPECT_NE(logText.find(" image.bin "), std::string::npos);
    EXPECT_NE(logText.find("        [0000001A]: 11 --> 22\r\n"), std::string::npos);
    EXPECT_EQ(logText.substr(logText.size() - 83), std::string(40, '-') + "END" + std::string(40, '-'));
    EXPECT_EQ(status.lastText(), "文件已保存...");
    EXPECT_FALSE(commands.IsEnabled(CommandId::Save));

    log.Clear();
    fileDialog.Queue(dir.file("copy.bin"));
    RunAndWait(CommandId::SaveAs);
    EXPECT_EQ(dir.Read("copy.bin"), bytes);
    RunAndWait(CommandId::ChangeLog);
    EXPECT_EQ(log.With("own-viewer:"), Events{"own-viewer:log|" + dir.dir() + "修改记录.txt"});
}

// A chip read rewrites the chip work file and reads the work copy's neighbour: save
// and save-as do nothing while it runs, not even ask for a name.
TEST_F(ProgrammerCoreTest, SaveIsRefusedDuringAChipRead) {
    Start();
    RunAndWait(CommandId::ReadChip);
    ASSERT_EQ(core->image().sourcePath(), core->chipWorkFilePath());
    Gate& read = BlockNext(FakeEntry::Read);
    core->HandleCommand(CommandId::ReadChip);
    ASSERT_TRUE(read.WaitArrived());
    log.Clear();
    fileDialog.Queue(dir.file("a.bin"));
    core->HandleCommand(CommandId::Save);
    core->HandleCommand(CommandId::SaveAs);
    EXPECT_TRUE(log.Events().empty());
    read.Open();
    ASSERT_TRUE(core->worker().WaitUntilIdle(kWait));
    EXPECT_FALSE(dir.Exists("a.bin"));
    EXPECT_TRUE(dir.Read("修改记录.txt").empty());

    // Once the read is over the same command saves.
    log.Clear();
    RunAndWait(CommandId::Save);
    EXPECT_TRUE(dir.Exists("a.bin"));
    EXPECT_EQ(status.lastText(), "文件已保存...");
}

TEST_F(ProgrammerCoreTest, DataViewCommandRunsItsDialogOverTheCoresLookUp) {
    Start();
    OpenFile({0x00, 0x11, 0x22});
    ScriptedToolDialogs tools(log);
    core->SetToolDialogs(&tools);
    std::optional<DataViewResult> result;
    tools.dataView = [&result](DataViewLookup& lookup) { result = lookup.Press("1"); };
    core->HandleCommand(CommandId::DataView);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->fileText, "11");
    EXPECT_EQ(result->chipText, "FF");
    EXPECT_EQ(result->status, "查文件成功,查芯片成功...");
    EXPECT_EQ(log.Events().front(), "data-view-dialog");
    EXPECT_EQ(log.With("status:").back(), "status:查看结束...");
    EXPECT_EQ(core->grid().CurrentCell(), (GridCellId{1, 2}));
}

// In edit mode the byte looked up gets the cell editor, both digits selected, and
// what is typed next goes to it.
TEST_F(ProgrammerCoreTest, LookUpInEditModeOpensTheEditorOnTheByte) {
    Start();
    FakeCellEditorControl control(log);
    OpenForEditing(control, std::vector<uint8_t>(64, 0x3A));
    ScriptedToolDialogs tools(log);
    core->SetToolDialogs(&tools);
    tools.dataView = [](DataViewLookup& lookup) { EXPECT_TRUE(lookup.Press("25").has_value()); };
    core->HandleCommand(CommandId::DataView);
    EXPECT_TRUE(core->cellEditor().editorOpen());
    EXPECT_EQ(core->cellEditor().editRow(), 3);
    EXPECT_EQ(core->cellEditor().editorSelection(), kBothDigits);
    EXPECT_EQ(core->grid().CurrentCell(), (GridCellId{3, 6}));
}

TEST_F(ProgrammerCoreTest, FindCommandSearchesOnTheWorkerUntilTheDialogCloses) {
    Start();
    OpenFile({0x00, 0x11, 0x22, 0x22});
    ScriptedToolDialogs tools(log);
    core->SetToolDialogs(&tools);
    tools.find = [this](FindSession& session) {
        EXPECT_TRUE(session.Press("22", FindMode::Hex, true));
        const auto until = std::chrono::steady_clock::now() + kWait;
        while (core->state().WorkerCommand != 0 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(core->state().WorkerCommand, 0);  // waiting at its hit
        session.DialogClosed();
    };
    core->HandleCommand(CommandId::Find);
    ASSERT_TRUE(core->worker().WaitUntilIdle(kWait));
    EXPECT_EQ(core->grid().CurrentCell(), (GridCellId{1, 3}));
    EXPECT_EQ(core->hexView().MarkOf(1, 3), HexView::Found);
    EXPECT_EQ(core->hexView().MarkOf(1, 4), HexView::Unchanged);
    EXPECT_TRUE(log.With("box:").empty());
    // The worker is free for the next command.
    RunAndWait(CommandId::Erase);
    EXPECT_EQ(driver.CallCount(FakeEntry::InitFlash), 1);
}

TEST_F(ProgrammerCoreTest, ExitWhileASearchWaitsAtAHitEndsTheWorker) {
    Start();
    OpenFile({0x22});
    ScriptedToolDialogs tools(log);
    core->SetToolDialogs(&tools);
    tools.find = [this](FindSession& session) {
        EXPECT_TRUE(session.Press("22", FindMode::Hex, true));
        const auto until = std::chrono::steady_clock::now() + kWait;
        while (core->state().WorkerCommand != 0 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    core->HandleCommand(CommandId::Find);  // the dialog is left without closing the search
    EXPECT_FALSE(core->worker().IsIdle());
    core->HandleCommand(CommandId::Exit);
    EXPECT_TRUE(core->worker().HasEnded());
    EXPECT_EQ(log.With("end-window").size(), 1u);
}

// The check box and the menu entry switch modes; without an image only the menu beeps.
TEST_F(ProgrammerCoreTest, EditModeCommandsSwitchModes) {
    Start();
    core->HandleCommand(CommandId::EditModeCheck);
    core->HandleCommand(CommandId::EditModeMenu);
    EXPECT_EQ(log.Events(), (Events{"status:文件尚未打开，无法进行模式转换操作！|alert",
                                    "status:文件尚未打开，无法进行模式转换操作！|alert|beep"}));
    OpenFile(std::vector<uint8_t>(64, 0x3A));
    core->HandleCommand(CommandId::EditModeCheck);
    EXPECT_TRUE(core->editMode());
    EXPECT_TRUE(commands.IsChecked(CommandId::EditModeCheck));
    EXPECT_TRUE(commands.IsChecked(CommandId::EditModeMenu));
    EXPECT_TRUE(commands.IsEnabled(CommandId::Fill));
    core->HandleCommand(CommandId::EditModeMenu);
    EXPECT_FALSE(core->editMode());
    EXPECT_FALSE(commands.IsChecked(CommandId::EditModeCheck));
    EXPECT_FALSE(commands.IsChecked(CommandId::EditModeMenu));
    EXPECT_FALSE(commands.IsEnabled(CommandId::Fill));
}

// A click, a keystroke and Enter reach the work copy through the core; a load closes the editor.
TEST_F(ProgrammerCoreTest, CellEditingThroughTheCore) {
    Start();
    FakeCellEditorControl control(log);
    OpenForEditing(control, std::vector<uint8_t>(64, 0x3A));
    ClickCell(1, 3, 20);
    ASSERT_TRUE(control.Type('C'));
    core->OnCellEditorChange();
    control.text = "7";  // high digit deleted, caret in front: committed by Enter
    core->CommitCellEdit();
    std::vector<uint8_t> expected(64, 0x3A);
    expected[2] = 0x3C;
    expected[3] = 0x07;
    EXPECT_EQ(ReadBytes(core->workCopyPath()), expected);
    EXPECT_EQ(texts.Text(CommandId::ChecksumLabel), ChecksumText(ByteSum(expected.data(), expected.size())));
    EXPECT_TRUE(commands.IsEnabled(CommandId::Save));

    ClickCell(1, 3, 2);
    ASSERT_TRUE(core->cellEditor().editorOpen());
    OpenFile(std::vector<uint8_t>(64, 0x3A));
    EXPECT_FALSE(core->cellEditor().editorOpen());
    EXPECT_FALSE(control.visible);
}

// Goto in edit mode opens the editor on the byte jumped to: the digits typed next
// change that byte, not the one clicked before.
TEST_F(ProgrammerCoreTest, GotoInEditModeThenTypingChangesTheByteJumpedTo) {
    Start();
    FakeCellEditorControl control(log);
    OpenForEditing(control, std::vector<uint8_t>(1000, 0x3A));
    ClickCell(1, 3, 2);
    ScriptedToolDialogs tools(log);
    core->SetToolDialogs(&tools);
    tools.goTo = [](GotoForm& form) { EXPECT_EQ(form.Press("25"), GotoForm::Result::EditorOpened); };
    core->HandleCommand(CommandId::GotoAddress);
    EXPECT_EQ(core->grid().CurrentCell(), (GridCellId{3, 6}));
    ASSERT_TRUE(core->cellEditor().editorOpen());
    EXPECT_EQ(core->cellEditor().editorSelection(), kBothDigits);
    EXPECT_EQ(core->cellEditor().editOldText(), "3A");
    ASSERT_TRUE(control.Type('5'));
    core->OnCellEditorChange();
    ASSERT_TRUE(control.Type('C'));
    core->OnCellEditorChange();
    std::vector<uint8_t> expected(1000, 0x3A);
    expected[0x25] = 0x0C;  // both digits selected: 5 replaces them, C the low digit of 05
    EXPECT_EQ(ReadBytes(core->workCopyPath()), expected);
    EXPECT_EQ(core->grid().CurrentCell(), (GridCellId{3, 7}));  // moved on to the next byte
}

// Every goto command opens another dialog over the one jump; view mode opens no editor.
TEST_F(ProgrammerCoreTest, GotoCommandOpensADialogEachTime) {
    Start();
    OpenFile(std::vector<uint8_t>(1000, 0x11));
    ScriptedToolDialogs tools(log);
    core->SetToolDialogs(&tools);
    std::vector<GotoForm*> forms;
    tools.goTo = [&forms](GotoForm& form) { forms.push_back(&form); };
    core->HandleCommand(CommandId::GotoAddress);
    core->HandleCommand(CommandId::GotoAddress);
    EXPECT_EQ(log.With("goto-dialog").size(), 2u);
    ASSERT_EQ(forms.size(), 2u);
    EXPECT_EQ(forms[0]->Press("3E7"), GotoForm::Result::Shown);
    EXPECT_EQ(core->grid().CurrentCell(), (GridCellId{21, 8}));
    EXPECT_EQ(core->hexView().topRow(), 63u - 21u);
    EXPECT_FALSE(core->cellEditor().editorOpen());
    EXPECT_EQ(forms[1]->Press(""), GotoForm::Result::NotShown);
    EXPECT_EQ(log.With("box:"), (Events{"box:提示|exclamation|请输入定位地址！   "}));
    EXPECT_EQ(forms[1]->Press("3E8"), GotoForm::Result::NotShown);
    EXPECT_EQ(log.With("status:").back(), "status:地址超出文件范围！|alert");
}

// The fill reaches the work copy through the core; its checksum is the sum of the new file.
TEST_F(ProgrammerCoreTest, FillCommandRunsItsDialogOverTheWorkCopy) {
    Start();
    OpenFile(std::vector<uint8_t>(16, 0x11));
    core->HandleCommand(CommandId::EditModeCheck);
    ScriptedToolDialogs tools(log);
    core->SetToolDialogs(&tools);
    tools.fill_ = [](FileFill& fill) {
        EXPECT_EQ(fill.Press(FillRequest{"20", "4", "00", false}).dialogStatus, "文件填充结束...");
    };
    core->HandleCommand(CommandId::Fill);
    std::vector<uint8_t> expected(16, 0x11);
    expected.resize(32, 0xFF);
    expected.resize(36, 0x00);
    EXPECT_EQ(ReadBytes(core->workCopyPath()), expected);
    EXPECT_EQ(core->image().length(), 36u);
    EXPECT_EQ(texts.Text(CommandId::ChecksumLabel), ChecksumText(ByteSum(expected.data(), expected.size())));
    EXPECT_TRUE(commands.IsEnabled(CommandId::Save));
}

TEST_F(ProgrammerCoreTest, ModelChangeSetsTheCapacityAndItsLabel) {
    struct Row {
        int row;
        uint32_t capacity;
        std::string label;
    };
    const Row rows[] = {{6, 8388608, "8Mbytes"}, {0, 131072, "128Kbytes"}, {2, 524288, "512Kbytes"}};
    Start();
    for (const Row& row : rows) {
        core->OnChipModelChanged(row.row);
        EXPECT_EQ(core->model().ChipCapacity(), row.capacity);
        EXPECT_EQ(texts.Text(CommandId::CapacityLabel), row.label);
    }
}

TEST_F(ProgrammerCoreTest, DeviceChangeRunsAQuietDetection) {
    Start();
    core->DeviceChanged();
    ASSERT_TRUE(core->worker().WaitUntilIdle(kWait));
    EXPECT_EQ(log.With("status:"), Events{"status:设备已连接，检测到1MB芯片"});
    EXPECT_EQ(core->state().DeviceChangeCount, 0);
    EXPECT_FALSE(core->state().DeviceChangePending);
}

TEST_F(ProgrammerCoreTest, ChipReadTurnsEditModeOffBeforeReading) {
    Start();
    core->SetEditModeFlag(true);
    commands.SetEnabled(CommandId::Fill, true);
    RunAndWait(CommandId::ReadChip);
    EXPECT_FALSE(core->editMode());
    EXPECT_FALSE(commands.IsEnabled(CommandId::Fill));  // the fill belongs to edit mode
    const size_t viewMode = IndexOf("status:您已选择查看模式，不能对数据进行修改。");
    ASSERT_LT(viewMode, log.Events().size());
    EXPECT_LT(IndexOf("check:1006|0"), viewMode);
    EXPECT_LT(IndexOf("check:32783|0"), viewMode);
    EXPECT_LT(viewMode, IndexOf("show-progress"));
    EXPECT_EQ(status.lastText(), "读取成功！");
    EXPECT_EQ(texts.Text(CommandId::PathBox), "芯片内数据，尚未保存!");

    // Already in view mode: nothing of the switch shows.
    log.Clear();
    RunAndWait(CommandId::ReadChip);
    EXPECT_FALSE(HasEvent("status:您已选择查看模式，不能对数据进行修改。"));
}

// The forced view mode of a chip read takes the editor with it, so a read that then
// fails does not leave an editor showing that accepts nothing.
TEST_F(ProgrammerCoreTest, ChipReadClosesTheCellEditorEvenWhenItFails) {
    Start();
    FakeCellEditorControl control(log);
    OpenForEditing(control, std::vector<uint8_t>(64, 0x3A));
    ClickCell(1, 3, 2);
    ASSERT_TRUE(core->cellEditor().editorOpen());
    ASSERT_TRUE(control.visible);
    driver.FailCall(FakeEntry::Read, driver.CallCount(FakeEntry::Read) + 2);
    RunAndWait(CommandId::ReadChip);
    EXPECT_EQ(status.lastText(), "读取失败，请检查设备连接和芯片容量...");
    EXPECT_FALSE(core->cellEditor().editorOpen());
    EXPECT_FALSE(control.visible);
    EXPECT_EQ(ReadBytes(core->workCopyPath()), std::vector<uint8_t>(64, 0x3A));
}

// A read that fails while the previous read is shown leaves nothing reading a closed file.
TEST_F(ProgrammerCoreTest, FailedReadOverShownChipDataKeepsAReadableImage) {
    Start();
    RunAndWait(CommandId::ReadChip);
    ASSERT_EQ(core->image().sourcePath(), core->chipWorkFilePath());
    // Counted over the fake's life: the third block of the second read fails.
    driver.FailCall(FakeEntry::Read, driver.CallCount(FakeEntry::Read) + 3);
    RunAndWait(CommandId::ReadChip);
    EXPECT_EQ(status.lastText(), "读取失败，请检查设备连接和芯片容量...");
    EXPECT_TRUE(!core->image().loaded() || core->image().IsSourceOpen());
}

TEST_F(ProgrammerCoreTest, DestroyingTheCoreEndsTheWorker) {
    Start();
    Gate& detect = BlockNext(FakeEntry::GetFlashInfo);
    core->HandleCommand(CommandId::Detect);
    ASSERT_TRUE(detect.WaitArrived());
    lifetime.serving = [&detect] { detect.Open(); };
    core.reset();
    EXPECT_EQ(log.With("release").size(), 1u);
}

}  // namespace

namespace {

// A job, as another process runs it, on the same fake driver; its --json objects.
std::vector<nlohmann::json> RunJob(const TempDirectory& dir, const FakeDriver& driver,
                                   std::vector<std::string> args) {
    char* data = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&data, &size);
    FILE* err = std::fopen("/dev/null", "w");
    CliEnvironment env;
    env.out = out;
    env.err = err;
    env.lockDirectory = dir.path().string();
    env.tempDirectory = dir.path().string();
    env.productDataDirectory = dir.dir();
    const DriverApi api = driver.Api();
    env.driver = &api;
    args.push_back("--json");
    RunCommandLine(args, env);
    std::fclose(out);
    std::fclose(err);
    std::vector<nlohmann::json> results;
    std::istringstream lines(std::string(data, size));
    std::free(data);
    for (std::string line; std::getline(lines, line);) results.push_back(nlohmann::json::parse(line));
    return results;
}

std::vector<std::string> Outcomes(const std::vector<nlohmann::json>& results) {
    std::vector<std::string> outcomes;
    for (const nlohmann::json& r : results) outcomes.push_back(r["outcome"]);
    return outcomes;
}

}  // namespace

// A job holding a programmer keeps the window off that programmer alone, and the
// window says why instead of calling the programmer missing.
TEST_F(ProgrammerCoreTest, AProgrammerHeldByAJobIsBusyForTheWindow) {
    struct Row {
        const char* name;
        int heldProgrammer;
        std::function<std::string(ProgrammerCore&)> use;  // the look-up's text; empty for commands
        int opens;
        Events statuses;
        Events shownBoxes;
        std::string lookUp;
    };
    const std::string busy = "status:编程器正被其他程序使用！|alert|beep";
    const std::string busyBox = "box:提示|exclamation|编程器正被其他程序使用！";
    const auto command = [this](int id) {
        return [this, id](ProgrammerCore&) {
            RunAndWait(id);
            return std::string();
        };
    };
    const auto quiet = [](ProgrammerCore& c) {
        c.DeviceChanged();
        EXPECT_TRUE(c.worker().WaitUntilIdle(kWait));
        return std::string();
    };
    const auto lookUp = [](ProgrammerCore& c) { return c.dataView().LookUp(0).status; };
    const Row rows[] = {
        {"detection, same programmer", 0, command(CommandId::Detect), 0, {busy}, {busyBox}, ""},
        {"quiet detection, same programmer", 0, quiet, 0, {busy}, {}, ""},
        {"erase, same programmer", 0, command(CommandId::Erase), 0, {busy}, {busyBox}, ""},
        {"changed-only write, same programmer",
         0,
         command(CommandId::ChangedWrite),
         0,
         {busy},
         {busyBox},
         ""},
        {"look-up, same programmer", 0, lookUp, 0, {"status:查看结束..."}, {}, "文件未打开,设备忙..."},
        {"detection, another programmer",
         1,
         command(CommandId::Detect),
         1,
         {"status:设备已连接，检测到1MB芯片   "},
         {"box:芯片信息|information|设备已连接，并检测到芯片     \r\n芯片容量:1MB (8Mbits)"},
         ""},
        {"look-up, another programmer", 1, lookUp, 1, {"status:查看结束..."}, {}, "文件未打开,查芯片成功..."},
    };
    lockDirectory = dir.path().string();
    Start();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InstanceLock job(ProgrammerLockName(row.heldProgrammer), dir.path().string());
        ASSERT_EQ(job.TryAcquire(), InstanceLock::Result::Acquired);
        log.Clear();
        driver.ClearCalls();
        EXPECT_EQ(row.use(*core), row.lookUp);
        EXPECT_EQ(driver.CallCount(FakeEntry::Open), row.opens);
        const Events statuses = log.With("status:");
        ASSERT_FALSE(statuses.empty());
        if (row.opens == 0)
            EXPECT_EQ(statuses, row.statuses);
        else
            EXPECT_EQ(statuses.back(), row.statuses.back());
        EXPECT_EQ(log.With("box:"), row.shownBoxes);
        // Whatever happened, the window holds no programmer afterwards.
        job.Release();
        InstanceLock after(ProgrammerLockName(0), dir.path().string());
        EXPECT_EQ(after.TryAcquire(), InstanceLock::Result::Acquired);
    }
}

// While the window uses programmer 0 a job there is busy and one on programmer 1
// runs; once the window's command has ended, a job on programmer 0 runs too.
TEST_F(ProgrammerCoreTest, JobsShareTheProgrammersWithTheWindowBetweenItsUses) {
    dir.Write("XJQT.uc", ProductDataScramble::Build(ProductDataScramble::ContentForSerial("TARLO-TEST")));
    lockDirectory = dir.path().string();
    Start();
    driver.SetResult(FakeEntry::Enum, 2);
    std::vector<nlohmann::json> during;
    auto ran = std::make_shared<std::atomic<bool>>(false);
    // At the window's first close of the connection its command still runs.
    driver.SetHook([&, ran](const FakeCall& call) {
        if (call.entry == FakeEntry::Close && !ran->exchange(true))
            during = RunJob(dir, driver, {"blank", "--all"});
    });
    RunAndWait(CommandId::Detect);
    driver.SetHook({});
    ASSERT_TRUE(ran->load());
    EXPECT_EQ(Outcomes(during), (std::vector<std::string>{"busy", "success"}));
    ASSERT_EQ(during.size(), 2u);
    EXPECT_EQ(during[0]["exit"], 3);
    EXPECT_EQ(during[0]["device"], 0);
    EXPECT_EQ(Outcomes(RunJob(dir, driver, {"blank"})), std::vector<std::string>{"success"});
}
