#include <algorithm>
#include <cstring>
#include <thread>

#include "VelmorTestSupport.h"

namespace velmortest {
namespace {

using VelmorEntryPoints = VelmorTest;

TEST_F(VelmorEntryPoints, ProgramReadAndEraseInTheProgramsCallOrder) {
    configure("chip = 25X80\n");
    ASSERT_EQ(api().QuovixEnum(), 1);
    const int32_t h = open();
    ASSERT_GT(h, 0);
    EXPECT_EQ(api().QuovixUsbSelfTest(h), 1);
    EXPECT_EQ(api().QuovixSetFlashInfo(h, 5, 0), 1);
    EXPECT_EQ(api().QuovixSetWriteTime(h, 5), 1);
    int32_t kind = 0;
    int32_t code = 0;
    EXPECT_EQ(api().QuovixGetFlashInfo(h, &kind, &code), 1);
    EXPECT_EQ(kind, 5);
    EXPECT_EQ(code, 19);

    EXPECT_EQ(api().QuovixSetFlashInfo(h, 5, static_cast<int32_t>(kOneMiB)), 1);
    EXPECT_EQ(api().QuovixSetWriteTime(h, 500), 1);
    const std::vector<uint8_t> image = pattern(10000, 1);
    std::vector<uint8_t> transfer(kBlock);
    uint32_t done = 0;
    std::vector<uint32_t> reported;
    while (done < image.size()) {
        const uint32_t block = std::min<uint32_t>(kBlock, static_cast<uint32_t>(image.size()) - done);
        std::memcpy(transfer.data(), image.data() + done, block);
        uint32_t written = done;  // the program passes the address in the done variable
        ASSERT_EQ(api().QuovixProgram(h, transfer.data(), block, done, &written), 1);
        reported.push_back(written);
        done += written;
    }
    EXPECT_EQ(reported, (std::vector<uint32_t>{8192, 1808}));

    std::vector<uint8_t> expected(kOneMiB, 0xFF);
    std::copy(image.begin(), image.end(), expected.begin());
    EXPECT_EQ(chipFile(), expected);

    std::vector<uint8_t> chip;
    for (uint32_t at = 0; at < kOneMiB;) {
        uint32_t got = at;
        ASSERT_EQ(api().QuovixRead(h, transfer.data(), kBlock, at, &got), 1);
        ASSERT_EQ(got, kBlock);
        chip.insert(chip.end(), transfer.begin(), transfer.end());
        at += got;
    }
    EXPECT_EQ(chip, expected);

    EXPECT_EQ(api().QuovixInitFlash(h), 1);
    EXPECT_EQ(chipFile(), std::vector<uint8_t>(kOneMiB, 0xFF));
    EXPECT_EQ(readRange(h, 0, 10000), std::vector<uint8_t>(10000, 0xFF));

    close(h);
    EXPECT_EQ(api().QuovixUsbSelfTest(h), 0);
    uint32_t got = 0;
    EXPECT_EQ(api().QuovixRead(h, transfer.data(), 1, 0, &got), 0);
}

struct NorCase {
    uint8_t first;
    uint8_t second;
    int32_t secondResult;
    uint8_t chipHolds;
};

class VelmorNorSemantics : public VelmorTest, public testing::WithParamInterface<NorCase> {};

TEST_P(VelmorNorSemantics, ProgrammingOnlyClearsBitsAndFailsWhenItWouldSetOne) {
    const NorCase row = GetParam();
    const int32_t h = connect();
    ASSERT_EQ(api().QuovixInitFlash(h), 1);
    const uint32_t address = 0x1230;
    const std::vector<uint8_t> first(16, row.first);
    const std::vector<uint8_t> second(16, row.second);
    uint32_t done = 0;
    ASSERT_EQ(api().QuovixProgram(h, first.data(), 16, address, &done), 1);
    done = 77;
    EXPECT_EQ(api().QuovixProgram(h, second.data(), 16, address, &done), row.secondResult);
    if (row.secondResult == 0) {
        EXPECT_EQ(done, 77u) << "done must stay untouched on failure";
    } else {
        EXPECT_EQ(done, 16u);
    }
    EXPECT_EQ(readRange(h, address, 16), std::vector<uint8_t>(16, row.chipHolds));
    const std::vector<uint8_t> file = chipFile();
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + address, file.begin() + address + 16),
              std::vector<uint8_t>(16, row.chipHolds));
    EXPECT_EQ(file[address - 1], 0xFF);
    EXPECT_EQ(file[address + 16], 0xFF);
}

