#include "operations/OperationWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
constexpr auto kGuard = 20s;  // only a guard against a hang, never a timing assumption

// A one-shot gate: commands wait on it until the test opens it.
class Gate {
public:
    void Open() {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_cv.notify_all();
    }
    bool Wait() {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, kGuard, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_open = false;
};

// Records every run and checks that no two commands ever overlap.
class RunLog {
public:
    void Enter(uint8_t code) {
        if (++m_inside != 1) m_overlap = true;
        std::lock_guard lock(m_mutex);
        m_runs.push_back(code);
    }
    void Leave() { --m_inside; }
    std::vector<uint8_t> Runs() const {
        std::lock_guard lock(m_mutex);
        return m_runs;
    }
    bool overlapped() const { return m_overlap; }

private:
    mutable std::mutex m_mutex;
    std::vector<uint8_t> m_runs;
    std::atomic<int> m_inside{0};
    std::atomic<bool> m_overlap{false};
};

std::vector<uint8_t> Codes(std::initializer_list<int> codes) {
    std::vector<uint8_t> out;
    for (int c : codes) out.push_back(static_cast<uint8_t>(c));
    return out;
}

TEST(DeviceChangeRule, RepeatsOnlyForTheLongBursts) {
    struct Row {
        int32_t from, to;
        bool repeats;
    };
    const Row rows[] = {
        {0, 47, false},    {48, 63, true},   {64, 64, false},  {65, 79, true},    {80, 80, false},
        {81, 95, true},    {96, 96, true},   {97, 111, true},  {112, 112, false}, {113, 127, true},
        {128, 128, false}, {129, 143, true}, {144, 144, true}, {160, 160, false}, {176, 176, false},
    };
    for (const Row& row : rows)
        for (int32_t n = row.from; n <= row.to; ++n)
            EXPECT_EQ(DeviceChangeRuleRepeats(n), row.repeats) << "count " << n;
}

class WorkerTest : public ::testing::Test {
protected:
    // Starts a worker whose first run executes `first`, and waits until it parks.
    void StartIdle(uint8_t first = WorkerCode::None) {
        m_state.WorkerCommand = first;
        m_worker.Start();
        ASSERT_TRUE(m_worker.WaitUntilIdle(kGuard));
    }

