// The command line through the real detection, loader and chip operations, with
// the in-process fake driver: texts, exit statuses, the chip's bytes, the files
// written, the locks and --json.
#include "cli/CliApp.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/mount.h>

#include <cstdio>
#include <regex>
#include <sstream>

#include "FakeDriver.h"
#include "TempDirectory.h"
#include "cli/CliJob.h"
#include "cli/DriverChoice.h"
#include "device/ProductDataScramble.h"
#include "platform/InstanceLock.h"
#include "platform/InstanceNames.h"

namespace {

using Lines = std::vector<std::string>;
constexpr size_t kChip = 1048576;  // the fake's chip answers as a 25X80

struct CliRun {
    ExitStatus exit;
    std::string out;
    std::string err;
    Lines outLines() const {
        Lines lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
};

// Captures one stream of the tool.
class Capture {
public:
    Capture() : m_file(open_memstream(&m_data, &m_size)) {}
    ~Capture() {
        if (m_file) std::fclose(m_file);
        std::free(m_data);
    }
    FILE* file() { return m_file; }
    std::string Take() {
        std::fclose(m_file);
        m_file = nullptr;
        return std::string(m_data, m_size);
    }

private:
    char* m_data = nullptr;
    size_t m_size = 0;
    FILE* m_file;
};

// Runs the tool over `fake`; "@name" arguments name files in `dir`, where the
// locks and work directories go too.
// `adjust` may change the environment last (other streams, no fake driver).
CliRun RunCli(FakeDriver& fake, const TempDirectory& dir, Lines args,
              const std::function<void(CliEnvironment&)>& adjust = {}) {
    for (std::string& a : args)
        if (a.rfind("@", 0) == 0) a = dir.file(a.substr(1));
    Capture out, err;
    CliEnvironment env;
    env.out = out.file();
    env.err = err.file();
    env.lockDirectory = dir.path().string();
    env.tempDirectory = dir.path().string();
    env.productDataDirectory = dir.path().string() + "/";
    const DriverApi api = fake.Api();
    env.driver = &api;
    double now = 0;
    env.clock = [&now] { return now += 0.5; };
    if (adjust) adjust(env);
    const ExitStatus exit = RunCommandLine(args, env);
    return {exit, out.Take(), err.Take()};
}

Lines LinesOf(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string TextOf(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

void WriteProductData(const TempDirectory& dir) {
    dir.Write("XJQT.uc", ProductDataScramble::Build(ProductDataScramble::ContentForSerial("TARLO-TEST")));
}

class CliAppTest : public ::testing::Test {
protected:
    CliAppTest() {
        fake.SetChipSize(kChip);
        WriteProductData(dir);
    }
    CliRun Cli(Lines args) { return RunCli(fake, dir, std::move(args)); }

    FakeDriver fake;
    TempDirectory dir;
};

TEST_F(CliAppTest, WriteErasesProgramsAndVerifiesWithTheWindowsTexts) {
    const std::vector<uint8_t> image = PatternBytes(300000, 3);
    dir.Write("fw.bin", image);
    fake.SetChip(std::vector<uint8_t>(kChip, 0x00));  // erase must come first
    const CliRun run = Cli({"write", "@fw.bin"});
    EXPECT_EQ(run.exit, ExitStatus::Success);
    EXPECT_EQ(run.outLines(), (Lines{"文件打开成功", "芯片擦除中...", "芯片擦除成功...", "烧录成功...",
                                     "校验成功...", "自动擦除、烧录、校验成功..."}));
    const std::vector<uint8_t> chip = fake.Chip();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), chip.begin()));
    EXPECT_TRUE(std::all_of(chip.begin() + static_cast<long>(image.size()), chip.end(),
                            [](uint8_t b) { return b == 0xFF; }));
    EXPECT_TRUE(fake.Violations().empty());
    // Its work files went with the run.
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find("xjqt-tarlo-"), std::string::npos) << entry.path();
}

// Each row: the driver's state, the command, the exit status and the texts on standard output.
struct StatusRow {
    const char* name;
    std::function<void(FakeDriver&)> arrange;
    Lines args;
    ExitStatus exit;
    Lines out;
};

