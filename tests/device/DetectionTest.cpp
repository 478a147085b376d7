#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FakeDriver.h"
#include "RecordingCheckObserver.h"
#include "RecordingPorts.h"
#include "device/ChipModel.h"
#include "device/Detection.h"
#include "device/Device.h"

namespace {

using Lines = std::vector<std::string>;

struct DetectCase {
    const char* name;
    std::function<void(FakeDriver&)> setup;
    int state;
    Lines calls;
    Lines modelEvents;  // the row the check selected
    Lines quiet;        // status line of the quiet detection
    Lines loud;         // status line and box of the detection with a box
};

void PrintTo(const DetectCase& c, std::ostream* os) {
    *os << c.name;
}

const Lines kReadyCalls = {"QuovixEnum()",
                           "QuovixOpen(0)",
                           "QuovixUsbSelfTest(7)",
                           "QuovixSetFlashInfo(7,5,0)",
                           "QuovixSetWriteTime(7,5)",
                           "QuovixGetFlashInfo(7)",
                           "QuovixClose(7)"};

const DetectCase kCases[] = {
    {"NoProgrammer",
     [](FakeDriver& f) { f.SetResult(FakeEntry::Enum, 0); },
     0,
     {"QuovixEnum()"},
     {},
     {"status:设备未连接...|alert|beep"},
     {"status:设备未连接...|alert", "box:提示|exclamation|设备未连接!    "}},
    {"OpenReturnsNegativeHandle",
     [](FakeDriver& f) { f.SetOpenHandle(-2); },
     0,
     {"QuovixEnum()", "QuovixOpen(0)", "QuovixClose(-2)"},
     {},
     {"status:设备未连接...|alert|beep"},
     {"status:设备未连接...|alert", "box:提示|exclamation|设备未连接!    "}},
    {"SelfTestFails",
     [](FakeDriver& f) { f.SetResult(FakeEntry::UsbSelfTest, 0); },
     0,
     {"QuovixEnum()", "QuovixOpen(0)", "QuovixUsbSelfTest(7)", "QuovixClose(7)"},
     {},
     {"status:设备未连接...|alert|beep"},
     {"status:设备未连接...|alert", "box:提示|exclamation|设备未连接!    "}},
    {"NoChip",
     [](FakeDriver& f) { f.SetResult(FakeEntry::SetFlashInfo, 0); },
     1,
     {"QuovixEnum()", "QuovixOpen(0)", "QuovixUsbSelfTest(7)", "QuovixSetFlashInfo(7,5,0)", "QuovixClose(7)"},
     {},
     {"status:设备已连接,未检测到芯片...|alert|beep"},
     {"status:设备已连接,未检测到芯片...|alert", "box:提示|exclamation|设备已连接,未检测到芯片!    "}},
    {"WriteTimeFails",
     [](FakeDriver& f) { f.SetResult(FakeEntry::SetWriteTime, 0); },
     1,
     {"QuovixEnum()", "QuovixOpen(0)", "QuovixUsbSelfTest(7)", "QuovixSetFlashInfo(7,5,0)",
      "QuovixSetWriteTime(7,5)", "QuovixClose(7)"},
     {},
     {"status:设备已连接,未检测到芯片...|alert|beep"},
     {"status:设备已连接,未检测到芯片...|alert", "box:提示|exclamation|设备已连接,未检测到芯片!    "}},
    {"Code18Selects25X40",
     [](FakeDriver& f) { f.SetChipInfo(5, 18); },
     2,
     kReadyCalls,
     {"check-row:2"},
     {"status:设备已连接，检测到512KB芯片"},
     {"status:设备已连接，检测到512KB芯片   ",
      "box:芯片信息|information|设备已连接，并检测到芯片     \r\n芯片容量:512KB (4Mbits)"}},
    {"OtherKindKeepsTheUsersModel",
     [](FakeDriver& f) { f.SetChipInfo(3, 18); },
     2,
     kReadyCalls,
     {},
     {"status:设备已连接，检测到1MB芯片"},
     {"status:设备已连接，检测到1MB芯片   ",
      "box:芯片信息|information|设备已连接，并检测到芯片     \r\n芯片容量:1MB (8Mbits)"}},
    {"Code23Selects25X128",
     [](FakeDriver& f) { f.SetChipInfo(5, 23); },
     2,
     kReadyCalls,
     {"check-row:7"},
     {"status:设备已连接，检测到16MB芯片"},
     {"status:设备已连接，检测到16MB芯片   ",
      "box:芯片信息|information|设备已连接，并检测到芯片     \r\n芯片容量:16MB (128Mbits)"}},
    {"Code24Selects25X256",
     [](FakeDriver& f) { f.SetChipInfo(5, 24); },
     2,
     kReadyCalls,
     {"check-row:8"},
     {"status:设备已连接，检测到32MB芯片"},
     {"status:设备已连接，检测到32MB芯片   ",
      "box:芯片信息|information|设备已连接，并检测到芯片     \r\n芯片容量:32MB (256Mbits)"}},
    {"Code16Selects25X10",
     [](FakeDriver& f) { f.SetChipInfo(5, 16); },
     2,
     kReadyCalls,
     {"check-row:0"},
     {"status:设备已连接，检测到128KB芯片"},
     {"status:设备已连接，检测到128KB芯片   ",
      "box:芯片信息|information|设备已连接，并检测到芯片     \r\n芯片容量:128KB (1Mbits)"}},
    {"FailedQueryStillReady",
     [](FakeDriver& f) {
         f.SetChipInfo(5, 18);
         f.SetResult(FakeEntry::GetFlashInfo, 0);
     },
     2,
     kReadyCalls,
     {},
     {"status:设备已连接，检测到1MB芯片"},
     {"status:设备已连接，检测到1MB芯片   ",
      "box:芯片信息|information|设备已连接，并检测到芯片     \r\n芯片容量:1MB (8Mbits)"}},
};

class DetectionTest : public ::testing::TestWithParam<DetectCase> {
protected:
    void SetUp() override { model.ApplyChipModel(kDefaultChipModelRow); }
    void TearDown() override {
        EXPECT_EQ(driver.CallCount(FakeEntry::SetBP1), 0);
        EXPECT_TRUE(driver.Violations().empty()) << ::testing::PrintToString(driver.Violations());
    }
    Detection& Make() {
        device = std::make_unique<Device>(driver.Api(), model);
        device->SetObserver(&checks);
        detection = std::make_unique<Detection>(*device, model, status, boxes);
        return *detection;
    }
    // What the user sees (status line and boxes) and what the check reported.
    Lines Seen(const std::vector<std::string>& prefixes) const {
        Lines out;
        for (const auto& e : log.Events())
            for (const auto& p : prefixes)
                if (e.rfind(p, 0) == 0) out.push_back(e);
        return out;
    }