INSTANTIATE_TEST_SUITE_P(AndOfOldAndNew, VelmorNorSemantics,
                         testing::Values(NorCase{0xF0, 0x30, 1, 0x30}, NorCase{0xF0, 0x0F, 0, 0x00},
                                         NorCase{0xFF, 0xA5, 1, 0xA5}, NorCase{0x00, 0xFF, 0, 0x00},
                                         NorCase{0x5A, 0x5A, 1, 0x5A}, NorCase{0x81, 0x80, 1, 0x80}));

TEST_F(VelmorEntryPoints, EraseSetsEveryByteAfterProgramming) {
    const int32_t h = connect();
    ASSERT_TRUE(programAll(h, pattern(3 * kBlock, 4), 5 * kBlock));
    ASSERT_NE(chipFile(), std::vector<uint8_t>(kOneMiB, 0xFF));
    EXPECT_EQ(api().QuovixInitFlash(h), 1);
    EXPECT_EQ(chipFile(), std::vector<uint8_t>(kOneMiB, 0xFF));
    EXPECT_EQ(readRange(h, 0, kOneMiB), std::vector<uint8_t>(kOneMiB, 0xFF));
}

struct PlacementCase {
    const char* chip;
    uint32_t chipSize;
    uint32_t address;
    uint32_t length;
};

class VelmorPlacement : public VelmorTest, public testing::WithParamInterface<PlacementCase> {};

// Blocks that start mid-page, end mid-page and (on the 32 MiB chip) cross the
// 16 MiB line where four address bytes take over.
TEST_P(VelmorPlacement, BlockLandsExactlyWhereItWasSent) {
    const PlacementCase row = GetParam();
    configure(std::string("chip = ") + row.chip + "\n");
    const int32_t h = connect();
    const std::vector<uint8_t> data = pattern(row.length, row.address);
    uint32_t done = 0;
    ASSERT_EQ(api().QuovixProgram(h, data.data(), row.length, row.address, &done), 1);
    EXPECT_EQ(done, row.length);
    const std::vector<uint8_t> file = chipFile();
    ASSERT_EQ(file.size(), row.chipSize);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), file.begin() + row.address));
    EXPECT_TRUE(std::all_of(file.begin(), file.begin() + row.address, [](uint8_t b) { return b == 0xFF; }));
    EXPECT_TRUE(std::all_of(file.begin() + row.address + row.length, file.end(),
                            [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(readRange(h, row.address, row.length), data);
}

INSTANTIATE_TEST_SUITE_P(PageSplitting, VelmorPlacement,
                         testing::Values(PlacementCase{"25X80", kOneMiB, 100, 8192},
                                         PlacementCase{"25X80", kOneMiB, 255, 2},
                                         PlacementCase{"25X80", kOneMiB, 0, 1},
                                         PlacementCase{"25X80", kOneMiB, kOneMiB - 8192, 8192},
                                         PlacementCase{"25X80", kOneMiB, kOneMiB - 1, 1},
                                         PlacementCase{"25X10", 131072, 131072 - 300, 300},
                                         PlacementCase{"25X256", 32 * kOneMiB, 16 * kOneMiB - 100, 8192},
                                         PlacementCase{"25X256", 32 * kOneMiB, 32 * kOneMiB - 8192, 8192}));

TEST_F(VelmorEntryPoints, ContentsSurviveReloadingTheLibrary) {
    const std::vector<uint8_t> data = pattern(20000, 9);
    int32_t h = connect();
    ASSERT_TRUE(programAll(h, data, 4096));
    const std::vector<uint8_t> before = chipFile();
    reloadLibrary();
    EXPECT_EQ(chipFile(), before);
    h = connect();
    EXPECT_EQ(readRange(h, 4096, 20000), data);
    EXPECT_EQ(readRange(h, 0, 4096), std::vector<uint8_t>(4096, 0xFF));
}

TEST_F(VelmorEntryPoints, ChipFileIsWrittenBeforeTheCallReturns) {
    const int32_t h = connect();
    const std::vector<uint8_t> data = pattern(300, 2);
    uint32_t done = 0;
    ASSERT_EQ(api().QuovixProgram(h, data.data(), 300, 1000, &done), 1);
    // Still open: another reader sees the bytes already.
    const std::vector<uint8_t> file = chipFile();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), file.begin() + 1000));
}

