// End-to-end runs of the operations on the worker against the real driver
// library and its simulated programmer (a 25X10 chip, no delays).

#include "OperationFixture.h"

#include <filesystem>
#include <fstream>

#include "platform/DriverLibrary.h"

namespace {

class RealDriverTest : public OperationFixture {
protected:
    void SetUp() override {
        m_previous = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
        Configure("");
        ASSERT_TRUE(m_library.LoadFrom(VELMOR_LIBRARY_PATH)) << VELMOR_LIBRARY_PATH;
        device->SetApi(m_library.Bind());
    }
    void TearDown() override {
        OperationFixture::TearDown();
        device->SetApi(DriverApi{});
        m_library.Unload();
        std::filesystem::current_path(m_previous);
    }
    // The simulator reads its set-up at every open; `extra` adds or overrides lines.
    void Configure(const std::string& extra) {
        std::ofstream(dir.file("velmor-sim.conf"))
            << "backend = simulator\nchip = 25X10\nblock_delay_ms = 0\nerase_ms = 0\n"
            << extra;
    }

private:
    std::filesystem::path m_previous;
    DriverLibrary m_library;
};

TEST_F(RealDriverTest, DetectionFindsTheSimulatedChip) {
    EXPECT_TRUE(Run(WorkerCode::DetectWithMessage));
    EXPECT_EQ(Seen(),
              (Lines{"status:设备已连接，检测到128KB芯片   ",
                     "box:芯片信息|information|设备已连接，并检测到芯片     \r\n芯片容量:128KB (1Mbits)"}));
    EXPECT_EQ(model.ChipCapacity(), kChip);
}

TEST_F(RealDriverTest, AutoSequenceThenReadBackGivesTheImage) {
    const auto file = Pattern(50000);
    LoadImage(file);
    EXPECT_TRUE(Run(WorkerCode::Auto));
    EXPECT_EQ(log.With("status:").back(), "status:自动擦除、烧录、校验成功...");
    EXPECT_EQ(log.With("wave:"), (Lines{"wave:sound/del.wav", "wave:sound/finishsound.wav"}));

    log.Clear();
    Run(WorkerCode::ReadChip);
    EXPECT_EQ(log.With("status:"), Lines{"status:芯片读取成功..."});
    const auto chip = dir.Read("h_alor0.dll");
    ASSERT_EQ(chip.size(), kChip);
    EXPECT_TRUE(std::equal(file.begin(), file.end(), chip.begin()));
    EXPECT_TRUE(std::all_of(chip.begin() + 50000, chip.end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST_F(RealDriverTest, ProgramWithoutEraseOverOldDataAsksForAnErase) {
    LoadImage(Pattern(20000, 1));
    ASSERT_TRUE(Run(WorkerCode::Auto));
    LoadImage(Pattern(20000, 2));
    EXPECT_FALSE(Run(WorkerCode::Program));
    EXPECT_EQ(status.lastText(), "烧录失败，请先擦除芯片...");
    EXPECT_FALSE(Run(WorkerCode::BlankCheck));
    EXPECT_EQ(status.lastText(), "芯片不为空!");
    EXPECT_TRUE(Run(WorkerCode::Erase));
    EXPECT_TRUE(Run(WorkerCode::BlankCheck));
    EXPECT_EQ(status.lastText(), "芯片为空...");
}

TEST_F(RealDriverTest, VerifyFindsADifferenceInTheSecondBlock) {
    auto file = Pattern(20000);
    LoadImage(file);
    ASSERT_TRUE(Run(WorkerCode::Auto));
    file[9000] ^= 0x40;
    LoadImage(file);
    boxes.QueueAnswer(MessageAnswer::Yes);
    log.Clear();
    EXPECT_FALSE(Run(WorkerCode::Verify));
    ASSERT_EQ(log.With("box:").size(), 2u);
    EXPECT_EQ(log.With("box:")[0].rfind("box:错误 |exclamation|2328H处错误! ", 0), 0u);
    EXPECT_EQ(status.lastText(), "校验结束，共1个错误...");
}

// Reads that deliver half a block: the last request crosses the chip's end and
// brings what lies before it, so a full-chip image verifies.
TEST_F(RealDriverTest, ShortReadsVerifyAFullChipImage) {
    const auto file = Pattern(kChip, 3);
    LoadImage(file);
    ASSERT_TRUE(Run(WorkerCode::Auto));
    Configure("short_read = 4096\n");
    log.Clear();
    EXPECT_TRUE(Run(WorkerCode::Verify));
    EXPECT_EQ(status.lastText(), "校验成功...");
}

struct FaultCase {
    const char* name;
    const char* config;
    uint8_t code;
    const char* status;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class RealDriverFaultTest : public RealDriverTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(RealDriverFaultTest, ReportsTheFailure) {
    const FaultCase& c = GetParam();
    LoadImage(Pattern(40000));
    Configure(c.config);
    Run(c.code);
    EXPECT_EQ(status.lastText(), c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RealDriverFaultTest,
    ::testing::Values(
        FaultCase{"NoProgrammer", "programmer = absent\n", WorkerCode::Program, "设备未连接..."},
        FaultCase{"SelfTestFails", "self_test = fail\n", WorkerCode::BlankCheck, "设备未连接..."},
        FaultCase{"NoChip", "chip = absent\n", WorkerCode::Verify, "设备已连接,未检测到芯片..."},
        FaultCase{"LaterProgramCallFails", "fail_program_call = 3\n", WorkerCode::Program,
                  "烧录失败，请检查设备连接和芯片容量..."},
        FaultCase{"ProgramReportsZero", "report_zero = program\n", WorkerCode::Program,
                  "烧录失败，请先擦除芯片..."},
        FaultCase{"ProgramReportsExtra", "report_extra = program\n", WorkerCode::Program,
                  "烧录失败，请先擦除芯片..."},
        FaultCase{"ReadReportsZero", "report_zero = read\n", WorkerCode::ReadChip,
                  "读取失败，请检查设备连接和芯片容量..."},
        FaultCase{"ReadReportsExtra", "report_extra = read\n", WorkerCode::Verify,
                  "校验失败，请检查设备连接和芯片容量..."},
        FaultCase{"ShortReadsStillRead", "short_read = 4096\n", WorkerCode::ReadChip, "芯片读取成功..."},
        FaultCase{"ShortReadsBlankCheckABlankChip", "short_read = 4096\n", WorkerCode::BlankCheck,
                  "芯片为空..."},
        FaultCase{"ShortProgramsStillProgram", "short_program = 1000\n", WorkerCode::Program, "烧录成功..."},
        FaultCase{"EraseFails", "fail_erase_call = 1\n", WorkerCode::Erase, "芯片擦除失败..."},
        FaultCase{"ReadFailsInBlankCheck", "fail_read_call = 2\n", WorkerCode::BlankCheck,
                  "查空失败，请检查设备连接和芯片容量..."}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