    FakeDriver driver;
    EventLog log;
    RecordingStatusLine status{log};
    ScriptedMessageBoxes boxes{log};
    RecordingCheckObserver checks{log};
    ChipModelSelection model;
    std::unique_ptr<Device> device;
    std::unique_ptr<Detection> detection;
};

TEST_P(DetectionTest, Quiet) {
    const DetectCase& c = GetParam();
    c.setup(driver);
    EXPECT_EQ(Make().DetectQuiet(), c.state);
    EXPECT_EQ(driver.CallTexts(), c.calls);
    // The whole check is reported before the status line.
    Lines expected = {"check-start"};
    expected.insert(expected.end(), c.modelEvents.begin(), c.modelEvents.end());
    expected.push_back("check-identity:none");  // the fake programmer cannot tell
    expected.push_back("check-end:" + std::to_string(c.state));
    expected.insert(expected.end(), c.quiet.begin(), c.quiet.end());
    EXPECT_EQ(Seen({"check-", "status:", "box:"}), expected);
    EXPECT_EQ(device->handle(), 0);
}

TEST_P(DetectionTest, WithMessage) {
    const DetectCase& c = GetParam();
    c.setup(driver);
    EXPECT_EQ(Make().DetectWithMessage(), c.state);
    EXPECT_EQ(driver.CallTexts(), c.calls);
    EXPECT_EQ(Seen({"check-row:"}), c.modelEvents);
    EXPECT_EQ(Seen({"status:", "box:"}), c.loud);
    EXPECT_EQ(device->handle(), 0);
}

INSTANTIATE_TEST_SUITE_P(States, DetectionTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

class DetectionOrderTest : public DetectionTest {};

TEST_F(DetectionOrderTest, TheConnectionIsClosedBeforeTheReport) {
    driver.SetChipInfo(5, 18);
    bool closedBeforeReport = false;
    Make();
    driver.SetHook([&](const FakeCall& call) {
        if (call.entry == FakeEntry::Close) closedBeforeReport = log.With("status:").empty();
    });
    detection->DetectWithMessage();
    EXPECT_TRUE(closedBeforeReport);
}

TEST_F(DetectionOrderTest, AnOpenConnectionIsClosedBeforeDetecting) {
    Make();
    ASSERT_EQ(device->CheckDevice(), 2);
    driver.ClearCalls();
    detection->DetectQuiet();
    ASSERT_FALSE(driver.CallTexts().empty());
    EXPECT_EQ(driver.CallTexts().front(), "QuovixClose(7)");
    EXPECT_EQ(driver.CallCount(FakeEntry::Close), 2);
}

TEST_F(DetectionOrderTest, MissingEnumMeansNoProgrammer) {
    driver.Remove(FakeEntry::Enum);
    EXPECT_EQ(Make().DetectQuiet(), 0);
    EXPECT_TRUE(driver.CallTexts().empty());
    EXPECT_EQ(Seen({"status:"}), Lines{"status:设备未连接...|alert|beep"});
}

TEST_F(DetectionOrderTest, AProgrammerWithoutAccessIsToldOnceInABox) {
    driver.SetResult(FakeEntry::Open, -1);
    driver.SetFailureReason(VELMOR_REASON_ACCESS_DENIED);
    Make();
    EXPECT_EQ(detection->DetectQuiet(), 0);
    EXPECT_EQ(detection->DetectWithMessage(), 0);
    EXPECT_EQ(
        Seen({"status:", "box:"}),
        (Lines{"box:提示|exclamation|找到编程器，但没有权限打开它！\r\n请运行 scripts/install-udev-rule.sh "
               "安装 udev 规则，然后重新插入编程器。    ",
               "status:设备未连接...|alert|beep", "status:设备未连接...|alert",
               "box:提示|exclamation|设备未连接!    "}));
}

TEST_F(DetectionOrderTest, AProgrammerThatFailsForAnotherCauseGetsNoAccessBox) {
    driver.SetResult(FakeEntry::Open, -1);
    EXPECT_EQ(Make().DetectQuiet(), 0);
    EXPECT_EQ(Seen({"status:", "box:"}), Lines{"status:设备未连接...|alert|beep"});
}

}  // namespace
