#include <algorithm>

#include "VelmorTestSupport.h"

namespace velmortest {
namespace {

using VelmorFaults = VelmorTest;

enum class Op { Program, Read, Erase };

struct NthCallCase {
    const char* line;
    Op op;
    std::vector<int32_t> results;
};

class VelmorNthCall : public VelmorTest, public testing::WithParamInterface<NthCallCase> {
protected:
    int32_t call(int32_t h, Op op, uint32_t index) {
        std::vector<uint8_t> buffer(kBlock, static_cast<uint8_t>(index));
        uint32_t done = 0;
        switch (op) {
            case Op::Program:
                // Each call on its own block, so every call can succeed on its own.
                return api().QuovixProgram(h, buffer.data(), kBlock, index * kBlock, &done);
            case Op::Read:
                return api().QuovixRead(h, buffer.data(), kBlock, index * kBlock, &done);
            case Op::Erase:
                return api().QuovixInitFlash(h);
        }
        return -1;
    }
};

TEST_P(VelmorNthCall, OnlyTheNthCallOfEachConnectionFails) {
    const NthCallCase row = GetParam();
    configure(std::string(row.line) + "\n");
    for (int connection = 0; connection < 2; ++connection) {
        const int32_t h = connect();
        if (row.op == Op::Program) {
            ASSERT_EQ(api().QuovixInitFlash(h), 1);
        }
        std::vector<int32_t> results;
        for (uint32_t i = 0; i < row.results.size(); ++i) {
            results.push_back(call(h, row.op, i));
        }
        EXPECT_EQ(results, row.results) << "connection " << connection;
        close(h);
    }
}

INSTANTIATE_TEST_SUITE_P(Switches, VelmorNthCall,
                         testing::Values(NthCallCase{"fail_read_call = 3", Op::Read, {1, 1, 0, 1, 1}},
                                         NthCallCase{"fail_read_call = 1", Op::Read, {0, 1, 1}},
                                         NthCallCase{"fail_program_call = 2", Op::Program, {1, 0, 1, 1}},
                                         NthCallCase{"fail_erase_call = 2", Op::Erase, {1, 0, 1}},
                                         NthCallCase{"fail_read_call = 0", Op::Read, {1, 1, 1}}));

TEST_F(VelmorFaults, FailedProgramCallLeavesItsBlockUnwritten) {
    configure("fail_program_call = 2\n");
    const int32_t h = connect();
    const std::vector<uint8_t> data = pattern(3 * kBlock, 6);
    uint32_t done = 0;
    EXPECT_EQ(api().QuovixProgram(h, data.data(), kBlock, 0, &done), 1);
    EXPECT_EQ(api().QuovixProgram(h, data.data() + kBlock, kBlock, kBlock, &done), 0);
    EXPECT_EQ(api().QuovixProgram(h, data.data() + 2 * kBlock, kBlock, 2 * kBlock, &done), 1);
    std::vector<uint8_t> expected(kOneMiB, 0xFF);
    std::copy_n(data.begin(), kBlock, expected.begin());
    std::copy_n(data.begin() + 2 * kBlock, kBlock, expected.begin() + 2 * kBlock);
    EXPECT_EQ(chipFile(), expected);
}

TEST_F(VelmorFaults, FailedFlashInfoLeavesTheAnswerUntouched) {
    configure("fail_flash_info = yes\n");
    const int32_t h = connect();
    int32_t kind = 0;
    int32_t code = 0;
    EXPECT_EQ(api().QuovixGetFlashInfo(h, &kind, &code), 0);
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(code, 0);
}

// ---- Short transfers ----------------------------------------------------------------

TEST_F(VelmorFaults, ShortProgramTakesOnlyTheFirstBytes) {
    configure("short_program = 4096\n");
    const int32_t h = connect();
    const std::vector<uint8_t> data = pattern(kBlock, 11);
    uint32_t done = 0;
    ASSERT_EQ(api().QuovixProgram(h, data.data(), kBlock, 0, &done), 1);
    EXPECT_EQ(done, 4096u);
    std::vector<uint8_t> expected(kOneMiB, 0xFF);
    std::copy_n(data.begin(), 4096, expected.begin());
    EXPECT_EQ(chipFile(), expected);
    // A shorter request than the limit goes through whole.
    ASSERT_EQ(api().QuovixProgram(h, data.data() + 4096, 1000, 4096, &done), 1);
    EXPECT_EQ(done, 1000u);
}

TEST_F(VelmorFaults, ShortReadFillsOnlyWhatItReports) {
    configure("short_read = 4096\n");
    const int32_t h = connect();
    const std::vector<uint8_t> data = pattern(kBlock, 12);
    ASSERT_TRUE(programAll(h, data));
    std::vector<uint8_t> buffer(kBlock, 0x5A);
    uint32_t done = 0;
    ASSERT_EQ(api().QuovixRead(h, buffer.data(), kBlock, 0, &done), 1);
    EXPECT_EQ(done, 4096u);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + 4096, buffer.begin()));
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 4096, buffer.end()), std::vector<uint8_t>(4096, 0x5A));
}