    WorkerState m_state;
    RunLog m_log;
    std::function<void(uint8_t)> m_body = [](uint8_t) {};
    OperationWorker m_worker{m_state, [this](uint8_t code) {
                                 m_log.Enter(code);
                                 m_body(code);
                                 m_log.Leave();
                             }};
};

TEST_F(WorkerTest, FirstRunExecutesTheCodeInTheSlotThenParksWith255) {
    StartIdle(WorkerCode::DetectQuiet);
    EXPECT_EQ(m_log.Runs(), Codes({7}));
    EXPECT_EQ(m_state.WorkerCommand.load(), WorkerCode::Idle);
    EXPECT_TRUE(m_worker.IsIdle());
    EXPECT_FALSE(m_worker.HasEnded());
}

TEST_F(WorkerTest, CodesWithoutAnOperationRunNothing) {
    for (int code : {0, 11, 128, 254, 255}) {
        WorkerState state;
        std::vector<uint8_t> runs;
        state.WorkerCommand = static_cast<uint8_t>(code);
        OperationWorker worker(state, [&](uint8_t c) { runs.push_back(c); });
        worker.Start();
        ASSERT_TRUE(worker.WaitUntilIdle(kGuard));
        EXPECT_TRUE(worker.Request(static_cast<uint8_t>(code))) << "idle worker accepts " << code;
        ASSERT_TRUE(worker.WaitUntilIdle(kGuard));
        worker.RequestQuit();
        worker.Join();
        EXPECT_TRUE(runs.empty()) << "code " << code;
        EXPECT_EQ(state.WorkerCommand.load(), WorkerCode::Idle) << "code " << code;
    }
}

TEST_F(WorkerTest, EachRequestWhileIdleRunsExactlyOnce) {
    StartIdle();
    for (int code = 1; code <= 10; ++code) {
        ASSERT_TRUE(m_worker.Request(static_cast<uint8_t>(code)));
        ASSERT_TRUE(m_worker.WaitUntilIdle(kGuard));
    }
    EXPECT_EQ(m_log.Runs(), Codes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(m_state.WorkerCommand.load(), WorkerCode::Idle);
}

TEST_F(WorkerTest, RequestBeforeStartIsDropped) {
    EXPECT_FALSE(m_worker.Request(WorkerCode::Erase));
    StartIdle(WorkerCode::DetectQuiet);
    EXPECT_EQ(m_log.Runs(), Codes({7}));
}

TEST_F(WorkerTest, StartingTwiceKeepsOneThread) {
    StartIdle(WorkerCode::DetectQuiet);
    m_worker.Start();
    ASSERT_TRUE(m_worker.Request(WorkerCode::Verify));
    ASSERT_TRUE(m_worker.WaitUntilIdle(kGuard));
    EXPECT_EQ(m_log.Runs(), Codes({7, 4}));
}

TEST_F(WorkerTest, RequestWhileRunningIsDroppedAndKeepsTheRunningCode) {
    Gate gate;
    std::vector<uint8_t> slotSeenAtEnd;
    m_body = [&](uint8_t) {
        gate.Wait();
        slotSeenAtEnd.push_back(m_state.WorkerCommand);
    };
    StartIdle();
    ASSERT_TRUE(m_worker.Request(WorkerCode::ReadChip));
    EXPECT_FALSE(m_worker.IsIdle());
    EXPECT_FALSE(m_worker.Request(WorkerCode::Erase));
    EXPECT_FALSE(m_worker.Request(WorkerCode::Program));
    EXPECT_EQ(m_state.WorkerCommand.load(), WorkerCode::ReadChip);
    gate.Open();
    ASSERT_TRUE(m_worker.WaitUntilIdle(kGuard));
    EXPECT_EQ(m_log.Runs(), Codes({5}));
    EXPECT_EQ(slotSeenAtEnd, Codes({5}));
}

TEST_F(WorkerTest, DeviceChangeDuringACommandOnlyCounts) {
    Gate gate;
    int32_t countSeen = -1;
    bool pendingSeen = false;
    uint8_t slotSeen = 0;
    m_body = [&](uint8_t code) {
        if (code != WorkerCode::Erase) return;
        gate.Wait();
        countSeen = m_state.DeviceChangeCount;
        pendingSeen = m_state.DeviceChangePending;
        slotSeen = m_state.WorkerCommand;
    };
    StartIdle();
    ASSERT_TRUE(m_worker.Request(WorkerCode::Erase));
    m_worker.DeviceChanged();
    m_worker.DeviceChanged();
    gate.Open();
    ASSERT_TRUE(m_worker.WaitUntilIdle(kGuard));
    EXPECT_EQ(countSeen, 2);
    EXPECT_TRUE(pendingSeen);
    EXPECT_EQ(slotSeen, WorkerCode::Erase);
    // Two notices are fewer than 48: the rule clears them without a detection.
    EXPECT_EQ(m_log.Runs(), Codes({2}));
    EXPECT_FALSE(m_state.DeviceChangePending.load());
    EXPECT_EQ(m_state.DeviceChangeCount.load(), 0);
}

TEST_F(WorkerTest, DeviceChangeWhileIdleStartsAQuietDetection) {
    StartIdle();
    m_worker.DeviceChanged();
    ASSERT_TRUE(m_worker.WaitUntilIdle(kGuard));
    EXPECT_EQ(m_log.Runs(), Codes({7}));
    EXPECT_FALSE(m_state.DeviceChangePending.load());
    EXPECT_EQ(m_state.DeviceChangeCount.load(), 0);
    EXPECT_EQ(m_state.WorkerCommand.load(), WorkerCode::Idle);
}

// A burst of notices arrives while the first detection runs (the first notice
// starts it); further notices arrive during the following detections.
TEST(WorkerDeviceChange, BurstsGiveOneOrMoreDetections) {
    struct Row {
        int burst;
        std::vector<int> during;  // notices sent during detection 1, 2, ...
        int detections;
    };
    const std::vector<Row> rows = {
        {1, {}, 1},       {2, {}, 1},          {47, {}, 1},  {48, {}, 2},      {55, {}, 2},
        {63, {}, 2},      {64, {}, 1},         {65, {}, 2},  {79, {}, 2},      {80, {}, 1},
        {81, {}, 2},      {95, {}, 2},         {96, {}, 2},  {112, {}, 1},     {128, {}, 1},
        {40, {10}, 2},    {40, {24}, 1},       {40, {8}, 2}, {60, {0, 20}, 2}, {48, {0, 48}, 3},
        {50, {0, 64}, 2}, {48, {0, 60, 3}, 3},
    };
    for (const Row& row : rows) {
        WorkerState state;
        Gate firstSeenAll;
        int detections = 0;
        OperationWorker* self = nullptr;
        OperationWorker worker(state, [&](uint8_t code) {
            ASSERT_EQ(code, WorkerCode::DetectQuiet);
            ++detections;
            if (detections == 1) firstSeenAll.Wait();
            const size_t k = static_cast<size_t>(detections - 1);
            if (k < row.during.size())
                for (int i = 0; i < row.during[k]; ++i) self->DeviceChanged();
        });
        self = &worker;
        worker.Start();
        ASSERT_TRUE(worker.WaitUntilIdle(kGuard));
        for (int i = 0; i < row.burst; ++i) worker.DeviceChanged();
        firstSeenAll.Open();
        ASSERT_TRUE(worker.WaitUntilIdle(kGuard));
        worker.RequestQuit();
        worker.Join();
        EXPECT_EQ(detections, row.detections) << "burst " << row.burst;
        EXPECT_FALSE(state.DeviceChangePending.load()) << "burst " << row.burst;
        EXPECT_EQ(state.DeviceChangeCount.load(), 0) << "burst " << row.burst;
        EXPECT_EQ(state.WorkerCommand.load(), WorkerCode::Idle) << "burst " << row.burst;
    }
}

TEST(WorkerDeviceChange, NoticesBeforeStartAreCountedByTheFirstRun) {
    WorkerState state;
    int detections = 0;
    OperationWorker worker(state, [&](uint8_t) { ++detections; });
    for (int i = 0; i < 50; ++i) worker.DeviceChanged();
    EXPECT_EQ(state.WorkerCommand.load(), WorkerCode::None);  // not started: nothing stored
    state.WorkerCommand = WorkerCode::DetectQuiet;
    worker.Start();
    ASSERT_TRUE(worker.WaitUntilIdle(kGuard));
    EXPECT_EQ(detections, 2);
}

TEST_F(WorkerTest, ConcurrentRequestsNeverOverlapAndEachAcceptedOneRunsOnce) {
    StartIdle();
    std::atomic<int> accepted{0};
    std::atomic<bool> slotChanged{false};
    m_body = [&](uint8_t code) {
        for (int i = 0; i < 50; ++i)
            if (m_state.WorkerCommand != code) slotChanged = true;
    };
    auto requester = [&](uint8_t base) {
        for (int i = 0; i < 3000; ++i)
            if (m_worker.Request(static_cast<uint8_t>(base + i % 3))) ++accepted;
    };
    std::thread a(requester, uint8_t{1});
    std::thread b(requester, uint8_t{4});
    a.join();
    b.join();
    ASSERT_TRUE(m_worker.WaitUntilIdle(kGuard));
    EXPECT_FALSE(m_log.overlapped());
    EXPECT_FALSE(slotChanged.load());
    EXPECT_GT(accepted.load(), 0);
    EXPECT_EQ(m_log.Runs().size(), static_cast<size_t>(accepted.load()));
    EXPECT_EQ(m_state.WorkerCommand.load(), WorkerCode::Idle);
}

TEST_F(WorkerTest, DeviceChangesRacingWithRequestsNeverOverlapAndEndSettled) {
    StartIdle();
    std::atomic<int> accepted{0};
    std::thread requester([&] {
        for (int i = 0; i < 2000; ++i)
            if (m_worker.Request(WorkerCode::Verify)) ++accepted;
    });
    std::thread notifier([&] {
        for (int i = 0; i < 2000; ++i) m_worker.DeviceChanged();
    });
    requester.join();
    notifier.join();
    ASSERT_TRUE(m_worker.WaitUntilIdle(kGuard));
    EXPECT_FALSE(m_log.overlapped());
    int verifies = 0, detections = 0;
    for (uint8_t code : m_log.Runs()) {
        if (code == WorkerCode::Verify)
            ++verifies;
        else if (code == WorkerCode::DetectQuiet)
            ++detections;
        else
            ADD_FAILURE() << "unexpected code " << int(code);
    }
    EXPECT_EQ(verifies, accepted.load());
    // Every notice was either covered by the rule or started a detection that ran it.
    EXPECT_FALSE(m_state.DeviceChangePending.load());
    EXPECT_EQ(m_state.DeviceChangeCount.load(), 0);
    // Settled: one more notice gives exactly one more detection.
    m_worker.DeviceChanged();
    ASSERT_TRUE(m_worker.WaitUntilIdle(kGuard));
    const auto runs = m_log.Runs();
    EXPECT_EQ(runs.size(), static_cast<size_t>(verifies + detections + 1));
    EXPECT_EQ(runs.back(), WorkerCode::DetectQuiet);
}

TEST_F(WorkerTest, QuitWhileIdleEndsWithoutRunningACommand) {
    StartIdle();
    m_worker.RequestQuit();
    m_worker.Join();
    EXPECT_TRUE(m_worker.HasEnded());
    EXPECT_FALSE(m_worker.IsIdle());
    EXPECT_TRUE(m_log.Runs().empty());
    EXPECT_EQ(m_state.QuitRequested.load(), 1);
    EXPECT_FALSE(m_worker.Request(WorkerCode::Erase));
    m_worker.DeviceChanged();  // counted, but starts nothing
    EXPECT_TRUE(m_log.Runs().empty());
}

TEST_F(WorkerTest, QuitWhileRunningEndsAfterTheCommand) {
    Gate entered, gate;
    std::atomic<bool> finished{false};
    m_body = [&](uint8_t) {
        entered.Open();
        gate.Wait();
        finished = true;
    };
    StartIdle();
    ASSERT_TRUE(m_worker.Request(WorkerCode::Program));
    ASSERT_TRUE(entered.Wait());
    m_worker.RequestQuit();
    EXPECT_FALSE(m_worker.HasEnded());
    gate.Open();
    m_worker.Join();
    EXPECT_TRUE(finished.load());
    EXPECT_TRUE(m_worker.HasEnded());
    EXPECT_EQ(m_log.Runs(), Codes({3}));
}

TEST_F(WorkerTest, QuitWinsOverAPendingSecondDetection) {
    Gate entered, gate;
    m_body = [&](uint8_t) {
        entered.Open();
        gate.Wait();
    };
    StartIdle();
    for (int i = 0; i < 50; ++i) m_worker.DeviceChanged();
    ASSERT_TRUE(entered.Wait());  // the first detection runs
    m_worker.RequestQuit();
    gate.Open();
    m_worker.Join();
    EXPECT_EQ(m_log.Runs(), Codes({7}));
}

TEST_F(WorkerTest, QuitBeforeStartRunsNothing) {
    m_state.WorkerCommand = WorkerCode::DetectQuiet;
    m_worker.RequestQuit();
    m_worker.Start();
    m_worker.Join();
    EXPECT_TRUE(m_worker.HasEnded());
    EXPECT_TRUE(m_log.Runs().empty());
}

TEST(WorkerLifetime, DestructionWaitsForTheRunningCommand) {
    WorkerState state;
    Gate entered, release;
    std::atomic<bool> finished{false};
    std::thread opener;
    {
        OperationWorker worker(state, [&](uint8_t) {
            entered.Open();
            release.Wait();
            finished = true;
        });
        state.WorkerCommand = WorkerCode::Erase;
        worker.Start();
        ASSERT_TRUE(entered.Wait());
        opener = std::thread([&] { release.Open(); });
    }  // the destructor returns only after the command has finished
    EXPECT_TRUE(finished.load());
    opener.join();
    EXPECT_EQ(state.QuitRequested.load(), 1);
}

TEST(WorkerLifetime, DestructionOfAnIdleOrUnstartedWorkerReturns) {
    WorkerState state;
    {
        OperationWorker unstarted(state, [](uint8_t) {});
    }
    int runs = 0;
    {
        OperationWorker idle(state, [&](uint8_t) { ++runs; });
        state.QuitRequested = 0;
        state.WorkerCommand = WorkerCode::Erase;
        idle.Start();
        ASSERT_TRUE(idle.WaitUntilIdle(kGuard));
    }
    EXPECT_EQ(runs, 1);
}

}  // namespace
