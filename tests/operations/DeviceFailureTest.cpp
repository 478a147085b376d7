#include "OperationFixture.h"

namespace {

struct FailureCase {
    const char* name;
    uint8_t code;
    bool noChip;  // else no programmer
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class DeviceFailureTest : public OperationFixture, public ::testing::WithParamInterface<FailureCase> {};

// Every command that needs the chip reports a missing programmer or chip the
// same way, releases the connection and touches neither the chip nor the files.
TEST_P(DeviceFailureTest, ReportsClosesAndTouchesNothing) {
    const FailureCase& c = GetParam();
    if (c.noChip)
        driver.SetResult(FakeEntry::SetFlashInfo, 0);
    else
        driver.SetResult(FakeEntry::Enum, 0);
    LoadImage(Pattern(100));
    dir.Write("h_alor0.dll", {1, 2, 3});

    EXPECT_FALSE(Run(c.code));

    Lines expected = c.noChip
                         ? Lines{"status:设备已连接,未检测到芯片...|alert|beep",
                                 "box:提示|exclamation|设备已连接,未检测到芯片!   "}
                         : Lines{"status:设备未连接...|alert|beep", "box:提示|exclamation|设备未连接！    "};
    if (c.code == WorkerCode::Program) expected.push_back("hide-progress");
    EXPECT_EQ(Seen(), expected);

    Lines calls = c.noChip ? Lines{"QuovixEnum()", "QuovixOpen(0)", "QuovixUsbSelfTest(7)",
                                   "QuovixSetFlashInfo(7,5,0)", "QuovixClose(7)"}
                           : Lines{"QuovixEnum()"};
    EXPECT_EQ(driver.CallTexts(), calls);
    EXPECT_EQ(dir.Read("h_alor0.dll"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(BusyAt(FakeEntry::Enum), Lines{""});
}

INSTANTIATE_TEST_SUITE_P(Commands, DeviceFailureTest,
                         ::testing::Values(FailureCase{"AutoNoProgrammer", WorkerCode::Auto, false},
                                           FailureCase{"AutoNoChip", WorkerCode::Auto, true},
                                           FailureCase{"EraseNoProgrammer", WorkerCode::Erase, false},
                                           FailureCase{"EraseNoChip", WorkerCode::Erase, true},
                                           FailureCase{"ProgramNoProgrammer", WorkerCode::Program, false},
                                           FailureCase{"ProgramNoChip", WorkerCode::Program, true},
                                           FailureCase{"VerifyNoProgrammer", WorkerCode::Verify, false},
                                           FailureCase{"VerifyNoChip", WorkerCode::Verify, true},
                                           FailureCase{"ReadNoProgrammer", WorkerCode::ReadChip, false},
                                           FailureCase{"ReadNoChip", WorkerCode::ReadChip, true},
                                           FailureCase{"BlankCheckNoProgrammer", WorkerCode::BlankCheck,
                                                       false},
                                           FailureCase{"BlankCheckNoChip", WorkerCode::BlankCheck, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