struct ResizeCase {
    const char* chip;
    uint32_t size;
};

class VelmorResize : public VelmorTest, public testing::WithParamInterface<ResizeCase> {};

// A smaller chip uses the file's first bytes and leaves the rest in place; a
// larger one pads it with 0xFF. The file never shrinks.
TEST_P(VelmorResize, ChipFileOfAnotherSizeKeepsEverythingAndPadsWithFF) {
    const ResizeCase row = GetParam();
    const std::vector<uint8_t> old = pattern(kOneMiB, 5);
    writeFile(kChipFile, old);
    configure(std::string("chip = ") + row.chip + "\n");
    const int32_t h = connect();
    std::vector<uint8_t> chip(row.size, 0xFF);
    std::copy_n(old.begin(), std::min(row.size, kOneMiB), chip.begin());
    EXPECT_EQ(readRange(h, 0, row.size), chip);
    std::vector<uint8_t> file = old;
    file.resize(std::max(row.size, kOneMiB), 0xFF);
    EXPECT_EQ(chipFile(), file);
}

INSTANTIATE_TEST_SUITE_P(Sizes, VelmorResize,
                         testing::Values(ResizeCase{"25X10", 131072}, ResizeCase{"25X40", 524288},
                                         ResizeCase{"25X80", kOneMiB}, ResizeCase{"25X16", 2 * kOneMiB}));

TEST_F(VelmorEntryPoints, NewChipIsBlankAndOnlyCreatedWhenOpened) {
    EXPECT_FALSE(std::filesystem::exists(kChipFile));
    EXPECT_EQ(api().QuovixEnum(), 1);
    EXPECT_FALSE(std::filesystem::exists(kChipFile));
    const int32_t h = connect();
    EXPECT_EQ(chipFile(), std::vector<uint8_t>(kOneMiB, 0xFF));
    EXPECT_EQ(readRange(h, kOneMiB - kBlock, kBlock), std::vector<uint8_t>(kBlock, 0xFF));
}

// ---- Connections and handles -------------------------------------------------

TEST_F(VelmorEntryPoints, OpenAcceptsOnlyIndexZeroAndOneConnectionAtATime) {
    EXPECT_EQ(api().QuovixOpen(1), -1);
    EXPECT_EQ(api().QuovixOpen(-1), -1);
    EXPECT_EQ(api().QuovixOpen(INT32_MAX), -1);
    const int32_t first = open();
    ASSERT_GT(first, 0);
    EXPECT_EQ(api().QuovixOpen(0), -1) << "the programmer is in use";
    close(first);
    const int32_t second = open();
    ASSERT_GT(second, 0);
    EXPECT_NE(second, first) << "a stale handle must not reach the new connection";
    EXPECT_EQ(api().QuovixUsbSelfTest(first), 0);
    EXPECT_EQ(api().QuovixUsbSelfTest(second), 1);
}

TEST_F(VelmorEntryPoints, ClosingUnknownHandlesIsHarmless) {
    const int32_t h = connect();
    for (int32_t unknown : {0, -1, h + 1, INT32_MIN, INT32_MAX}) {
        api().QuovixClose(unknown);
    }
    EXPECT_EQ(api().QuovixUsbSelfTest(h), 1);
    EXPECT_EQ(readRange(h, 0, 16), std::vector<uint8_t>(16, 0xFF));
    close(h);
    api().QuovixClose(h);  // twice
    EXPECT_GT(open(), 0);
}