TEST(CliAppStatusTest, EveryOutcomeHasItsExitStatusAndText) {
    TempDirectory dir;
    WriteProductData(dir);
    const std::vector<StatusRow> rows = {
        {"no programmer",
         [](FakeDriver& f) { f.SetResult(FakeEntry::Enum, 0); },
         {"erase"},
         ExitStatus::NoProgrammer,
         {"设备未连接..."}},
        {"programmer silent",
         [](FakeDriver& f) { f.SetResult(FakeEntry::UsbSelfTest, 0); },
         {"blank"},
         ExitStatus::NoProgrammer,
         {"设备未连接..."}},
        {"no chip",
         [](FakeDriver& f) { f.SetResult(FakeEntry::SetFlashInfo, 0); },
         {"verify", "@small.bin"},
         ExitStatus::NoChip,
         {"文件打开成功", "设备已连接,未检测到芯片..."}},
        {"detect", [](FakeDriver&) {}, {"detect"}, ExitStatus::Success, {"设备已连接，检测到1MB芯片   "}},
        {"detect without chip",
         [](FakeDriver& f) { f.SetResult(FakeEntry::SetFlashInfo, 0); },
         {"detect"},
         ExitStatus::NoChip,
         {"设备已连接,未检测到芯片..."}},
        {"missing image",
         [](FakeDriver&) {},
         {"program", "@missing.bin"},
         ExitStatus::FileError,
         {"文件打开失败"}},
        {"erase fails",
         [](FakeDriver& f) { f.FailCall(FakeEntry::InitFlash, 1); },
         {"erase"},
         ExitStatus::OperationFailed,
         {"芯片擦除中...", "芯片擦除失败..."}},
        {"not blank",
         [](FakeDriver& f) { f.SetChipSize(kChip, 0x7F); },
         {"blank"},
         ExitStatus::OperationFailed,
         {"芯片不为空!"}},
        {"blank", [](FakeDriver&) {}, {"blank"}, ExitStatus::Success, {"芯片为空..."}},
        {"program over data",
         [](FakeDriver& f) { f.SetChipSize(kChip, 0x00); },
         {"program", "@small.bin"},
         ExitStatus::OperationFailed,
         {"文件打开成功", "烧录失败，请先擦除芯片..."}},
        {"read fails",
         [](FakeDriver& f) { f.FailCall(FakeEntry::Read, 2); },
         {"read", "@out.bin"},
         ExitStatus::OperationFailed,
         {"读取失败，请检查设备连接和芯片容量..."}},
        {"read into a missing directory",
         [](FakeDriver&) {},
         {"read", "@nowhere/out.bin"},
         ExitStatus::FileError,
         {"文件保存失败: " + std::string()}},
        {"usage", [](FakeDriver&) {}, {"frob"}, ExitStatus::Usage, {}},
        {"missing file argument", [](FakeDriver&) {}, {"write"}, ExitStatus::Usage, {}},
        {"negative difference limit",
         [](FakeDriver&) {},
         {"verify", "x.bin", "--max-differences", "-1"},
         ExitStatus::Usage,
         {}},
    };
    // Each row runs as given, then with --quiet: nothing on standard output, and only
    // a failure's last text, on standard error.
    for (const bool quiet : {false, true}) {
        for (const StatusRow& row : rows) {
            SCOPED_TRACE(std::string(row.name) + (quiet ? " --quiet" : ""));
            if (quiet && row.exit == ExitStatus::Usage) continue;
            FakeDriver driver;
            driver.SetChipSize(kChip);
            row.arrange(driver);
            dir.Write("small.bin", PatternBytes(5000));
            Lines args = row.args;
            if (quiet) args.push_back("--quiet");
            const CliRun run = RunCli(driver, dir, args);
            EXPECT_EQ(run.exit, row.exit);
            Lines expected = row.out;
            // The output file's name is part of its failure text.
            for (std::string& line : expected)
                if (line == "文件保存失败: ") line += dir.file("nowhere/out.bin");
            if (quiet) {
                EXPECT_EQ(run.out, "");
                EXPECT_EQ(LinesOf(run.err),
                          row.exit == ExitStatus::Success ? Lines{} : Lines{expected.back()});
            } else {
                EXPECT_EQ(run.outLines(), expected);
            }
            if (row.exit == ExitStatus::Usage) {
                EXPECT_NE(run.err.find("命令行有误："), std::string::npos) << run.err;
            }
            EXPECT_TRUE(driver.Violations().empty());
        }
    }
}

TEST_F(CliAppTest, OverflowIsRefusedUnlessAllowed) {
    fake.SetChipSize(131072);  // 25X10
    const std::vector<uint8_t> image = PatternBytes(200000, 9);
    dir.Write("big.bin", image);
    const std::string question =
        "文件长度大于芯片存储量!       "
        "       继续烧录？";

    const CliRun refused = Cli({"program", "@big.bin"});
    EXPECT_EQ(refused.exit, ExitStatus::FileError);
    EXPECT_EQ(refused.outLines(), (Lines{"文件打开成功", question + " 否",
                                         "文件长度大于芯片存储量，未烧录（--allow-overflow 可继续）..."}));
    EXPECT_EQ(fake.CallCount(FakeEntry::Program), 0);

    const CliRun allowed = Cli({"program", "@big.bin", "--allow-overflow"});
    EXPECT_EQ(allowed.exit, ExitStatus::Success);
    EXPECT_EQ(allowed.outLines(), (Lines{"文件打开成功", question + " 是", "烧录成功，溢出部分未烧录..."}));
    EXPECT_EQ(fake.Chip(), std::vector<uint8_t>(image.begin(), image.begin() + 131072));

    // The auto sequence asks before its erase, once, and its verify stops at the chip's end too.
    const CliRun write = Cli({"--allow-overflow", "write", "@big.bin"});
    EXPECT_EQ(write.exit, ExitStatus::Success);
    EXPECT_EQ(write.outLines(), (Lines{"文件打开成功", question + " 是", "芯片擦除中...", "芯片擦除成功...",
                                       "烧录成功，溢出部分未烧录...", "校验成功,溢出部分未校验...",
                                       "自动擦除、烧录、校验成功..."}));
}

TEST_F(CliAppTest, AnEmptyImageIsRefusedBeforeTheProgrammerIsOpened) {
    dir.Write("empty.bin", {});
    const std::vector<uint8_t> old = PatternBytes(kChip, 6);
    fake.SetChip(old);
    for (const char* command : {"write", "program", "verify"}) {
        SCOPED_TRACE(command);
        const CliRun run = Cli({command, "@empty.bin"});
        EXPECT_EQ(run.exit, ExitStatus::FileError);
        EXPECT_EQ(run.outLines(),
                  (Lines{"文件打开成功", "文件为空（0字节），未操作芯片: " + dir.file("empty.bin")}));
        EXPECT_TRUE(fake.Calls().empty());
        EXPECT_EQ(fake.Chip(), old);
    }
}

