// What each way an operation can end stands for in each front end: the window's
// last status text, the tool's exit status and its JSON.

#include <functional>

#include "OperationFixture.h"
#include "cli/CliJob.h"
#include "cli/ExitStatus.h"

namespace {

struct OutcomeRow {
    const char* name;
    std::function<void(OperationFixture&)> arrange;
    uint8_t code;
    OutcomeKind kind;
    uint32_t address;
    uint64_t bytes;
    int32_t differences;
    std::string status;  // the window's last status text
    int exit;            // the tool's exit status
    const char* json;    // the tool's outcome, exit and differences fields
};

std::vector<uint8_t> Blank(size_t size) {
    return std::vector<uint8_t>(size, 0xFF);
}

std::vector<uint8_t> WithBytes(std::vector<uint8_t> bytes, const std::vector<size_t>& at) {
    for (size_t i : at) bytes[i] = 0x5A;
    return bytes;
}

class OperationOutcomeTest : public OperationFixture, public ::testing::WithParamInterface<OutcomeRow> {
public:
    // The fixture's members are protected; the rows arrange through these.
    static void Load(OperationFixture& f, const std::vector<uint8_t>& bytes) {
        static_cast<OperationOutcomeTest&>(f).LoadImage(bytes);
    }
    static FakeDriver& Driver(OperationFixture& f) { return static_cast<OperationOutcomeTest&>(f).driver; }
    static ScriptedMessageBoxes& Boxes(OperationFixture& f) {
        return static_cast<OperationOutcomeTest&>(f).boxes;
    }
};

const uint32_t kChip = 131072;

const OutcomeRow kRows[] = {
    {"VerifiedImage", [](OperationFixture& f) { OperationOutcomeTest::Load(f, Blank(5000)); },
     WorkerCode::Verify, OutcomeKind::Success, 0, 5000, 0, "校验成功...", 0,
     R"("outcome":"success","exit":0,"differences":0)"},
    {"DetectedChip", [](OperationFixture&) {}, WorkerCode::DetectWithMessage, OutcomeKind::Success, 0, 0, 0,
     "设备已连接，检测到128KB芯片   ", 0, R"("outcome":"success","exit":0,"differences":0)"},
    {"NoProgrammer",
     [](OperationFixture& f) { OperationOutcomeTest::Driver(f).SetResult(FakeEntry::Enum, 0); },
     WorkerCode::Erase, OutcomeKind::NoProgrammer, 0, 0, 0, "设备未连接...", 3,
     R"("outcome":"no-programmer","exit":3,"differences":0)"},
    {"NoChip",
     [](OperationFixture& f) { OperationOutcomeTest::Driver(f).SetResult(FakeEntry::SetFlashInfo, 0); },
     WorkerCode::BlankCheck, OutcomeKind::NoChip, 0, 0, 0, "设备已连接,未检测到芯片...", 4,
     R"("outcome":"no-chip","exit":4,"differences":0)"},
    {"ReadFailsAtSecondBlock",
     [](OperationFixture& f) { OperationOutcomeTest::Driver(f).FailCall(FakeEntry::Read, 2); },
     WorkerCode::ReadChip, OutcomeKind::DriverFailed, 8192, 8192, 0, "读取失败，请检查设备连接和芯片容量...",
     1, R"("outcome":"operation-failed","exit":1,"differences":0)"},
    {"EraseFails",
     [](OperationFixture& f) { OperationOutcomeTest::Driver(f).SetResult(FakeEntry::InitFlash, 0); },
     WorkerCode::Erase, OutcomeKind::DriverFailed, 0, 0, 0, "芯片擦除失败...", 1,
     R"("outcome":"operation-failed","exit":1,"differences":0)"},
    {"NoImageOpen", [](OperationFixture&) {}, WorkerCode::Program, OutcomeKind::FileError, 0, 0, 0,
     "文件尚未打开...", 5, R"("outcome":"file-error","exit":5,"differences":0)"},
    {"NotBlankInThirdBlock",
     [](OperationFixture& f) { OperationOutcomeTest::Driver(f).SetChip(WithBytes(Blank(kChip), {20000})); },
     WorkerCode::BlankCheck, OutcomeKind::NotBlank, 16384, 16384, 0, "芯片不为空!", 1,
     R"("outcome":"operation-failed","exit":1,"differences":0)"},
    {"TwoDifferences",
     [](OperationFixture& f) {
         OperationOutcomeTest::Load(f, WithBytes(Blank(9000), {10, 8500}));
         OperationOutcomeTest::Boxes(f).QueueAnswer(MessageAnswer::Yes);
         OperationOutcomeTest::Boxes(f).QueueAnswer(MessageAnswer::Yes);
     },
     WorkerCode::Verify, OutcomeKind::Differences, 0, 9000, 2, "校验结束，共2个错误...", 6,
     R"("outcome":"verify-difference","exit":6,"differences":2)"},
    {"CancelledAtFirstDifference",
     [](OperationFixture& f) {
         OperationOutcomeTest::Load(f, WithBytes(Blank(9000), {10, 8500}));
         OperationOutcomeTest::Boxes(f).QueueAnswer(MessageAnswer::Cancel);
     },
     WorkerCode::Verify, OutcomeKind::Cancelled, 0, 0, 1, "校验结束，共1个错误...", 6,
     R"("outcome":"verify-difference","exit":6,"differences":1)"},
    {"LargerImageRefused",
     [](OperationFixture& f) {
         OperationOutcomeTest::Load(f, Blank(kChip + 1));
         OperationOutcomeTest::Boxes(f).QueueAnswer(MessageAnswer::No);
     },
     WorkerCode::Program, OutcomeKind::Refused, 0, 0, 0, "", 5,
     R"("outcome":"file-error","exit":5,"differences":0)"},
};

TEST_P(OperationOutcomeTest, StandsForTheSameInEveryFrontEnd) {
    const OutcomeRow& row = GetParam();
    row.arrange(*this);
    Run(row.code);
    const OperationOutcome outcome = LastOutcome();
    EXPECT_EQ(outcome.kind, row.kind);
    EXPECT_EQ(outcome.address, row.address);
    EXPECT_EQ(outcome.bytes, row.bytes);
    EXPECT_EQ(outcome.differences, row.differences);
    EXPECT_EQ(status.lastText(), row.status);

    JobResult result;
    result.exit = ExitStatusOf(outcome);
    result.differences = outcome.differences;
    EXPECT_EQ(ExitCode(result.exit), row.exit);
    EXPECT_NE(JobResultJson(result).find(row.json), std::string::npos) << JobResultJson(result);
}

INSTANTIATE_TEST_SUITE_P(Outcomes, OperationOutcomeTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<OutcomeRow>& info) { return info.param.name; });

// No operation ends in a busy programmer: only a front end that finds it held does.
TEST(OperationOutcome, BusyProgrammerIsNoProgrammerToTheTool) {
    EXPECT_EQ(ExitStatusOf(OperationOutcome::Of(OutcomeKind::ProgrammerBusy)), ExitStatus::NoProgrammer);
    EXPECT_STREQ(OutcomeName(ExitStatusOf(OperationOutcome::Of(OutcomeKind::ProgrammerBusy))),
                 "no-programmer");
}

}  // namespace