TEST_F(VelmorEntryPoints, CallsOnAHandleThatIsNotOpenFail) {
    const int32_t h = connect();
    std::vector<uint8_t> buffer(16, 0x11);
    uint32_t done = 99;
    int32_t kind = 42;
    int32_t code = 43;
    for (int32_t bad : {0, -1, h + 1}) {
        EXPECT_EQ(api().QuovixUsbSelfTest(bad), 0);
        EXPECT_EQ(api().QuovixSetFlashInfo(bad, 5, 0), 0);
        EXPECT_EQ(api().QuovixSetWriteTime(bad, 5), 0);
        EXPECT_EQ(api().QuovixSetBP1(bad, 1), 0);
        EXPECT_EQ(api().QuovixInitFlash(bad), 0);
        EXPECT_EQ(api().QuovixProgram(bad, buffer.data(), 16, 0, &done), 0);
        EXPECT_EQ(api().QuovixRead(bad, buffer.data(), 16, 0, &done), 0);
        EXPECT_EQ(api().QuovixGetFlashInfo(bad, &kind, &code), 0);
    }
    EXPECT_EQ(done, 99u);
    EXPECT_EQ(buffer, std::vector<uint8_t>(16, 0x11));
    EXPECT_EQ(kind, 42);
    EXPECT_EQ(code, 43);
    EXPECT_EQ(chipFile(), std::vector<uint8_t>(kOneMiB, 0xFF));
}

TEST_F(VelmorEntryPoints, TransfersNeedTheChipSetUpFirst) {
    const int32_t h = open();
    ASSERT_GT(h, 0);
    std::vector<uint8_t> buffer(16, 0);
    uint32_t done = 0;
    EXPECT_EQ(api().QuovixProgram(h, buffer.data(), 16, 0, &done), 0);
    EXPECT_EQ(api().QuovixRead(h, buffer.data(), 16, 0, &done), 0);
    EXPECT_EQ(api().QuovixInitFlash(h), 0);
    ASSERT_EQ(api().QuovixSetFlashInfo(h, 5, 0), 1);
    EXPECT_EQ(api().QuovixRead(h, buffer.data(), 16, 0, &done), 1);
    // Another kind is refused and forgets the set-up.
    EXPECT_EQ(api().QuovixSetFlashInfo(h, 4, 0), 0);
    EXPECT_EQ(api().QuovixRead(h, buffer.data(), 16, 0, &done), 0);
    EXPECT_EQ(api().QuovixSetFlashInfo(h, 5, -1), 0);
    EXPECT_EQ(api().QuovixRead(h, buffer.data(), 16, 0, &done), 0);
}

// ---- Argument checks ------------------------------------------------------------

struct ArgumentCase {
    const char* name;
    bool nullBuffer;
    bool nullDone;
    uint32_t length;
    uint32_t address;
    bool readDelivers = false;  // refused only as a program: a read brings the bytes up to the end
};

class VelmorArguments : public VelmorTest, public testing::WithParamInterface<ArgumentCase> {};

TEST_P(VelmorArguments, RejectedTransferTouchesNothing) {
    const ArgumentCase row = GetParam();
    const int32_t h = connect();
    // Intended size beyond the chip: the chip's own 1 MiB still bounds the addresses.
    ASSERT_EQ(api().QuovixSetFlashInfo(h, 5, 8 * static_cast<int32_t>(kOneMiB)), 1);
    std::vector<uint8_t> buffer(2 * kBlock + 64, 0x3C);
    uint32_t done = 0xDEADBEEF;
    uint8_t* data = row.nullBuffer ? nullptr : buffer.data();
    uint32_t* donePtr = row.nullDone ? nullptr : &done;
    if (row.readDelivers) {
        ASSERT_EQ(api().QuovixRead(h, data, row.length, row.address, donePtr), 1);
        const uint32_t delivered = kOneMiB - row.address;
        EXPECT_EQ(done, delivered);
        EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + delivered),
                  std::vector<uint8_t>(delivered, 0xFF));
        EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + delivered, buffer.end()),
                  std::vector<uint8_t>(buffer.size() - delivered, 0x3C));
        done = 0xDEADBEEF;
    } else {
        EXPECT_EQ(api().QuovixRead(h, data, row.length, row.address, donePtr), 0);
        EXPECT_EQ(buffer, std::vector<uint8_t>(buffer.size(), 0x3C));
    }
    std::fill(buffer.begin(), buffer.end(), 0x00);
    EXPECT_EQ(api().QuovixProgram(h, data, row.length, row.address, donePtr), 0);
    EXPECT_EQ(done, 0xDEADBEEFu);
    EXPECT_EQ(chipFile(), std::vector<uint8_t>(kOneMiB, 0xFF));
}