TEST_F(CliAppTest, VerifyOfAnOversizedImageCountsAndShowsWhatWasCompared) {
    std::vector<uint8_t> image = PatternBytes(2 * kChip, 8);
    std::vector<uint8_t> chip(image.begin(), image.begin() + kChip);
    chip[100] ^= 0x01;
    fake.SetChip(chip);
    dir.Write("big.bin", image);
    const CliRun run = Cli({"verify", "@big.bin", "--json"});
    EXPECT_EQ(run.exit, ExitStatus::VerifyDifference);
    const nlohmann::json result = nlohmann::json::parse(run.out);
    EXPECT_EQ(result["bytes"], kChip);
    Lines progress;
    std::istringstream err(run.err);
    for (std::string line; std::getline(err, line);)
        if (line.rfind("已校验", 0) == 0) progress.push_back(line.substr(0, line.find(' ')));
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), "已校验100%");
}

TEST_F(CliAppTest, VerifyListsDifferencesUpToTheLimitAndCountsThemAll) {
    std::vector<uint8_t> image = PatternBytes(kChip, 1);
    std::vector<uint8_t> chip = image;
    chip[0x5] = 0x34;
    image[0x5] = 0x12;
    chip[0x2000] ^= 0xFF;   // a second block
    chip[0xFFFFF] ^= 0x01;  // the last byte
    dir.Write("fw.bin", image);
    fake.SetChip(chip);

    char third[64];
    std::snprintf(third, sizeof third, "FFFFFH处错误!  文件数据:%02XH 片内数据:%02XH", image[0xFFFFF],
                  chip[0xFFFFF]);
    char second[64];
    std::snprintf(second, sizeof second, "2000H处错误!  文件数据:%02XH 片内数据:%02XH", image[0x2000],
                  chip[0x2000]);

    const CliRun all = Cli({"verify", "@fw.bin"});
    EXPECT_EQ(all.exit, ExitStatus::VerifyDifference);
    EXPECT_EQ(all.outLines(), (Lines{"文件打开成功", "5H处错误!  文件数据:12H 片内数据:34H", second, third,
                                     "校验结束，共3个错误..."}));

    const CliRun limited = Cli({"verify", "@fw.bin", "--max-differences", "1"});
    EXPECT_EQ(limited.exit, ExitStatus::VerifyDifference);
    EXPECT_EQ(limited.outLines(),
              (Lines{"文件打开成功", "5H处错误!  文件数据:12H 片内数据:34H", "校验结束，共3个错误..."}));

    const CliRun none = Cli({"verify", "@fw.bin", "--max-differences", "0", "--json"});
    Lines texts;  // standard error without the progress lines
    std::istringstream err(none.err);
    for (std::string line; std::getline(err, line);)
        if (line.rfind("已校验", 0) != 0) texts.push_back(line);
    EXPECT_EQ(texts, (Lines{"文件打开成功", "校验结束，共3个错误..."}));
    // The result counts every difference, listed or not.
    const nlohmann::json result = nlohmann::json::parse(none.out);
    EXPECT_EQ(result["differences"], 3);
    EXPECT_EQ(result["outcome"], "verify-difference");
    EXPECT_EQ(result["exit"], 6);
}

TEST_F(CliAppTest, ReadReplacesTheFileOnlyWhenTheWholeChipWasRead) {
    const std::vector<uint8_t> chip = PatternBytes(kChip, 5);
    fake.SetChip(chip);
    dir.Write("out.bin", {1, 2, 3});

    fake.FailCall(FakeEntry::Read, 40);
    const CliRun failed = Cli({"read", "@out.bin"});
    EXPECT_EQ(failed.exit, ExitStatus::OperationFailed);
    EXPECT_EQ(dir.Read("out.bin"), (std::vector<uint8_t>{1, 2, 3}));

    const CliRun read = Cli({"read", "@out.bin"});
    EXPECT_EQ(read.exit, ExitStatus::Success);
    EXPECT_EQ(read.outLines(), Lines{"芯片读取成功..."});
    EXPECT_EQ(dir.Read("out.bin"), chip);
    // No temporary file is left beside it.
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_NE(entry.path().filename().string().rfind(".out.bin", 0), 0u) << entry.path();
}

// The program's own files are refused as read targets before the chip is read.
TEST_F(CliAppTest, ReadRefusesTheProgramsOwnFiles) {
    std::filesystem::create_directory(dir.path() / "sound");
    dir.Write("修改记录.txt", {'o', 'l', 'd'});
    const std::vector<uint8_t> productData = dir.Read("XJQT.uc");
    struct Row {
        Lines args;
        std::string label;    // in front of the message under --all
        std::string refused;  // the name in the message
    };
    const Row rows[] = {
        {{"read", "@XJQT.uc"}, "", "XJQT.uc"},
        {{"read", "@修改记录.txt"}, "", "修改记录.txt"},
        {{"read", "@halor2.dll"}, "", "halor2.dll"},
        {{"read", "@sound/ding.wav"}, "", "sound/ding.wav"},
        {{"read", "@.XJQT_Tarlo Flash编程器.exe.lock"}, "", ".XJQT_Tarlo Flash编程器.exe.lock"},
        {{"read", "@sound/x.wav", "--all"}, "[编程器0] ", "sound/x-0.wav"},
    };
    fake.SetChip(PatternBytes(kChip, 5));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.refused);
        fake.ClearCalls();
        const CliRun run = Cli(row.args);
        EXPECT_EQ(run.exit, ExitStatus::FileError);
        EXPECT_EQ(run.outLines(), Lines{row.label + "禁止修改系统文件！ " + dir.file(row.refused)});
        // At most the programmers were counted: none was opened.
        for (const FakeCall& call : fake.Calls()) EXPECT_EQ(call.entry, FakeEntry::Enum) << call.Text();
        EXPECT_EQ(dir.Read("XJQT.uc"), productData);
        EXPECT_EQ(dir.Read("修改记录.txt"), (std::vector<uint8_t>{'o', 'l', 'd'}));
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "halor2.dll"));
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "sound/ding.wav"));
    }
}

