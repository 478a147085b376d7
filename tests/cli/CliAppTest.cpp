// The command line through the real detection, loader and chip operations, with
// the in-process fake driver: texts, exit statuses, the chip's bytes, the files
// written, the locks and --json.
#include "cli/CliApp.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <sstream>

#include "FakeDriver.h"
#include "TempDir.h"
#include "TempDirectory.h"
#include "cli/CliJob.h"
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
CliRun RunCli(FakeDriver& fake, const TempDirectory& dir, Lines args) {
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
    const ExitStatus exit = RunCommandLine(args, env);
    return {exit, out.Take(), err.Take()};
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
    for (const StatusRow& row : rows) {
        SCOPED_TRACE(row.name);
        FakeDriver driver;
        driver.SetChipSize(kChip);
        row.arrange(driver);
        dir.Write("small.bin", PatternBytes(5000));
        const CliRun run = RunCli(driver, dir, row.args);
        EXPECT_EQ(run.exit, row.exit);
        Lines expected = row.out;
        // The output file's name is part of its failure text.
        for (std::string& line : expected)
            if (line == "文件保存失败: ") line += dir.file("nowhere/out.bin");
        EXPECT_EQ(run.outLines(), expected);
        if (row.exit == ExitStatus::Usage) {
            EXPECT_NE(run.err.find("命令行有误："), std::string::npos) << run.err;
        }
        EXPECT_TRUE(driver.Violations().empty());
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

    // The auto sequence takes the same answer, and its verify stops at the chip's end too.
    const CliRun write = Cli({"--allow-overflow", "write", "@big.bin"});
    EXPECT_EQ(write.exit, ExitStatus::Success);
    EXPECT_EQ(write.outLines(), (Lines{"文件打开成功", "芯片擦除中...", "芯片擦除成功...", question + " 是",
                                       "烧录成功，溢出部分未烧录...", "校验成功,溢出部分未校验...",
                                       "自动擦除、烧录、校验成功..."}));
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

TEST_F(CliAppTest, TheWindowOrAnotherJobOnTheProgrammerKeepsTheJobOff) {
    struct Row {
        const char* name;
        std::string lock;
        bool exclusive;
        ExitStatus exit;
        Lines out;
    };
    const Row rows[] = {
        {"window", InstanceName::Own, true, ExitStatus::NoProgrammer, {"XJQT_Tarlo Flash编程器已经在运行！"}},
        {"sibling",
         InstanceName::Sibling,
         true,
         ExitStatus::NoProgrammer,
         {"请关闭XJQT_Quenby Flash编程器！"}},
        {"job on the programmer",
         ProgrammerLockName(0),
         true,
         ExitStatus::NoProgrammer,
         {"编程器0正由另一个任务使用..."}},
        {"job on another programmer", ProgrammerLockName(1), true, ExitStatus::Success, {"芯片为空..."}},
        {"another job, shared name", InstanceName::Own, false, ExitStatus::Success, {"芯片为空..."}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InstanceLock held(row.lock, dir.path().string());
        ASSERT_EQ(row.exclusive ? held.TryAcquire() : held.TryAcquireShared(),
                  InstanceLock::Result::Acquired);
        const CliRun run = Cli({"blank"});
        EXPECT_EQ(run.exit, row.exit);
        EXPECT_EQ(run.outLines(), row.out);
        EXPECT_EQ(fake.CallCount(FakeEntry::Open), row.exit == ExitStatus::Success ? 1 : 0);
        fake.ClearCalls();
        // A script reading --json gets its object either way.
        const nlohmann::json result = nlohmann::json::parse(Cli({"blank", "--json"}).out);
        EXPECT_EQ(result["exit"], ExitCode(row.exit));
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