INSTANTIATE_TEST_SUITE_P(
    Bad, VelmorArguments,
    testing::Values(ArgumentCase{"NullBuffer", true, false, 16, 0},
                    ArgumentCase{"NullDone", false, true, 16, 0},
                    ArgumentCase{"LengthZero", false, false, 0, 0},
                    ArgumentCase{"Length8193", false, false, 8193, 0},
                    ArgumentCase{"LengthHuge", false, false, UINT32_MAX, 0},
                    ArgumentCase{"AddressAtEnd", false, false, 1, kOneMiB},
                    ArgumentCase{"RunsPastEnd", false, false, 8192, kOneMiB - 8191, true},
                    ArgumentCase{"AddressWrapsAround", false, false, 512, UINT32_MAX - 255},
                    ArgumentCase{"FarBeyond", false, false, 16, 0x7FFFFFF0}),
    [](const testing::TestParamInfo<ArgumentCase>& info) { return std::string(info.param.name); });

TEST_F(VelmorEntryPoints, LargestAllowedTransfersSucceedAtTheEdges) {
    const int32_t h = connect();
    std::vector<uint8_t> buffer(kBlock, 0);
    uint32_t done = 0;
    EXPECT_EQ(api().QuovixRead(h, buffer.data(), 8192, kOneMiB - 8192, &done), 1);
    EXPECT_EQ(done, 8192u);
    EXPECT_EQ(api().QuovixRead(h, buffer.data(), 1, kOneMiB - 1, &done), 1);
    EXPECT_EQ(done, 1u);
}

TEST_F(VelmorEntryPoints, ReadWritesOnlyTheRequestedBytes) {
    const int32_t h = connect();
    ASSERT_TRUE(programAll(h, pattern(64, 3)));
    std::vector<uint8_t> buffer(64, 0x77);
    uint32_t done = 0;
    ASSERT_EQ(api().QuovixRead(h, buffer.data(), 1, 0, &done), 1);
    EXPECT_EQ(done, 1u);
    EXPECT_EQ(buffer[0], pattern(64, 3)[0]);
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 1, buffer.end()), std::vector<uint8_t>(63, 0x77));
}

TEST_F(VelmorEntryPoints, GetFlashInfoNeedsBothPointers) {
    const int32_t h = connect();
    int32_t value = 7;
    EXPECT_EQ(api().QuovixGetFlashInfo(h, nullptr, &value), 0);
    EXPECT_EQ(api().QuovixGetFlashInfo(h, &value, nullptr), 0);
    EXPECT_EQ(api().QuovixGetFlashInfo(h, nullptr, nullptr), 0);
    EXPECT_EQ(value, 7);
}

// ---- Block protection -------------------------------------------------------------

TEST_F(VelmorEntryPoints, Bp1IsClearedBeforeAProgramOrAnErase) {
    const int32_t h = connect();
    const std::vector<uint8_t> data(16, 0x00);
    uint32_t done = 0;
    // BP1 guards the upper eighth; the program there clears it first.
    ASSERT_EQ(api().QuovixSetBP1(h, 1), 1);
    EXPECT_EQ(api().QuovixProgram(h, data.data(), 16, kOneMiB - kOneMiB / 8, &done), 1);
    ASSERT_EQ(api().QuovixSetBP1(h, 1), 1);
    EXPECT_EQ(api().QuovixInitFlash(h), 1);
    EXPECT_EQ(chipFile(), std::vector<uint8_t>(kOneMiB, 0xFF));
    ASSERT_EQ(api().QuovixSetBP1(h, 0), 1);
    EXPECT_EQ(api().QuovixProgram(h, data.data(), 16, kOneMiB - 16, &done), 1);
}