TEST_F(CliAppTest, OnlyAHolderOfTheProgrammerKeepsTheJobOff) {
    struct Row {
        const char* name;
        std::string lock;
        ExitStatus exit;
        Lines out;
        const char* outcome;
    };
    const Row rows[] = {
        {"window open, programmer free", InstanceName::Own, ExitStatus::Success, {"芯片为空..."}, "success"},
        {"sibling",
         InstanceName::Sibling,
         ExitStatus::NoProgrammer,
         {"请关闭XJQT_Quenby Flash编程器！"},
         "no-programmer"},
        {"window or job on the programmer",
         ProgrammerLockName(0),
         ExitStatus::NoProgrammer,
         {"编程器0正由另一个任务使用..."},
         "busy"},
        {"job on another programmer", ProgrammerLockName(1), ExitStatus::Success, {"芯片为空..."}, "success"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InstanceLock held(row.lock, dir.path().string());
        ASSERT_EQ(held.TryAcquire(), InstanceLock::Result::Acquired);
        const CliRun run = Cli({"blank"});
        EXPECT_EQ(run.exit, row.exit);
        EXPECT_EQ(run.outLines(), row.out);
        // A job that runs opens twice: the check that identifies the chip, then the blank check's own.
        EXPECT_EQ(fake.CallCount(FakeEntry::Open), row.exit == ExitStatus::Success ? 2 : 0);
        fake.ClearCalls();
        // A script reading --json gets its object either way.
        const nlohmann::json result = nlohmann::json::parse(Cli({"blank", "--json"}).out);
        EXPECT_EQ(result["exit"], ExitCode(row.exit));
        EXPECT_EQ(result["outcome"], row.outcome);
        EXPECT_EQ(result["operation"], "blank");
        fake.ClearCalls();
    }
}

TEST_F(CliAppTest, JsonObjectsParseBackAndTextsMoveToStandardError) {
    dir.Write("fw.bin", PatternBytes(70000, 2));
    const CliRun run = Cli({"write", "@fw.bin", "--json"});
    ASSERT_EQ(run.exit, ExitStatus::Success);
    const nlohmann::json result = nlohmann::json::parse(run.out);
    EXPECT_EQ(result["device"], 0);
    EXPECT_EQ(result["chip"], "25X80");
    EXPECT_EQ(result["capacity"], kChip);
    EXPECT_EQ(result["operation"], "write");
    EXPECT_EQ(result["file"], dir.file("fw.bin"));
    EXPECT_EQ(result["bytes"], 70000);
    EXPECT_EQ(result["outcome"], "success");
    EXPECT_EQ(result["exit"], 0);
    EXPECT_EQ(result["status"], "自动擦除、烧录、校验成功...");
    // Each clock reading advances half a second: the job's time is measured, not made up.
    EXPECT_GT(result["seconds"].get<double>(), 0.0);
    EXPECT_NE(run.err.find("芯片擦除成功...\n"), std::string::npos);

    fake.SetResult(FakeEntry::Enum, 0);
    const CliRun failed = Cli({"--json", "erase"});
    const nlohmann::json none = nlohmann::json::parse(failed.out);
    EXPECT_EQ(none["outcome"], "no-programmer");
    EXPECT_EQ(none["exit"], 3);
    EXPECT_TRUE(none["chip"].is_null());
    EXPECT_EQ(none["status"], "设备未连接...");
}

TEST_F(CliAppTest, AStatusTextWithQuotesAndControlsStaysValidJson) {
    JobResult r;
    r.file = "a \"b\"\\c\n\x01.bin";
    r.status = "x";
    const nlohmann::json parsed = nlohmann::json::parse(JobResultJson(r));
    EXPECT_EQ(parsed["file"], r.file);
}

TEST_F(CliAppTest, AFileNameThatIsNotUtf8StillGivesJsonThatParses) {
    const std::string name = "fw-\xff\xfe.bin";  // bytes that begin no UTF-8 sequence
    dir.Write(name, PatternBytes(1000, 2));
    const CliRun run = Cli({"verify", "@" + name, "--json"});
    EXPECT_EQ(run.exit, ExitStatus::VerifyDifference);
    const nlohmann::json result = nlohmann::json::parse(run.out);
    EXPECT_EQ(result["file"], dir.file("fw-\uFFFD\uFFFD.bin"));
    // The fields keep their order for a reader by eye.
    EXPECT_EQ(run.out.rfind("{\"device\":0,\"chip\":\"25X80\",", 0), 0u) << run.out;
}

// As the window at start-up: nothing runs, the driver is not even asked, without
// an intact product data file.
TEST(CliAppStatusTest, MissingOrDamagedProductDataStopsEveryCommand) {
    struct Row {
        const char* name;
        std::function<void(const TempDirectory&)> arrange;
        std::string text;
    };
    const Row rows[] = {
        {"missing", [](const TempDirectory&) {}, "文件丢失！   "},
        {"a directory in its place",
         [](const TempDirectory& d) { std::filesystem::create_directory(d.file("XJQT.uc")); },
         "文件丢失！   "},
        {"one byte changed",
         [](const TempDirectory& d) {
             auto bytes = ProductDataScramble::Build(ProductDataScramble::ContentForSerial("TARLO-TEST"));
             bytes[3] ^= 1;
             d.Write("XJQT.uc", bytes);
         },
         "系统文件损坏！   "},
        {"too short",
         [](const TempDirectory& d) {
             d.Write("XJQT.uc", {1, 2, 3});
         },
         "系统文件损坏！   "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (const Lines& args : {Lines{"detect"}, Lines{"erase", "--json"}}) {
            TempDirectory dir;
            row.arrange(dir);
            FakeDriver fake;
            const CliRun run = RunCli(fake, dir, args);
            EXPECT_EQ(run.exit, ExitStatus::FileError);
            EXPECT_TRUE(fake.Calls().empty());
            if (args.size() == 1) {
                EXPECT_EQ(run.outLines(), Lines{row.text});
            } else {
                const auto json = nlohmann::json::parse(run.out);
                EXPECT_EQ(json["status"], row.text);
                EXPECT_EQ(json["exit"], 5);
            }
        }
    }
}

TEST(CliAppStatusTest, ABadCommandLineIsExplainedInChinese) {
    TempDirectory dir;
    WriteProductData(dir);
    const std::string range = "--max-differences 需要 0 到 2147483647 之间的整数: ";
    const std::pair<Lines, std::string> rows[] = {
        {{"bogus"}, "未知命令: bogus（可用命令: detect、read、write、verify、erase、blank、program）"},
        {{"--json", "bogus", "x.bin"},
         "未知命令: bogus（可用命令: detect、read、write、verify、erase、blank、program）"},
        {{}, "缺少命令（detect、read、write、verify、erase、blank、program）"},
        {{"--all"}, "缺少命令（detect、read、write、verify、erase、blank、program）"},
        {{"write"}, "命令 write 需要文件名 FILE"},
        {{"verify", "x.bin", "--max-differences", "abc"}, range + "abc"},
        {{"verify", "x.bin", "--max-differences", "-1"}, range + "-1"},
        {{"verify", "x.bin", "--max-differences", "2147483648"}, range + "2147483648"},
        {{"verify", "x.bin", "--max-differences", "1x"}, range + "1x"},
        {{"detect", "--frob"}, "无法识别的参数: --frob"},
        {{"detect", "extra"}, "无法识别的参数: extra"},
        {{"detect", "--driver"}, "选项缺少值或值的个数不对: --driver"},
        {{"detect", "--log"}, "选项缺少值或值的个数不对: --log"},
        {{"read", "-", "--all"}, "--all 的读取不能写到标准输出（-），请给出文件名"},
        {{"-x"}, "无法识别的参数: -x"},
        {{"--frob=1", "--json"}, "无法识别的参数: --frob=1"},
    };
    for (const auto& [args, text] : rows) {
        SCOPED_TRACE(args.empty() ? std::string("(none)") : args.front());
        FakeDriver fake;
        const CliRun run = RunCli(fake, dir, args);
        EXPECT_EQ(run.exit, ExitStatus::Usage);
        EXPECT_EQ(LinesOf(run.err), (Lines{"命令行有误：" + text, "运行 xjqt-tarlo --help 查看用法。"}));
        EXPECT_TRUE(run.out.empty());
        EXPECT_TRUE(fake.Calls().empty());
    }
    // The largest count is still one.
    FakeDriver fake;
    fake.SetChipSize(kChip);
    dir.Write("x.bin", PatternBytes(100));
    EXPECT_EQ(RunCli(fake, dir, {"verify", "@x.bin", "--max-differences", "2147483647"}).exit,
              ExitStatus::VerifyDifference);
}

TEST(CliAppStatusTest, ADriverLibraryThatCannotServeSaysWhy) {
    TempDirectory dir;
    WriteProductData(dir);
    dir.Write("passwd", {'r', 'o', 'o', 't', ':', 'x', '\n'});
    const std::pair<std::string, std::string> rows[] = {
        // Loads from the library path, but is another library.
        {"libz.so.1", "驱动库缺少入口（QuovixEnum 等11个）: libz.so.1"},
        {dir.file("passwd"), "不是可用的驱动库（无法加载）: " + dir.file("passwd")},
        {dir.file("missing.so"), "文件丢失！ " + dir.file("missing.so")},
        {"libnothing-here.so", "文件丢失！ libnothing-here.so"},
    };
    for (const auto& [path, text] : rows) {
        SCOPED_TRACE(path);
        FakeDriver fake;
        const CliRun run = RunCli(fake, dir, {"--driver", path, "detect"},
                                  [](CliEnvironment& env) { env.driver = nullptr; });
        EXPECT_EQ(run.exit, ExitStatus::FileError);
        EXPECT_EQ(run.outLines(), Lines{text});
    }
}

TEST(CliAppStatusTest, TheLibrarysReasonForAFailureIsToldAndCarriedInJson) {
    TempDirectory dir;
    WriteProductData(dir);
    dir.Write("fw.bin", PatternBytes(5000));
    const std::string access =
        "找到编程器，但没有权限打开它：请运行 scripts/install-udev-rule.sh 安装 udev "
        "规则，然后重新插入编程器";
    const std::string protect = "芯片的保护位无法清除（状态寄存器被 WP 引脚锁定），请检查芯片的 WP 引脚";
    struct Row {
        const char* name;
        std::function<void(FakeDriver&)> arrange;
        Lines args;
        ExitStatus exit;
        Lines out;
        const char* reason;  // nullptr: none
    };
    const Row rows[] = {
        {"open denied",
         [](FakeDriver& f) {
             f.SetResult(FakeEntry::Open, -1);
             f.SetFailureReason(VELMOR_REASON_ACCESS_DENIED);
         },
         {"detect"},
         ExitStatus::NoProgrammer,
         {"设备未连接...", access},
         "access-denied"},
        {"open fails for no known cause",
         [](FakeDriver& f) { f.SetResult(FakeEntry::Open, -1); },
         {"detect"},
         ExitStatus::NoProgrammer,
         {"设备未连接..."},
         nullptr},
        {"erase held by the WP pin",
         [](FakeDriver& f) {
             f.SetResult(FakeEntry::InitFlash, 0);
             f.SetFailureReason(VELMOR_REASON_WRITE_PROTECTED);
         },
         {"erase"},
         ExitStatus::OperationFailed,
         {"芯片擦除中...", "芯片擦除失败...", protect},
         "write-protected"},
        {"auto sequence held by the WP pin",
         [](FakeDriver& f) {
             f.SetResult(FakeEntry::InitFlash, 0);
             f.SetFailureReason(VELMOR_REASON_WRITE_PROTECTED);
         },
         {"write", "@fw.bin"},
         ExitStatus::OperationFailed,
         {"文件打开成功", "芯片擦除中...", "芯片擦除失败...", protect},
         "write-protected"},
        {"erase fails for no known cause",
         [](FakeDriver& f) { f.SetResult(FakeEntry::InitFlash, 0); },
         {"erase"},
         ExitStatus::OperationFailed,
         {"芯片擦除中...", "芯片擦除失败..."},
         nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (const bool json : {false, true}) {
            FakeDriver fake;
            fake.SetChipSize(kChip);
            row.arrange(fake);
            Lines args = row.args;
            if (json) args.push_back("--json");
            const CliRun run = RunCli(fake, dir, args);
            EXPECT_EQ(run.exit, row.exit);
            if (!json) {
                EXPECT_EQ(run.outLines(), row.out);
                continue;
            }
            const nlohmann::json result = nlohmann::json::parse(run.out);
            if (row.reason == nullptr) {
                EXPECT_TRUE(result["reason"].is_null());
            } else {
                EXPECT_EQ(result["reason"], row.reason);
            }
        }
    }
}

TEST(MissingEntryPointsTest, NamesTheFirstAndCountsTheRest) {
    FakeDriver fake;
    DriverApi api = fake.Api();
    EXPECT_EQ(MissingEntryPoints(api), "");
    api.QuovixGetFlashInfo = nullptr;
    EXPECT_EQ(MissingEntryPoints(api), "QuovixGetFlashInfo");
    api.QuovixSetBP1 = nullptr;
    EXPECT_EQ(MissingEntryPoints(api), "QuovixSetBP1 等2个");
}

// A FILE whose every write fails, as /dev/full gives.
FILE* FullStream() {
    return std::fopen("/dev/full", "w");
}

TEST(CliAppStatusTest, OutputThatCannotBeWrittenIsAFileError) {
    TempDirectory dir;
    WriteProductData(dir);
    struct Row {
        const char* name;
        Lines args;
        std::function<void(CliEnvironment&, FILE*)> adjust;
        bool outLost;
    };
    const Row rows[] = {
        {"standard output full", {"detect", "--json"}, [](CliEnvironment& e, FILE* f) { e.out = f; }, true},
        {"standard error full (progress)", {"blank"}, [](CliEnvironment& e, FILE* f) { e.err = f; }, false},
        {"help into a full standard output", {"--help"}, [](CliEnvironment& e, FILE* f) { e.out = f; }, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeDriver fake;
        fake.SetChipSize(kChip);
        FILE* full = FullStream();
        ASSERT_NE(full, nullptr);
        const CliRun run = RunCli(fake, dir, row.args, [&](CliEnvironment& e) { row.adjust(e, full); });
        std::fclose(full);
        EXPECT_EQ(run.exit, ExitStatus::FileError);
        // Said on the stream that still works.
        const Lines other = LinesOf(row.outLost ? run.err : run.out);
        ASSERT_FALSE(other.empty());
        EXPECT_EQ(other.back(),
                  row.outLost ? "标准输出写入失败，输出不完整" : "标准错误写入失败，输出不完整");
    }
}

// A file system of 64 KiB, mounted for one test (needs the right to mount).
class SmallFileSystem {
public:
    explicit SmallFileSystem(const std::string& path) : m_path(path) {
        std::filesystem::create_directory(path);
        m_mounted = mount("tmpfs", path.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallFileSystem() {
        if (m_mounted) umount(m_path.c_str());
    }
    bool mounted() const { return m_mounted; }

private:
    std::string m_path;
    bool m_mounted = false;
};

TEST(CliAppStatusTest, AFullWorkDirectoryIsNamedAndBlamesNeitherDeviceNorFile) {
    TempDirectory dir;
    WriteProductData(dir);
    const std::string small = dir.file("small");
    SmallFileSystem fs(small);
    if (!fs.mounted()) GTEST_SKIP() << "no right to mount a tmpfs here";
    dir.Write("fw.bin", PatternBytes(300000, 1));
    dir.Write("out.bin", {7, 7});
    const std::string full = "临时工作目录已满（请清理或设置 TMPDIR）: " + small;
    const std::pair<Lines, Lines> rows[] = {
        {{"read", "@out.bin"}, {"读取失败，请检查设备连接和芯片容量...", full}},
        {{"write", "@fw.bin"}, {"文件打开失败", full}},
        {{"verify", "@fw.bin", "--json"}, {}},
    };
    for (const auto& [args, out] : rows) {
        SCOPED_TRACE(args.front());
        FakeDriver fake;
        fake.SetChipSize(kChip, 0x00);
        const CliRun run = RunCli(fake, dir, args, [&](CliEnvironment& e) { e.tempDirectory = small; });
        EXPECT_EQ(run.exit, ExitStatus::FileError);
        if (out.empty()) {
            EXPECT_EQ(nlohmann::json::parse(run.out)["status"], full);
        } else {
            EXPECT_EQ(run.outLines(), out);
        }
        EXPECT_EQ(fake.CallCount(FakeEntry::InitFlash), 0);
        EXPECT_EQ(fake.Chip(), std::vector<uint8_t>(kChip, 0x00));
    }
    EXPECT_EQ(dir.Read("out.bin"), (std::vector<uint8_t>{7, 7}));
}

TEST(PerProgrammerFileTest, NumberGoesBeforeTheExtension) {
    const std::pair<std::string, std::string> rows[] = {
        {"backup.bin", "backup-2.bin"},
        {"dir.d/backup", "dir.d/backup-2"},
        {"/x/.hidden", "/x/.hidden-2"},
        {"a.tar.gz", "a.tar-2.gz"},
    };
    for (const auto& [in, out] : rows) EXPECT_EQ(PerProgrammerFile(in, 2), out) << in;
}

}  // namespace

namespace {

// A trace line without its time stamp and its duration.
std::string CallOf(const std::string& line) {
    static const std::regex shape(R"(^[0-9]+\.[0-9]{6} (.*) \([0-9]+\.[0-9]{3} ms\)$)");
    std::smatch match;
    return std::regex_match(line, match, shape) ? match[1].str() : "malformed: " + line;
}

}  // namespace

TEST_F(CliAppTest, LogTracesEveryDriverCallInTheOrderMade) {
    // The changed-only write reaches the block-erase entry points too.
    const std::vector<uint8_t> image = PatternBytes(8192, 3);
    dir.Write("fw.bin", image);
    VelmorEraseBlocks blocks{};
    blocks.count = 1;
    blocks.size[0] = 4096;
    blocks.opcode[0] = 0x20;
    fake.SetChip(std::vector<uint8_t>(kChip, 0x00));  // every sector needs an erase
    const std::vector<std::vector<std::string>> rows = {
        {"detect", "--log", "@trace.txt"}, {"write", "--changed", "@fw.bin", "--log", "@trace.txt"}};
    for (const std::vector<std::string>& args : rows) {
        SCOPED_TRACE(args[0]);
        fake.ClearCalls();
        fake.SetEraseBlocks(blocks);
        const CliRun run = Cli(args);
        ASSERT_EQ(run.exit, ExitStatus::Success);
        Lines calls;
        for (const std::string& line : LinesOf(TextOf(dir.Read("trace.txt")))) calls.push_back(CallOf(line));
        ASSERT_GE(calls.size(), 4u);
        EXPECT_EQ(Lines(calls.begin(), calls.begin() + 4),
                  (Lines{"QuovixEnum() = 1", "QuovixOpen(0) = 7", "QuovixUsbSelfTest(7) = 1",
                         "QuovixSetFlashInfo(7, 5, 0) = 1"}));
        // Every call the driver saw, and nothing else, in its order (the fake keeps no
        // record of the failure reason's look-up, which the job makes last).
        ASSERT_EQ(calls.back(), "QuovixLastFailure() = 0");
        calls.pop_back();
        Lines names, seen;
        for (const std::string& call : calls) names.push_back(call.substr(0, call.find('(')));
        for (const FakeCall& call : fake.Calls()) seen.push_back(EntryName(call.entry));
        EXPECT_EQ(names, seen);
        if (args[0] == "write") {
            EXPECT_NE(std::find(names.begin(), names.end(), "QuovixEraseRange"), names.end());
        }
    }
}

TEST_F(CliAppTest, LogNamesTheLengthOfDataNeverItsBytes) {
    ASSERT_EQ(Cli({"read", "@chip.bin", "--log", "@trace.txt"}).exit, ExitStatus::Success);
    const std::regex read(
        R"(^QuovixRead\(7, buffer\[([0-9]+)\], \1, 0x[0-9A-F]+, 0x[0-9A-F]+\) = 1 done=0x[0-9A-F]+$)");
    int reads = 0;
    for (const std::string& line : LinesOf(TextOf(dir.Read("trace.txt")))) {
        const std::string call = CallOf(line);
        if (call.rfind("QuovixRead(", 0) != 0) continue;
        ++reads;
        EXPECT_TRUE(std::regex_match(call, read)) << call;
    }
    EXPECT_EQ(reads, fake.CallCount(FakeEntry::Read));
    EXPECT_LT(dir.Read("trace.txt").size(), kChip / 16);
}

TEST_F(CliAppTest, ALogThatCannotBeKeptStopsTheRunUntouched) {
    const std::vector<uint8_t> productData = dir.Read("XJQT.uc");
    const std::pair<std::string, std::string> rows[] = {
        {"nowhere/trace.txt", "日志文件打开失败: "},
        {"XJQT.uc", "禁止修改系统文件！ "},
    };
    for (const auto& [name, text] : rows) {
        SCOPED_TRACE(name);
        const CliRun run = Cli({"erase", "--log", "@" + name});
        EXPECT_EQ(run.exit, ExitStatus::FileError);
        EXPECT_EQ(run.outLines(), Lines{text + dir.file(name)});
        EXPECT_TRUE(fake.Calls().empty());
        EXPECT_EQ(dir.Read("XJQT.uc"), productData);
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "nowhere"));
    }
}

TEST_F(CliAppTest, ATraceThatCouldNotBeWrittenTurnsSuccessIntoAFileError) {
    const CliRun run = Cli({"detect", "--log", "/dev/full"});
    EXPECT_EQ(run.exit, ExitStatus::FileError);
    EXPECT_EQ(LinesOf(run.err).back(), "日志文件写入失败，记录不完整: /dev/full");
    EXPECT_EQ(fake.CallCount(FakeEntry::Open), 1);  // the job itself ran
}

TEST(DriverVersionLinesTest, SaysUnknownForWhatTheLibraryCannotTell) {
    struct Row {
        const char* name;
        DriverApi::GetVersionFn get;
        std::string library;
        Lines lines;
    };
    const Row rows[] = {
        {"both versions",
         [](char* b, int32_t n) {
             return std::snprintf(b, static_cast<size_t>(n), "2.1\t1.0.27.11882") > 0 ? 1 : 0;
         },
         "/opt/x/libvelmor.so",
         {"驱动库: /opt/x/libvelmor.so", "驱动库版本: 2.1", "libusb 版本: 1.0.27.11882"}},
        {"library only",
         [](char* b, int32_t n) { return std::snprintf(b, static_cast<size_t>(n), "2.1") > 0 ? 1 : 0; },
         "/opt/x/libvelmor.so",
         {"驱动库: /opt/x/libvelmor.so", "驱动库版本: 2.1", "libusb 版本: 未知"}},
        {"refuses",
         [](char*, int32_t) { return 0; },
         "lib.so",
         {"驱动库: lib.so", "驱动库版本: 未知", "libusb 版本: 未知"}},
        {"older library", nullptr, "", {"驱动库: 未知", "驱动库版本: 未知", "libusb 版本: 未知"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DriverApi api;
        api.QuovixGetVersion = row.get;
        EXPECT_EQ(LinesOf(DriverVersionLines(api, row.library)), row.lines);
    }
}

namespace {

struct ChangedRow {
    const char* name;
    uint32_t blockCount;  // erase blocks the chip reports (0: unknown)
    Lines args;
    ExitStatus exit;
    Lines texts;          // standard output, or standard error with --json
    const char* sectors;  // the JSON's sectors and touched, "-" without --json
    const char* touched;
};

class CliChangedWriteTest : public CliAppTest, public ::testing::WithParamInterface<ChangedRow> {};

// The chip holds the file already but for one sector with a set bit.
TEST_P(CliChangedWriteTest, WritesTheDifferingSectorOnlyOrFallsBack) {
    const ChangedRow& row = GetParam();
    const std::vector<uint8_t> image = PatternBytes(70000, 4);
    dir.Write("fw.bin", image);
    std::vector<uint8_t> chip(kChip, 0xFF);
    std::copy(image.begin(), image.end(), chip.begin());
    chip[2 * 4096 + 7] = static_cast<uint8_t>(~image[2 * 4096 + 7]);
    fake.SetChip(chip);
    VelmorEraseBlocks blocks{};
    blocks.count = row.blockCount;
    blocks.size[0] = 4096;
    blocks.opcode[0] = 0x20;
    fake.SetEraseBlocks(blocks);

    const CliRun run = Cli(row.args);
    EXPECT_EQ(run.exit, row.exit);
    const bool json = std::find(row.args.begin(), row.args.end(), "--json") != row.args.end();
    // Standard error also carries the plain progress lines, each with its time left.
    Lines texts;
    for (const std::string& line : json ? LinesOf(run.err) : run.outLines())
        if (line.find("剩余 ") == std::string::npos) texts.push_back(line);
    EXPECT_EQ(texts, row.texts);
    if (json) {
        const nlohmann::json result = nlohmann::json::parse(run.out);
        EXPECT_EQ(result["sectors"].dump(), row.sectors);
        EXPECT_EQ(result["touched"].dump(), row.touched);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliChangedWriteTest,
    ::testing::Values(
        ChangedRow{"OneSectorJson",
                   1,
                   {"--json", "write", "@fw.bin", "--changed"},
                   ExitStatus::Success,
                   {"文件打开成功", "正在差异烧录...", "差异烧录成功，共18个扇区，改写1个..."},
                   "18",
                   "1"},
        ChangedRow{"BlocksUnknownJson",
                   0,
                   {"write", "--changed", "@fw.bin", "--json"},
                   ExitStatus::Success,
                   {"文件打开成功", "芯片擦除块未知，改为自动烧录...", "芯片擦除中...", "芯片擦除成功...",
                    "烧录成功...", "校验成功...", "自动擦除、烧录、校验成功..."},
                   "null",
                   "null"},
        ChangedRow{"OnlyForWrite", 1, {"verify", "--changed", "@fw.bin"}, ExitStatus::Usage, {}, "-", "-"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
