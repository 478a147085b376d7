#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "VelmorTestSupport.h"

namespace velmortest {
namespace {

using VelmorConfiguration = VelmorTest;

// ---- Identity: kind and code ----------------------------------------------------

struct IdentityCase {
    const char* lines;
    int32_t kind;
    int32_t code;
};

class VelmorIdentity : public VelmorTest, public testing::WithParamInterface<IdentityCase> {
protected:
    void SetUp() override {
        VelmorTest::SetUp();
        writeText(
            "chipdb-user.txt",
            "C22015 2M  256 4K:20,64K:D8        3   3.3 BP0,BP1,BP2,BP3 - Macronix MX25L1605D,MX25L1606E\n"
            "C84017 8M  256 4K:20,32K:52,64K:D8 3   3.3 BP0,BP1,BP2     - GigaDevice GD25Q64C\n"
            "EF4020 64M 256 4K:20,32K:52,64K:D8 3/4 3.3 BP0,BP1,BP2,BP3 - Winbond W25Q512JV\n");
    }
};

TEST_P(VelmorIdentity, GetFlashInfoDescribesTheChip) {
    const IdentityCase row = GetParam();
    configure(row.lines);
    const int32_t h = connect();
    int32_t kind = 0;
    int32_t code = 0;
    ASSERT_EQ(api().QuovixGetFlashInfo(h, &kind, &code), 1);
    EXPECT_EQ(kind, row.kind);
    EXPECT_EQ(code, row.code);
}

INSTANTIATE_TEST_SUITE_P(
    ChipSizes, VelmorIdentity,
    testing::Values(IdentityCase{"chip = 25X10\n", 5, 16}, IdentityCase{"chip = 25X20\n", 5, 17},
                    IdentityCase{"chip = 25X40\n", 5, 18}, IdentityCase{"chip = 25X80\n", 5, 19},
                    IdentityCase{"chip = 25X16\n", 5, 20}, IdentityCase{"chip = 25X32\n", 5, 21},
                    IdentityCase{"chip = 25X64\n", 5, 22}, IdentityCase{"chip = 25X128\n", 5, 23},
                    IdentityCase{"chip = 25X256\n", 5, 24}, IdentityCase{"chip = 25x40\n", 5, 18},
                    IdentityCase{"", 5, 19}));

// Database rows come from the work directory's chipdb-user.txt (see SetUp of
// VelmorIdentity below); ids without a row are sized by their SFDP table or not at all.
INSTANTIATE_TEST_SUITE_P(
    CustomJedec, VelmorIdentity,
    testing::Values(IdentityCase{"jedec = C22015\n", 5, 20},                 // database row, 2 MiB
                    IdentityCase{"jedec = c84017\n", 5, 22},                 // GigaDevice GD25Q64, lower case
                    IdentityCase{"jedec = EF4020\n", 5, 25},                 // W25Q512JV, 64 MiB
                    IdentityCase{"jedec = 684018\nchip = 25X128\n", 5, 23},  // no row: SFDP says 16 MiB
                    IdentityCase{"jedec = AB1234\nsfdp = no\n", 1, 0},       // neither: unknown
                    IdentityCase{"jedec = AB1218\nsfdp = no\n", 1, 0},  // capacity byte alone sizes nothing
                    IdentityCase{"jedec = AB1234\n", 5, 19}));  // no row, no power in the id: SFDP sizes it

INSTANTIATE_TEST_SUITE_P(Forced, VelmorIdentity,
                         testing::Values(IdentityCase{"kind = 7\n", 7, 19},
                                         IdentityCase{"code = 300\n", 5, 300},
                                         IdentityCase{"jedec = 123456\nkind = 5\ncode = 18\n", 5, 18},
                                         IdentityCase{"chip = 25X40\nkind = 0\n", 0, 18},
                                         IdentityCase{"code = -1\n", 5, -1}));

TEST_F(VelmorConfiguration, IdOfAMissingChipCountsAsNoChip) {
    for (const char* id : {"FFFFFF", "000000"}) {
        configure(std::string("jedec = ") + id + "\n");
        const int32_t h = open();
        ASSERT_GT(h, 0);
        EXPECT_EQ(api().QuovixSetFlashInfo(h, 5, 0), 0) << id;
        int32_t kind = 0;
        int32_t code = 0;
        EXPECT_EQ(api().QuovixGetFlashInfo(h, &kind, &code), 0) << id;
        close(h);
    }
}

TEST_F(VelmorConfiguration, UnknownChipIsBoundedByTheCallersSize) {
    configure("jedec = 123456\nsfdp = no\n");
    const int32_t h = connect();
    std::vector<uint8_t> buffer(16);
    uint32_t done = 0;
    ASSERT_EQ(api().QuovixSetFlashInfo(h, 5, 65536), 1);
    EXPECT_EQ(api().QuovixRead(h, buffer.data(), 16, 65536 - 16, &done), 1);
    EXPECT_EQ(api().QuovixRead(h, buffer.data(), 16, 65536, &done), 0);
}

// ---- Programmer and chip presence ------------------------------------------------

TEST_F(VelmorConfiguration, AbsentProgrammerIsNotCountedAndDoesNotOpen) {
    configure("programmer = absent\n");
    EXPECT_EQ(api().QuovixEnum(), 0);
    EXPECT_EQ(api().QuovixOpen(0), -1);
}

TEST_F(VelmorConfiguration, FailingSelfTestStillOpens) {
    configure("self_test = fail\n");
    EXPECT_EQ(api().QuovixEnum(), 1);
    const int32_t h = open();
    ASSERT_GT(h, 0);
    EXPECT_EQ(api().QuovixUsbSelfTest(h), 0);
}

TEST_F(VelmorConfiguration, EmptySocketFailsChipSetUpOnly) {
    configure("chip = absent\n");
    EXPECT_EQ(api().QuovixEnum(), 1);
    const int32_t h = open();
    ASSERT_GT(h, 0);
    EXPECT_EQ(api().QuovixUsbSelfTest(h), 1);
    EXPECT_EQ(api().QuovixSetFlashInfo(h, 5, 0), 0);
    EXPECT_EQ(api().QuovixSetWriteTime(h, 5), 1);
    int32_t kind = 0;
    int32_t code = 0;
    EXPECT_EQ(api().QuovixGetFlashInfo(h, &kind, &code), 0);
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(api().QuovixInitFlash(h), 0);
    EXPECT_FALSE(std::filesystem::exists(kChipFile));
}

TEST_F(VelmorConfiguration, IsReadAgainAtEveryEnumAndOpen) {
    EXPECT_EQ(api().QuovixEnum(), 1);
    configure("programmer = absent\n");
    EXPECT_EQ(api().QuovixEnum(), 0);
    configure("programmer = present\nchip = 25X40\n");
    EXPECT_EQ(api().QuovixEnum(), 1);
    int32_t h = connect();
    int32_t kind = 0;
    int32_t code = 0;
    ASSERT_EQ(api().QuovixGetFlashInfo(h, &kind, &code), 1);
    EXPECT_EQ(code, 18);
    // An open connection keeps what it was opened with.
    configure("chip = 25X16\nfail_read_call = 1\n");
    ASSERT_EQ(api().QuovixGetFlashInfo(h, &kind, &code), 1);
    EXPECT_EQ(code, 18);
    EXPECT_EQ(readRange(h, 0, 16).size(), 16u);
    close(h);
    h = connect();
    ASSERT_EQ(api().QuovixGetFlashInfo(h, &kind, &code), 1);
    EXPECT_EQ(code, 20);
    std::vector<uint8_t> buffer(16);
    uint32_t done = 0;
    EXPECT_EQ(api().QuovixRead(h, buffer.data(), 16, 0, &done), 0);
}

TEST_F(VelmorConfiguration, UnusableChipFileLeavesTheSocketEmptyAndSaysWhy) {
    std::filesystem::create_directory(kChipFile);
    StderrCapture capture;
    const int32_t h = open();
    ASSERT_GT(h, 0);
    EXPECT_EQ(api().QuovixSetFlashInfo(h, 5, 0), 0);
    EXPECT_EQ(capture.finish(),
              "velmor: simulated chip unavailable: velmor-sim-chip.bin: cannot open: Is a directory\n");
}

TEST_F(VelmorConfiguration, ChipFileThatIsNotARegularFileIsRefused) {
    std::filesystem::create_symlink("/dev/full", kChipFile);
    StderrCapture capture;
    const int32_t h = open();
    ASSERT_GT(h, 0);
    EXPECT_EQ(api().QuovixSetFlashInfo(h, 5, 0), 0);
    EXPECT_EQ(capture.finish(),
              "velmor: simulated chip unavailable: velmor-sim-chip.bin: not a regular file\n");
}

// ---- Which programmer ------------------------------------------------------------

TEST_F(VelmorConfiguration, WithoutTheFileOnlyRealProgrammersAreDriven) {
    std::filesystem::remove(kConfigFile);
    const int32_t count = api().QuovixEnum();
    if (count > 0) {
        GTEST_SKIP() << "a real programmer is attached to this machine";
    }
    EXPECT_EQ(count, 0);
    EXPECT_LT(api().QuovixOpen(0), 0);
    EXPECT_FALSE(std::filesystem::exists(kChipFile)) << "the simulated chip never stands in";
    configure();
    EXPECT_EQ(api().QuovixEnum(), 1) << "backend = simulator brings it back";
}

// ---- Bad lines -----------------------------------------------------------------

TEST_F(VelmorConfiguration, BadLinesAreReportedOnStandardErrorAndSkipped) {
    writeText(kConfigFile,
              "# simulator\n"
              "block_delay_ms = 0\n"
              "erase_ms = 0\n"
              "colour = blue\n"
              "chip = 25X40\n"
              "short_read = lots\n"
              "just some words\n"
              "chip = 25X99\n"
              "   \n"
              "report_zero = program   # trailing comment\n"
              "backend = simulator\n");
    StderrCapture capture;
    EXPECT_EQ(api().QuovixEnum(), 1);
    const std::string expected =
        "velmor: velmor-sim.conf:4: ignored \"colour = blue\": unknown key \"colour\"\n"
        "velmor: velmor-sim.conf:6: ignored \"short_read = lots\": expected a whole number from 0 to 8192\n"
        "velmor: velmor-sim.conf:7: ignored \"just some words\": expected key = value\n"
        "velmor: velmor-sim.conf:8: ignored \"chip = 25X99\": expected 25X10, 25X20, 25X40, 25X80, 25X16, "
        "25X32, "
        "25X64, 25X128, 25X256 or absent\n";
    EXPECT_EQ(capture.finish(), expected);

    StderrCapture again;
    const int32_t h = connect();
    EXPECT_EQ(again.finish(), expected + expected) << "Enum and Open each read the file again";
    int32_t kind = 0;
    int32_t code = 0;
    ASSERT_EQ(api().QuovixGetFlashInfo(h, &kind, &code), 1);
    EXPECT_EQ(code, 18) << "the good lines still apply";
    std::vector<uint8_t> buffer(8192, 0x42);
    uint32_t done = 5;
    EXPECT_EQ(api().QuovixProgram(h, buffer.data(), 8192, 0, &done), 1);
    EXPECT_EQ(done, 0u) << "report_zero after the bad lines applies";
}

TEST_F(VelmorConfiguration, BinaryGarbageDoesNotCrash) {
    std::string garbage;
    for (int i = 0; i < 2048; ++i) {
        garbage.push_back(static_cast<char>((i * 37) & 0xFF));
    }
    writeText(kConfigFile, garbage + "\nbackend = simulator\n");
    StderrCapture capture;
    EXPECT_EQ(api().QuovixEnum(), 1);
    EXPECT_NE(capture.finish().find("velmor: velmor-sim.conf:"), std::string::npos);
}

// ---- Files that must not be read -----------------------------------------------

TEST_F(VelmorConfiguration, ByteOrderMarkBeforeTheFirstLineIsAccepted) {
    writeText(kConfigFile,
              "\xEF\xBB\xBF"
              "backend = simulator\r\nchip = 25X40\r\nblock_delay_ms = 0\r\nerase_ms = 0\r\n");
    StderrCapture capture;
    const int32_t h = connect();
    int32_t kind = 0;
    int32_t code = 0;
    ASSERT_EQ(api().QuovixGetFlashInfo(h, &kind, &code), 1);
    EXPECT_EQ(code, 18);
    EXPECT_EQ(capture.finish(), "");
}

struct UnusableCase {
    const char* name;
    void (*make)();
    const char* message;
};

void PrintTo(const UnusableCase& c, std::ostream* os) {
    *os << c.name;
}

class VelmorUnusableConfiguration : public VelmorTest, public testing::WithParamInterface<UnusableCase> {};

// Never blocks (a FIFO), never reads without end (a device), never trusts a
// huge file: the defaults, with one message at each Enum and Open. The defaults
// drive real programmers only, so the simulator never answers from such a file.
TEST_P(VelmorUnusableConfiguration, GivesTheDefaultsWithAMessage) {
    std::filesystem::remove(kConfigFile);
    GetParam().make();
    StderrCapture capture;
    EXPECT_EQ(api().QuovixEnum(), 0) << "no simulated programmer without a usable configuration";
    EXPECT_LT(api().QuovixOpen(0), 0);
    const std::string line =
        std::string("velmor: velmor-sim.conf: ") + GetParam().message + "; using the defaults\n";
    EXPECT_EQ(capture.finish(), line + line);
}

INSTANTIATE_TEST_SUITE_P(
    Files, VelmorUnusableConfiguration,
    testing::Values(
        UnusableCase{"Fifo", [] { ASSERT_EQ(::mkfifo(kConfigFile, 0644), 0); }, "not a regular file"},
        UnusableCase{"EndlessDevice", [] { std::filesystem::create_symlink("/dev/zero", kConfigFile); },
                     "not a regular file"},
        UnusableCase{"Directory", [] { std::filesystem::create_directory(kConfigFile); },
                     "not a regular file"},
        UnusableCase{"Oversized",
                     [] { writeText(kConfigFile, "chip = 25X40\n" + std::string(64 * 1024, '#')); },
                     "larger than 65536 bytes"}),
    [](const auto& info) { return std::string(info.param.name); });

// A slip in the configuration (a typo in the chip, which falls back to the
// default 25X80) must not cut a larger chip's file.
TEST_F(VelmorConfiguration, SlipInTheChipKeepsTheLargerChipsContents) {
    configure("chip = 25X32\n");
    int32_t h = connect();
    const std::vector<uint8_t> tail = pattern(kBlock, 21);
    ASSERT_TRUE(programAll(h, tail, 4 * kOneMiB - kBlock));
    close(h);

    configure("chip = 25X3\n");
    h = connect();
    close(h);
    EXPECT_EQ(chipFile().size(), 4 * kOneMiB);

    configure("chip = 25X32\n");
    h = connect();
    EXPECT_EQ(readRange(h, 4 * kOneMiB - kBlock, kBlock), tail);
}

// ---- Delays ----------------------------------------------------------------------

TEST_F(VelmorConfiguration, DelaysDoNotChangeResults) {
    writeText(kConfigFile, "backend = simulator\nblock_delay_ms = 1\nerase_ms = 1\n");
    const int32_t h = connect();
    const std::vector<uint8_t> data = pattern(3 * kBlock, 8);
    ASSERT_TRUE(programAll(h, data));
    EXPECT_EQ(readRange(h, 0, 3 * kBlock), data);
    EXPECT_EQ(api().QuovixInitFlash(h), 1);
    EXPECT_EQ(chipFile(), std::vector<uint8_t>(kOneMiB, 0xFF));
}

}  // namespace
}  // namespace velmortest