TEST_F(VelmorEntryPoints, ProtectionHeldByTheWpPinFailsProgramAndErase) {
    configure("block_protect = 2\nhardware_protect = yes\n");
    const int32_t h = connect();
    const std::vector<uint8_t> data(16, 0x00);
    uint32_t done = 7;
    EXPECT_EQ(api().QuovixProgram(h, data.data(), 16, 0, &done), 0);
    EXPECT_EQ(api().QuovixInitFlash(h), 0);
    EXPECT_EQ(api().QuovixSetBP1(h, 0), 0);
    EXPECT_EQ(done, 7u);
    EXPECT_EQ(chipFile(), std::vector<uint8_t>(kOneMiB, 0xFF));
}

TEST_F(VelmorEntryPoints, LastFailureNamesTheWpPinAndEachCallSetsItAfresh) {
    configure("block_protect = 2\nhardware_protect = yes\n");
    const int32_t h = connect();
    ASSERT_NE(api().QuovixLastFailure, nullptr);
    EXPECT_EQ(api().QuovixLastFailure(), VELMOR_REASON_NONE);
    const std::vector<uint8_t> data(16, 0x00);
    uint32_t done = 0;
    EXPECT_EQ(api().QuovixProgram(h, data.data(), 16, 0, &done), 0);
    EXPECT_EQ(api().QuovixLastFailure(), VELMOR_REASON_WRITE_PROTECTED);
    // Other entry points leave it; a failure of no known cause clears it.
    EXPECT_EQ(api().QuovixSetWriteTime(h, 500), 1);
    EXPECT_EQ(api().QuovixLastFailure(), VELMOR_REASON_WRITE_PROTECTED);
    EXPECT_EQ(api().QuovixProgram(h, nullptr, 16, 0, &done), 0);
    EXPECT_EQ(api().QuovixLastFailure(), VELMOR_REASON_NONE);
    EXPECT_EQ(api().QuovixInitFlash(h), 0);
    EXPECT_EQ(api().QuovixLastFailure(), VELMOR_REASON_WRITE_PROTECTED);
    // Kept per thread: another thread has its own.
    int32_t other = -1;
    std::thread([&] { other = api().QuovixLastFailure(); }).join();
    EXPECT_EQ(other, VELMOR_REASON_NONE);
}

TEST_F(VelmorEntryPoints, AProgrammerThatMayNotBeOpenedIsCountedAndSaysSo) {
    configure("access_denied = yes\n");
    EXPECT_EQ(api().QuovixEnum(), 1);
    EXPECT_EQ(api().QuovixOpen(0), -1);
    EXPECT_EQ(api().QuovixLastFailure(), VELMOR_REASON_ACCESS_DENIED);
    configure();
    const int32_t h = api().QuovixOpen(0);
    EXPECT_GT(h, 0);
    EXPECT_EQ(api().QuovixLastFailure(), VELMOR_REASON_NONE);
    api().QuovixClose(h);
}

TEST_F(VelmorEntryPoints, BlockProtectionSetInTheChipIsClearedBeforeProgramming) {
    configure("block_protect = 7\n");
    const int32_t h = connect();
    const std::vector<uint8_t> data = pattern(300, 4);
    uint32_t done = 0;
    ASSERT_EQ(api().QuovixProgram(h, data.data(), 300, 0x1F0, &done), 1);
    EXPECT_EQ(done, 300u);
    EXPECT_EQ(readRange(h, 0x1F0, 300), data);
}

TEST_F(VelmorEntryPoints, Bp1NeedsAChip) {
    configure("chip = absent\n");
    const int32_t h = open();
    ASSERT_GT(h, 0);
    EXPECT_EQ(api().QuovixSetBP1(h, 1), 0);
}

}  // namespace
}  // namespace velmortest
