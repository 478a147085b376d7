#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "FakeDriver.h"
#include "RecordingCheckObserver.h"
#include "device/ChipModel.h"
#include "device/Device.h"

namespace {

using Calls = std::vector<std::string>;

const Calls kFullCheck = {"QuovixEnum()",
                          "QuovixOpen(0)",
                          "QuovixUsbSelfTest(7)",
                          "QuovixSetFlashInfo(7,5,0)",
                          "QuovixSetWriteTime(7,5)",
                          "QuovixGetFlashInfo(7)"};

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        driver.SetChipSize(1048576);
        model.ApplyChipModel(kDefaultChipModelRow);
    }
    void TearDown() override {
        EXPECT_EQ(driver.CallCount(FakeEntry::SetBP1), 0);
        EXPECT_TRUE(driver.Violations().empty()) << ::testing::PrintToString(driver.Violations());
    }
    // Builds the device after the test shaped the driver table.
    Device& MakeDevice() {
        device = std::make_unique<Device>(driver.Api(), model);
        device->SetObserver(&checks);
        return *device;
    }

    FakeDriver driver;
    EventLog log;
    RecordingCheckObserver checks{log};
    ChipModelSelection model;
    std::unique_ptr<Device> device;
};

TEST_F(DeviceTest, CheckDeviceRunsTheConnectionStepsInOrderAndStaysOpen) {
    Device& d = MakeDevice();
    EXPECT_EQ(d.CheckDevice(), 2);
    EXPECT_EQ(driver.CallTexts(), kFullCheck);
    EXPECT_EQ(d.handle(), 7);
}