TEST_F(VelmorFaults, ShortTransfersStillMoveAWholeImageWhenTheCallerResumes) {
    configure("short_program = 100\nshort_read = 3000\n");
    const int32_t h = connect();
    const std::vector<uint8_t> data = pattern(20000, 13);
    ASSERT_TRUE(programAll(h, data, 50));
    EXPECT_EQ(readRange(h, 50, 20000), data);
}

// ---- Misreported counts --------------------------------------------------------------

TEST_F(VelmorFaults, ZeroReportsTransferNothing) {
    configure("report_zero = program, read\n");
    const int32_t h = connect();
    const std::vector<uint8_t> data(kBlock, 0x00);
    uint32_t done = 123;
    EXPECT_EQ(api().QuovixProgram(h, data.data(), kBlock, 0, &done), 1);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(chipFile(), std::vector<uint8_t>(kOneMiB, 0xFF));
    std::vector<uint8_t> buffer(kBlock, 0x5A);
    done = 123;
    EXPECT_EQ(api().QuovixRead(h, buffer.data(), kBlock, 0, &done), 1);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(buffer, std::vector<uint8_t>(kBlock, 0x5A));
}

TEST_F(VelmorFaults, ZeroReportCanBeLimitedToOneDirection) {
    configure("report_zero = read\n");
    const int32_t h = connect();
    const std::vector<uint8_t> data(16, 0x00);
    uint32_t done = 0;
    EXPECT_EQ(api().QuovixProgram(h, data.data(), 16, 0, &done), 1);
    EXPECT_EQ(done, 16u);
    std::vector<uint8_t> buffer(16, 0x5A);
    EXPECT_EQ(api().QuovixRead(h, buffer.data(), 16, 0, &done), 1);
    EXPECT_EQ(done, 0u);
}

TEST_F(VelmorFaults, ExtraReportsNeverWriteBeyondTheCallersBuffer) {
    configure("report_extra = program|read\n");
    const int32_t h = connect();
    const std::vector<uint8_t> data = pattern(1000, 14);
    uint32_t done = 0;
    ASSERT_EQ(api().QuovixProgram(h, data.data(), 1000, 0, &done), 1);
    EXPECT_EQ(done, 1000u + 8192u);
    std::vector<uint8_t> expected(kOneMiB, 0xFF);
    std::copy(data.begin(), data.end(), expected.begin());
    EXPECT_EQ(chipFile(), expected);

    std::vector<uint8_t> buffer(1000 + 8192, 0x5A);
    ASSERT_EQ(api().QuovixRead(h, buffer.data(), 1000, 0, &done), 1);
    EXPECT_EQ(done, 1000u + 8192u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), buffer.begin()));
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 1000, buffer.end()), std::vector<uint8_t>(8192, 0x5A));
}

// ---- A chip that never finishes --------------------------------------------------------

TEST_F(VelmorFaults, ChipStuckBusyAfterProgramFailsInsteadOfHanging) {
    configure("stuck_busy = program\n");
    const int32_t h = connect();
    const std::vector<uint8_t> data(kBlock, 0x00);
    uint32_t done = 7;
    EXPECT_EQ(api().QuovixSetWriteTime(h, 500), 1);
    EXPECT_EQ(api().QuovixProgram(h, data.data(), kBlock, 0, &done), 0);
    EXPECT_EQ(done, 7u);
    // The first page went in before the chip hung; nothing after it.
    std::vector<uint8_t> expected(kOneMiB, 0xFF);
    std::fill_n(expected.begin(), 256, 0x00);
    EXPECT_EQ(chipFile(), expected);
    // A fresh connection is a fresh chip.
    close(h);
    configure();
    const int32_t again = connect();
    EXPECT_EQ(api().QuovixProgram(again, data.data() + 256, 256, 256, &done), 1);
}

TEST_F(VelmorFaults, ChipStuckBusyAfterEraseFailsInsteadOfHanging) {
    configure("stuck_busy = erase\n");
    const int32_t h = connect();
    EXPECT_EQ(api().QuovixInitFlash(h), 0);
}

}  // namespace
}  // namespace velmortest
