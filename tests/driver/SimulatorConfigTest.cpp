#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SimulatorConfig.h"
#include "VelmorTestSupport.h"

namespace velmor {
namespace {

SimulatorConfig parse(const std::string& text, std::vector<std::string>* complaints = nullptr) {
    return parseSimulatorConfig(text, "test.conf", [&](const std::string& message) {
        if (complaints) {
            complaints->push_back(message);
        } else {
            ADD_FAILURE() << "unexpected complaint: " << message;
        }
    });
}

TEST(SimulatorConfigTest, DefaultsAreAWorkingProgrammerWithA25X80AndWatchableDelays) {
    const SimulatorConfig config = parse("");
    EXPECT_TRUE(config.programmerPresent);
    EXPECT_TRUE(config.selfTestPasses);
    ASSERT_NE(config.chip, nullptr);
    EXPECT_EQ(config.chip->name, "25X80");
    EXPECT_EQ(config.effectiveJedecId(), 0xEF3014u);
    EXPECT_EQ(config.blockDelayMs, 20u);
    EXPECT_EQ(config.eraseMs, 1000u);
    EXPECT_EQ(config.stuckBusy, StuckBusy::None);
    EXPECT_EQ(config.faults.failProgramCall, 0u);
    EXPECT_EQ(config.faults.failReadCall, 0u);
    EXPECT_EQ(config.faults.failEraseCall, 0u);
    EXPECT_EQ(config.faults.failEraseBlock, 0u);
    EXPECT_FALSE(config.faults.failFlashInfo);
    EXPECT_EQ(config.faults.shortProgram, 0u);
    EXPECT_EQ(config.faults.shortRead, 0u);
    EXPECT_FALSE(config.faults.zeroProgram || config.faults.zeroRead);
    EXPECT_FALSE(config.faults.extraProgram || config.faults.extraRead);
    EXPECT_FALSE(config.faults.forcedKind);
    EXPECT_FALSE(config.faults.forcedCode);
}

TEST(SimulatorConfigTest, EveryKeySetsItsField) {
    const SimulatorConfig c = parse(
        "programmer = absent\n"
        "self_test = fail\n"
        "chip = 25x64\n"
        "jedec = c22017\n"
        "kind = 9\n"
        "code = -3\n"
        "fail_program_call = 4\n"
        "fail_read_call = 5\n"
        "fail_erase_call = 6\n"
        "fail_erase_block = 11\n"
        "fail_flash_info = on\n"
        "short_program = 4096\n"
        "short_read = 8192\n"
        "report_zero = read\n"
        "report_extra = program\n"
        "block_delay_ms = 7\n"
        "erase_ms = 8\n"
        "stuck_busy = erase\n");
    EXPECT_FALSE(c.programmerPresent);
    EXPECT_FALSE(c.selfTestPasses);
    ASSERT_NE(c.chip, nullptr);
    EXPECT_EQ(c.chip->size, 8u << 20);
    EXPECT_EQ(c.effectiveJedecId(), 0xC22017u);
    EXPECT_EQ(c.faults.forcedKind, 9);
    EXPECT_EQ(c.faults.forcedCode, -3);
    EXPECT_EQ(c.faults.failProgramCall, 4u);
    EXPECT_EQ(c.faults.failReadCall, 5u);
    EXPECT_EQ(c.faults.failEraseCall, 6u);
    EXPECT_EQ(c.faults.failEraseBlock, 11u);
    EXPECT_TRUE(c.faults.failFlashInfo);
    EXPECT_EQ(c.faults.shortProgram, 4096u);
    EXPECT_EQ(c.faults.shortRead, 8192u);
    EXPECT_FALSE(c.faults.zeroProgram);
    EXPECT_TRUE(c.faults.zeroRead);
    EXPECT_TRUE(c.faults.extraProgram);
    EXPECT_FALSE(c.faults.extraRead);
    EXPECT_EQ(c.blockDelayMs, 7u);
    EXPECT_EQ(c.eraseMs, 8u);
    EXPECT_EQ(c.stuckBusy, StuckBusy::Erase);
}

// The example shipped beside the library: every key line it offers, uncommented,
// is one the parser takes.
TEST(SimulatorConfigTest, ExampleFileOffersOnlyKeysTheParserTakes) {
    std::ifstream in(std::string(FLASH_SOURCE_DIR) + "/driver/velmor-sim.conf.example");
    ASSERT_TRUE(in) << "example missing";
    std::string text;
    std::set<std::string> keys;
    for (std::string line; std::getline(in, line);) {
        const std::regex offered(R"(^# ([a-z_0-9]+) = .*)");
        std::smatch match;
        if (std::regex_match(line, match, offered)) {
            keys.insert(match[1]);
            line = line.substr(2);
        }
        text += line + "\n";
    }
    std::vector<std::string> complaints;
    parse(text, &complaints);
    EXPECT_EQ(complaints, std::vector<std::string>{});
    for (const char* key : {"devices", "sfdp", "jedec", "fail_erase_block", "stuck_busy", "report_zero",
                            "report_extra", "hardware_protect", "access_denied", "spi_clock_khz"}) {
        EXPECT_EQ(keys.count(key), 1u) << key;
    }
}

TEST(SimulatorConfigTest, LayoutCommentsCaseAndRepeats) {
    const SimulatorConfig c = parse(
        "# comment\r\n"
        "\r\n"
        "  CHIP   =   25X10   # inline\r\n"
        "\tchip=25X20\n"
        "report_zero = Program | READ\n"
        "report_extra = program,read\n"
        "report_extra = none\n"
        "chip = absent");  // no final newline
    EXPECT_EQ(c.chip, nullptr);
    EXPECT_TRUE(c.faults.zeroProgram);
    EXPECT_TRUE(c.faults.zeroRead);
    EXPECT_FALSE(c.faults.extraProgram);
    EXPECT_FALSE(c.faults.extraRead);
    EXPECT_EQ(c.effectiveJedecId(), 0xFFFFFFu);
}

TEST(SimulatorConfigTest, SwitchWordsAndBooleans) {
    for (const char* yes : {"yes", "true", "on", "1", "YES"}) {
        EXPECT_TRUE(parse(std::string("fail_flash_info = ") + yes).faults.failFlashInfo) << yes;
    }
    for (const char* no : {"no", "false", "off", "0"}) {
        EXPECT_FALSE(
            parse(std::string("fail_flash_info = yes\nfail_flash_info = ") + no).faults.failFlashInfo)
            << no;
    }
    EXPECT_EQ(parse("stuck_busy = program").stuckBusy, StuckBusy::Program);
    EXPECT_EQ(parse("stuck_busy = program\nstuck_busy = none").stuckBusy, StuckBusy::None);
    EXPECT_TRUE(parse("programmer = absent\nprogrammer = present").programmerPresent);
    EXPECT_TRUE(parse("self_test = fail\nself_test = ok").selfTestPasses);
}

struct BadLine {
    const char* line;
    const char* reason;
};

class SimulatorConfigBadLine : public testing::TestWithParam<BadLine> {};

TEST_P(SimulatorConfigBadLine, IsReportedWithFileLineAndTextAndChangesNothing) {
    const BadLine row = GetParam();
    std::vector<std::string> complaints;
    const SimulatorConfig c = parse(std::string("# first\n") + row.line + "\n", &complaints);
    ASSERT_EQ(complaints.size(), 1u);
    EXPECT_EQ(complaints[0], std::string("test.conf:2: ignored \"") + row.line + "\": " + row.reason);
    const SimulatorConfig defaults = parse("");
    EXPECT_EQ(c.programmerPresent, defaults.programmerPresent);
    EXPECT_EQ(c.chip, defaults.chip);
    EXPECT_EQ(c.jedecId, defaults.jedecId);
    EXPECT_EQ(c.faults.shortRead, 0u);
    EXPECT_EQ(c.faults.failReadCall, 0u);
    EXPECT_EQ(c.blockDelayMs, defaults.blockDelayMs);
    EXPECT_FALSE(c.faults.forcedKind);
    EXPECT_EQ(c.stuckBusy, StuckBusy::None);
}

INSTANTIATE_TEST_SUITE_P(
    Rejected, SimulatorConfigBadLine,
    testing::Values(BadLine{"colour = blue", "unknown key \"colour\""},
                    BadLine{"just words", "expected key = value"}, BadLine{"= 5", "expected key = value"},
                    BadLine{"chip =", "no value for \"chip\""},
                    BadLine{"programmer = maybe", "expected present or absent"},
                    BadLine{"self_test = pass", "expected ok or fail"},
                    BadLine{
                        "chip = 25X512",
                        "expected 25X10, 25X20, 25X40, 25X80, 25X16, 25X32, 25X64, 25X128, 25X256 or absent"},
                    BadLine{"jedec = EF30", "expected six hexadecimal digits, e.g. EF3014"},
                    BadLine{"jedec = EF30145", "expected six hexadecimal digits, e.g. EF3014"},
                    BadLine{"jedec = EFG014", "expected six hexadecimal digits, e.g. EF3014"},
                    BadLine{"kind = five", "expected a whole number"},
                    BadLine{"kind = 99999999999", "expected a whole number"},
                    BadLine{"fail_read_call = -1", "expected a whole number from 0 to 4294967295"},
                    BadLine{"fail_read_call = 3x", "expected a whole number from 0 to 4294967295"},
                    BadLine{"short_read = 8193", "expected a whole number from 0 to 8192"},
                    BadLine{"short_program = 1.5", "expected a whole number from 0 to 8192"},
                    BadLine{"block_delay_ms = 60001", "expected a whole number from 0 to 60000"},
                    BadLine{"erase_ms = 600001", "expected a whole number from 0 to 600000"},
                    BadLine{"fail_flash_info = perhaps", "expected yes or no"},
                    BadLine{"report_zero = write", "expected program, read, program,read or none"},
                    BadLine{"report_extra = none,read", "expected program, read, program,read or none"},
                    BadLine{"report_extra = ,", "expected program, read, program,read or none"},
                    BadLine{"stuck_busy = always", "expected none, program or erase"}));

TEST(SimulatorConfigTest, GoodLinesAroundBadOnesStillApply) {
    std::vector<std::string> complaints;
    const SimulatorConfig c = parse("chip = 25X40\nnonsense\nshort_read = 100\n", &complaints);
    EXPECT_EQ(complaints,
              std::vector<std::string>{"test.conf:2: ignored \"nonsense\": expected key = value"});
    EXPECT_EQ(c.chip->name, "25X40");
    EXPECT_EQ(c.faults.shortRead, 100u);
}

TEST(SimulatorConfigTest, MissingFileGivesTheDefaults) {
    const SimulatorConfig c = loadSimulatorConfig("/nonexistent/velmor-sim.conf");
    EXPECT_TRUE(c.programmerPresent);
    EXPECT_EQ(c.chip->name, "25X80");
}

TEST(SimulatorConfigTest, ByteOrderMarkBeforeTheFirstLineIsSkipped) {
    const SimulatorConfig c = parse(
        "\xEF\xBB\xBF"
        "chip = 25X32\r\nshort_read = 7\r\n");
    ASSERT_NE(c.chip, nullptr);
    EXPECT_EQ(c.chip->name, "25X32");
    EXPECT_EQ(c.faults.shortRead, 7u);

    // Only at the very start: elsewhere it is part of the line.
    std::vector<std::string> complaints;
    parse(
        "chip = 25X32\n\xEF\xBB\xBF"
        "chip = 25X40\n",
        &complaints);
    ASSERT_EQ(complaints.size(), 1u);
    EXPECT_EQ(complaints[0].rfind("test.conf:2: ignored", 0), 0u) << complaints[0];
}

// Files the loader must not read: each gives the defaults and one complaint,
// without blocking on a FIFO or reading a device without end.
struct UnusableConfigCase {
    const char* name;
    void (*make)();  // creates velmor-sim.conf in the current directory
    const char* complaint;
};

void PrintTo(const UnusableConfigCase& c, std::ostream* os) {
    *os << c.name;
}

class SimulatorConfigUnusableFile : public testing::TestWithParam<UnusableConfigCase> {};

TEST_P(SimulatorConfigUnusableFile, GivesTheDefaultsWithOneComplaint) {
    TempDirectory dir{TempUse::AsCurrent};
    GetParam().make();
    std::vector<std::string> complaints;
    const SimulatorConfig c =
        loadSimulatorConfig("velmor-sim.conf", [&](const std::string& m) { complaints.push_back(m); });
    EXPECT_EQ(complaints, std::vector<std::string>{GetParam().complaint});
    ASSERT_NE(c.chip, nullptr);
    EXPECT_EQ(c.chip->name, "25X80");
    EXPECT_EQ(c.blockDelayMs, 20u);
}

// Comment lines after a good first line, up to `size` bytes in all.
void writeConfigOfSize(size_t size) {
    std::string text = "chip = 25X40\n";
    while (text.size() < size) text += std::string(std::min<size_t>(size - text.size(), 100), '#') + "\n";
    text.resize(size);
    velmortest::writeText("velmor-sim.conf", text);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SimulatorConfigUnusableFile,
    testing::Values(
        UnusableConfigCase{"Fifo", [] { ASSERT_EQ(::mkfifo("velmor-sim.conf", 0644), 0); },
                           "velmor-sim.conf: not a regular file; using the defaults"},
        UnusableConfigCase{"EndlessDevice",
                           [] { std::filesystem::create_symlink("/dev/zero", "velmor-sim.conf"); },
                           "velmor-sim.conf: not a regular file; using the defaults"},
        UnusableConfigCase{"Directory", [] { std::filesystem::create_directory("velmor-sim.conf"); },
                           "velmor-sim.conf: not a regular file; using the defaults"},
        UnusableConfigCase{
            "SymlinkLoop", [] { std::filesystem::create_symlink("velmor-sim.conf", "velmor-sim.conf"); },
            "velmor-sim.conf: cannot open: Too many levels of symbolic links; using the defaults"},
        UnusableConfigCase{"OneByteTooLarge", [] { writeConfigOfSize(kMaxSimulatorConfigBytes + 1); },
                           "velmor-sim.conf: larger than 65536 bytes; using the defaults"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimulatorConfigTest, FileOfTheLargestSizeIsRead) {
    TempDirectory dir{TempUse::AsCurrent};
    writeConfigOfSize(kMaxSimulatorConfigBytes);
    const SimulatorConfig c = loadSimulatorConfig(
        "velmor-sim.conf", [](const std::string& m) { ADD_FAILURE() << "unexpected complaint: " << m; });
    ASSERT_NE(c.chip, nullptr);
    EXPECT_EQ(c.chip->name, "25X40");
}

}  // namespace
}  // namespace velmor

namespace velmor {
namespace {

TEST(SimulatorConfigDevicesTest, DevicesAttachSeveralProgrammersEachWithItsOwnChipFile) {
    struct Row {
        const char* text;
        uint32_t devices;
        bool complaint;
    };
    const Row rows[] = {
        {"", 1, false},           {"devices = 3", 3, false}, {"DEVICES = 16", 16, false},
        {"devices = 0", 1, true}, {"devices = 17", 1, true}, {"devices = two", 1, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        std::vector<std::string> complaints;
        const SimulatorConfig c = parseSimulatorConfig(
            row.text, "test.conf", [&](const std::string& m) { complaints.push_back(m); });
        EXPECT_EQ(c.devices, row.devices);
        ASSERT_EQ(complaints.size(), row.complaint ? 1u : 0u);
        if (row.complaint) {
            EXPECT_EQ(complaints[0], std::string("test.conf:1: ignored \"") + row.text +
                                         "\": expected a whole number from 1 to 16");
        }
    }
    EXPECT_EQ(simulatedChipFile(0), "velmor-sim-chip.bin");
    EXPECT_EQ(simulatedChipFile(1), "velmor-sim-chip-1.bin");
    EXPECT_EQ(simulatedChipFile(15), "velmor-sim-chip-15.bin");
}

}  // namespace
}  // namespace velmor