// The command line's --all: a connection opens the programmer of its index, and
// only when the driver counts that many.
TEST_F(DeviceTest, AConnectionOpensTheProgrammerOfItsIndex) {
    struct Row {
        int32_t attached;
        int32_t index;
        int expectedState;
        std::vector<std::string> firstCalls;
    };
    const Row rows[] = {
        {3, 2, ChipReady, {"QuovixEnum()", "QuovixOpen(2)"}},
        {2, 2, NoProgrammer, {"QuovixEnum()"}},
        {1, 0, ChipReady, {"QuovixEnum()", "QuovixOpen(0)"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.index);
        driver.ClearCalls();
        driver.SetResult(FakeEntry::Enum, row.attached);
        Device& d = MakeDevice();
        d.SetIndex(row.index);
        EXPECT_EQ(d.CheckDevice(), row.expectedState);
        const std::vector<std::string> calls = driver.CallTexts();
        ASSERT_GE(calls.size(), row.firstCalls.size());
        EXPECT_EQ(
            std::vector<std::string>(calls.begin(), calls.begin() + static_cast<long>(row.firstCalls.size())),
            row.firstCalls);
        d.CloseDevice();
    }
}

struct StepCase {
    const char* name;
    std::function<void(FakeDriver&)> setup;
    int state;
    Calls calls;
    int32_t handleAfter;
};

void PrintTo(const StepCase& c, std::ostream* os) {
    *os << c.name;
}

class CheckDeviceStepTest : public DeviceTest, public ::testing::WithParamInterface<StepCase> {};

TEST_P(CheckDeviceStepTest, StopsAtTheFirstFailedStep) {
    const StepCase& c = GetParam();
    c.setup(driver);
    Device& d = MakeDevice();
    EXPECT_EQ(d.CheckDevice(), c.state);
    EXPECT_EQ(driver.CallTexts(), c.calls);
    EXPECT_EQ(d.handle(), c.handleAfter);
    EXPECT_EQ(log.Events(), (Calls{"check-start", "check-end:" + std::to_string(c.state)}));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CheckDeviceStepTest,
    ::testing::Values(
        StepCase{
            "NoProgrammer", [](FakeDriver& f) { f.SetResult(FakeEntry::Enum, 0); }, 0, {"QuovixEnum()"}, 0},
        StepCase{
            "NegativeCount", [](FakeDriver& f) { f.SetResult(FakeEntry::Enum, -1); }, 0, {"QuovixEnum()"}, 0},
        StepCase{"OpenFails",
                 [](FakeDriver& f) { f.SetOpenHandle(-3); },
                 0,
                 {"QuovixEnum()", "QuovixOpen(0)"},
                 -3},
        StepCase{"SelfTestFails",
                 [](FakeDriver& f) { f.SetResult(FakeEntry::UsbSelfTest, 0); },
                 0,
                 {"QuovixEnum()", "QuovixOpen(0)", "QuovixUsbSelfTest(7)"},
                 7},
        StepCase{"SetFlashInfoFails",
                 [](FakeDriver& f) { f.SetResult(FakeEntry::SetFlashInfo, 0); },
                 1,
                 {"QuovixEnum()", "QuovixOpen(0)", "QuovixUsbSelfTest(7)", "QuovixSetFlashInfo(7,5,0)"},
                 7},
        StepCase{"SetWriteTimeFails",
                 [](FakeDriver& f) { f.SetResult(FakeEntry::SetWriteTime, 0); },
                 1,
                 {"QuovixEnum()", "QuovixOpen(0)", "QuovixUsbSelfTest(7)", "QuovixSetFlashInfo(7,5,0)",
                  "QuovixSetWriteTime(7,5)"},
                 7},
        StepCase{"GetFlashInfoFailsStillReady",
                 [](FakeDriver& f) { f.SetResult(FakeEntry::GetFlashInfo, 0); }, 2, kFullCheck, 7}),
    [](const auto& info) { return std::string(info.param.name); });

// A missing entry point is a failed call; the table never calls through null.
class MissingEntryTest : public DeviceTest, public ::testing::WithParamInterface<StepCase> {};

TEST_P(MissingEntryTest, CountsAsAFailedCall) {
    const StepCase& c = GetParam();
    c.setup(driver);
    Device& d = MakeDevice();
    EXPECT_EQ(d.CheckDevice(), c.state);
    EXPECT_EQ(driver.CallTexts(), c.calls);
    EXPECT_EQ(d.handle(), c.handleAfter);
    EXPECT_EQ(model.ChipCapacity(), 1048576u);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, MissingEntryTest,
    ::testing::Values(
        StepCase{"Enum", [](FakeDriver& f) { f.Remove(FakeEntry::Enum); }, 0, {}, 0},
        StepCase{"Open", [](FakeDriver& f) { f.Remove(FakeEntry::Open); }, 0, {"QuovixEnum()"}, 0},
        StepCase{"UsbSelfTest",
                 [](FakeDriver& f) { f.Remove(FakeEntry::UsbSelfTest); },
                 0,
                 {"QuovixEnum()", "QuovixOpen(0)"},
                 7},
        StepCase{"SetFlashInfo",
                 [](FakeDriver& f) { f.Remove(FakeEntry::SetFlashInfo); },
                 1,
                 {"QuovixEnum()", "QuovixOpen(0)", "QuovixUsbSelfTest(7)"},
                 7},
        StepCase{"SetWriteTime",
                 [](FakeDriver& f) { f.Remove(FakeEntry::SetWriteTime); },
                 1,
                 {"QuovixEnum()", "QuovixOpen(0)", "QuovixUsbSelfTest(7)", "QuovixSetFlashInfo(7,5,0)"},
                 7},
        StepCase{"GetFlashInfo",
                 [](FakeDriver& f) {
                     f.Remove(FakeEntry::GetFlashInfo);
                     f.SetChipSize(131072);
                 },
                 2,
                 {"QuovixEnum()", "QuovixOpen(0)", "QuovixUsbSelfTest(7)", "QuovixSetFlashInfo(7,5,0)",
                  "QuovixSetWriteTime(7,5)"},
                 7}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceTest, MissingTransferAndEraseEntriesFailWithoutACall) {
    driver.Remove(FakeEntry::Program);
    driver.Remove(FakeEntry::Read);
    driver.Remove(FakeEntry::InitFlash);
    driver.Remove(FakeEntry::Close);
    Device& d = MakeDevice();
    ASSERT_EQ(d.CheckDevice(), 2);
    uint8_t buffer[16] = {};
    EXPECT_EQ(d.Program(buffer, 16, 0), -1);
    EXPECT_EQ(d.Read(buffer, 16, 0), -1);
    EXPECT_FALSE(d.InitFlash());
    d.CloseDevice();
    EXPECT_EQ(d.handle(), 0);
    EXPECT_EQ(driver.CallTexts(), kFullCheck);
}

TEST_F(DeviceTest, NegativeHandleIsClosedOnceThenForgotten) {
    driver.SetOpenHandle(-3);
    Device& d = MakeDevice();
    EXPECT_EQ(d.CheckDevice(), 0);
    EXPECT_EQ(d.handle(), -3);
    d.CloseDevice();
    d.CloseDevice();
    EXPECT_EQ(driver.CallTexts(FakeEntry::Close), Calls{"QuovixClose(-3)"});
    EXPECT_EQ(d.handle(), 0);
}

TEST_F(DeviceTest, ScriptedResultsAreUsedInOrderThenTheDefault) {
    driver.QueueResults(FakeEntry::Enum, {0, -1});
    Device& d = MakeDevice();
    EXPECT_EQ(d.CheckDevice(), 0);
    EXPECT_EQ(d.CheckDevice(), 0);
    EXPECT_EQ(d.CheckDevice(), 2);
    EXPECT_EQ(driver.CallCount(FakeEntry::Enum), 3);
    EXPECT_EQ(driver.CallCount(FakeEntry::Open), 1);
}

TEST_F(DeviceTest, CloseWithoutConnectionCallsNothing) {
    Device& d = MakeDevice();
    d.CloseDevice();
    EXPECT_TRUE(driver.CallTexts().empty());
}

TEST_F(DeviceTest, CheckClosesAnOpenConnectionFirst) {
    Device& d = MakeDevice();
    ASSERT_EQ(d.CheckDevice(), 2);
    driver.ClearCalls();
    ASSERT_EQ(d.CheckDevice(), 2);
    Calls expected = {"QuovixClose(7)"};
    expected.insert(expected.end(), kFullCheck.begin(), kFullCheck.end());
    EXPECT_EQ(driver.CallTexts(), expected);
}

struct QueryCase {
    const char* name;
    int32_t kind;
    int32_t code;
    bool callSucceeds;
    int row;  // -2: the selection stays as it was
    uint32_t capacity;
};

void PrintTo(const QueryCase& c, std::ostream* os) {
    *os << c.name;
}

class QueryChipTest : public DeviceTest, public ::testing::WithParamInterface<QueryCase> {};

TEST_P(QueryChipTest, SelectsTheRowOfAUsableAnswerAndReportsTheCheck) {
    const QueryCase& c = GetParam();
    driver.SetChipInfo(c.kind, c.code);
    if (!c.callSucceeds) driver.SetResult(FakeEntry::GetFlashInfo, 0);
    Device& d = MakeDevice();
    ASSERT_EQ(d.CheckDevice(), 2);
    EXPECT_EQ(model.ChipCapacity(), c.capacity);
    if (c.row == -2) {
        EXPECT_EQ(log.Events(), (Calls{"check-start", "check-end:2"}));
        EXPECT_EQ(model.row(), kDefaultChipModelRow);
    } else {
        EXPECT_EQ(log.Events(), (Calls{"check-start", "check-row:" + std::to_string(c.row), "check-end:2"}));
        EXPECT_EQ(model.row(), c.row);
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, QueryChipTest,
                         ::testing::Values(QueryCase{"Code16", 5, 16, true, 0, 131072},
                                           QueryCase{"Code18", 5, 18, true, 2, 524288},
                                           QueryCase{"Code22", 5, 22, true, 6, 8388608},
                                           QueryCase{"Code23", 5, 23, true, 7, 16777216},
                                           QueryCase{"Code24", 5, 24, true, 8, 33554432},
                                           QueryCase{"OnlyLowByteCounts", 5, 0x7712, true, 2, 524288},
                                           QueryCase{"NegativeCodeLowByte", 5, -238, true, 2, 524288},
                                           QueryCase{"Code15", 5, 15, true, -2, 1048576},
                                           QueryCase{"Code25", 5, 25, true, 9, 67108864},
                                           QueryCase{"Code26", 5, 26, true, 10, 134217728},
                                           QueryCase{"Code27AboveTheLargestRow", 5, 27, true, -2, 1048576},
                                           QueryCase{"Kind4", 4, 18, true, -2, 1048576},
                                           QueryCase{"Kind0", 0, 18, true, -2, 1048576},
                                           QueryCase{"CallFails", 5, 18, false, -2, 1048576}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceTest, TransfersPassTheAddressInDoneAndReturnWhatTheDriverReports) {
    driver.SetChipSize(1048576, 0xA5);
    driver.ReportOnCall(FakeEntry::Read, 2, 100);
    Device& d = MakeDevice();
    ASSERT_EQ(d.CheckDevice(), 2);
    std::vector<uint8_t> buffer(8192);
    EXPECT_EQ(d.Read(buffer.data(), 8192, 4096), 8192);
    EXPECT_EQ(buffer[0], 0xA5);
    EXPECT_EQ(d.Read(buffer.data(), 8192, 8192), 100);
    driver.FailCall(FakeEntry::Read, 3);
    EXPECT_EQ(d.Read(buffer.data(), 8192, 0), -1);
    std::vector<uint8_t> data(300, 0x05);
    EXPECT_EQ(d.Program(data.data(), 300, 512), 300);
    EXPECT_EQ(driver.Chip()[512], 0x05);
    EXPECT_EQ(d.Program(data.data(), 300, 512), 300);
    data.assign(300, 0x0F);  // would need bits set again: the part refuses
    EXPECT_EQ(d.Program(data.data(), 300, 512), -1);
    EXPECT_EQ(driver.CallTexts(FakeEntry::Program),
              (Calls{"QuovixProgram(7,300,512)", "QuovixProgram(7,300,512)", "QuovixProgram(7,300,512)"}));
    // Violations (done not holding the address) are checked in TearDown.
}

}  // namespace
