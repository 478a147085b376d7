// The calling contract the program relies on, run against both stand-ins for the
// programmer: the in-process fake the operation tests use, and the real driver
// library over its simulator. If the two drift apart, one of them fails here.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

#include "FakeDriver.h"
#include "TempDirectory.h"
#include "platform/DriverApi.h"
#include "platform/DriverLibrary.h"

namespace {

constexpr uint32_t kChipSize = 131072;

class DriverUnderTest {
public:
    virtual ~DriverUnderTest() = default;
    virtual DriverApi Api() = 0;
};

class FakeUnderTest : public DriverUnderTest {
public:
    FakeUnderTest() { m_fake.SetChipSize(kChipSize, 0x5A); }
    DriverApi Api() override { return m_fake.Api(); }

private:
    FakeDriver m_fake;
};

// The simulator reads its set-up from the current directory: a 25X10 chip, no delays.
class RealUnderTest : public DriverUnderTest {
public:
    RealUnderTest() {
        std::ofstream(m_dir.file("velmor-sim.conf"))
            << "backend = simulator\nchip = 25X10\nblock_delay_ms = 0\nerase_ms = 0\n";
        m_loaded = m_library.LoadFrom(VELMOR_LIBRARY_PATH);
    }
    ~RealUnderTest() override { m_library.Unload(); }
    DriverApi Api() override { return m_loaded ? m_library.Bind() : DriverApi{}; }

private:
    TempDirectory m_dir{TempUse::AsCurrent};
    DriverLibrary m_library;
    bool m_loaded = false;
};

enum class Kind { Fake, Real };

void PrintTo(Kind kind, std::ostream* os) {
    *os << (kind == Kind::Fake ? "Fake" : "RealLibrary");
}

class DriverContractTest : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        if (GetParam() == Kind::Fake)
            m_driver = std::make_unique<FakeUnderTest>();
        else
            m_driver = std::make_unique<RealUnderTest>();
        api = m_driver->Api();
        ASSERT_NE(api.QuovixEnum, nullptr);
        ASSERT_NE(api.QuovixRead, nullptr);
    }
    void TearDown() override {
        if (handle > 0) api.QuovixClose(handle);
    }
    // The connection check the program makes; true when the chip is ready.
    bool Connect() {
        if (api.QuovixEnum() <= 0) return false;
        handle = api.QuovixOpen(0);
        return handle > 0 && api.QuovixUsbSelfTest(handle) && api.QuovixSetFlashInfo(handle, 5, 0) &&
               api.QuovixSetWriteTime(handle, 5);
    }
    int64_t Read(uint8_t* buffer, uint32_t length, uint32_t address) {
        uint32_t done = address;
        return api.QuovixRead(handle, buffer, length, address, &done) ? static_cast<int64_t>(done) : -1;
    }
    int64_t Program(const uint8_t* data, uint32_t length, uint32_t address) {
        uint32_t done = address;
        return api.QuovixProgram(handle, data, length, address, &done) ? static_cast<int64_t>(done) : -1;
    }

    DriverApi api;
    int32_t handle = 0;

private:
    std::unique_ptr<DriverUnderTest> m_driver;
};

TEST_P(DriverContractTest, EveryEntryPointIsBound) {
    EXPECT_NE(api.QuovixOpen, nullptr);
    EXPECT_NE(api.QuovixClose, nullptr);
    EXPECT_NE(api.QuovixUsbSelfTest, nullptr);
    EXPECT_NE(api.QuovixSetBP1, nullptr);
    EXPECT_NE(api.QuovixSetFlashInfo, nullptr);
    EXPECT_NE(api.QuovixSetWriteTime, nullptr);
    EXPECT_NE(api.QuovixInitFlash, nullptr);
    EXPECT_NE(api.QuovixProgram, nullptr);
    EXPECT_NE(api.QuovixGetFlashInfo, nullptr);
}

TEST_P(DriverContractTest, ConnectionCheckAndChipIdentity) {
    ASSERT_TRUE(Connect());
    int32_t kind = 0;
    int32_t code = 0;
    ASSERT_NE(api.QuovixGetFlashInfo(handle, &kind, &code), 0);
    EXPECT_EQ(kind, 5);
    EXPECT_EQ(code & 255, 16);
    EXPECT_NE(api.QuovixSetFlashInfo(handle, 5, static_cast<int32_t>(kChipSize)), 0);
    EXPECT_NE(api.QuovixSetWriteTime(handle, 500), 0);
}

TEST_P(DriverContractTest, EraseLeavesEveryByteFF) {
    ASSERT_TRUE(Connect());
    ASSERT_NE(api.QuovixInitFlash(handle), 0);
    std::vector<uint8_t> block(8192);
    for (uint32_t at = 0; at < kChipSize; at += 8192) {
        ASSERT_EQ(Read(block.data(), 8192, at), 8192) << at;
        ASSERT_TRUE(std::all_of(block.begin(), block.end(), [](uint8_t b) { return b == 0xFF; })) << at;
    }
}

TEST_P(DriverContractTest, ProgrammedBlockReadsBackAndLeavesItsNeighbours) {
    ASSERT_TRUE(Connect());
    ASSERT_NE(api.QuovixInitFlash(handle), 0);
    std::vector<uint8_t> data(8192);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
    EXPECT_EQ(Program(data.data(), 8192, 8192), 8192);
    std::vector<uint8_t> back(8192);
    EXPECT_EQ(Read(back.data(), 8192, 8192), 8192);
    EXPECT_EQ(back, data);
    EXPECT_EQ(Read(back.data(), 8192, 0), 8192);
    EXPECT_TRUE(std::all_of(back.begin(), back.end(), [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(Read(back.data(), 8192, 16384), 8192);
    EXPECT_TRUE(std::all_of(back.begin(), back.end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST_P(DriverContractTest, ProgrammingOnlyClearsBitsAndFailsWhenItWouldSetOne) {
    ASSERT_TRUE(Connect());
    ASSERT_NE(api.QuovixInitFlash(handle), 0);
    const uint8_t first[4] = {0xF0, 0xF0, 0xFF, 0x00};
    const uint8_t fewerBits[4] = {0x30, 0xF0, 0x0F, 0x00};
    const uint8_t moreBits[4] = {0x3C, 0xFF, 0x0F, 0xFF};
    EXPECT_EQ(Program(first, 4, 100), 4);
    EXPECT_EQ(Program(fewerBits, 4, 100), 4);
    EXPECT_EQ(Program(moreBits, 4, 100), -1);
    uint8_t back[4] = {};
    EXPECT_EQ(Read(back, 4, 100), 4);
    EXPECT_EQ(std::vector<uint8_t>(back, back + 4), (std::vector<uint8_t>{0x30, 0xF0, 0x0F, 0x00}));
}

TEST_P(DriverContractTest, ReadDeliversNoMoreThanAsked) {
    ASSERT_TRUE(Connect());
    ASSERT_NE(api.QuovixInitFlash(handle), 0);
    uint8_t buffer[4] = {0x11, 0x22, 0x33, 0x44};
    EXPECT_EQ(Read(buffer, 1, 5), 1);
    EXPECT_EQ(buffer[0], 0xFF);
    EXPECT_EQ(buffer[1], 0x22);
}

// A read that runs past the chip's end delivers what lies up to the end and
// reports that count; one that starts at or past the end fails and leaves the
// buffer and the count alone.
struct EdgeRead {
    const char* name;
    uint32_t fromEnd;  // address = chip size - fromEnd (wrapping for the far cases)
    uint32_t length;
    int64_t delivered;  // -1: the call fails
};

TEST_P(DriverContractTest, ReadsAcrossTheChipsEndDeliverUpToTheEnd) {
    ASSERT_TRUE(Connect());
    ASSERT_NE(api.QuovixInitFlash(handle), 0);
    const EdgeRead rows[] = {
        {"whole last block", 8192, 8192, 8192},
        {"half past the end", 4096, 8192, 4096},
        {"last byte", 1, 8192, 1},
        {"odd remainder", 300, 1000, 300},
        {"at the end", 0, 1, -1},
        {"past the end", 0u - 16u, 16, -1},
        {"wrapping address", kChipSize + 1, 8192, -1},
    };
    for (const EdgeRead& row : rows) {
        const uint32_t address = kChipSize - row.fromEnd;
        std::vector<uint8_t> buffer(8192, 0x3C);
        uint32_t done = address;
        const int32_t ok = api.QuovixRead(handle, buffer.data(), row.length, address, &done);
        if (row.delivered < 0) {
            EXPECT_EQ(ok, 0) << row.name;
            EXPECT_EQ(done, address) << row.name;
            EXPECT_EQ(buffer, std::vector<uint8_t>(8192, 0x3C)) << row.name;
            continue;
        }
        ASSERT_NE(ok, 0) << row.name;
        EXPECT_EQ(done, static_cast<uint32_t>(row.delivered)) << row.name;
        const auto end = buffer.begin() + row.delivered;
        EXPECT_TRUE(std::all_of(buffer.begin(), end, [](uint8_t b) { return b == 0xFF; })) << row.name;
        EXPECT_TRUE(std::all_of(end, buffer.end(), [](uint8_t b) { return b == 0x3C; })) << row.name;
    }
}

// Programming is not cut short at the end: a block that does not fit fails and
// writes nothing, so no data is silently dropped.
TEST_P(DriverContractTest, ProgramAcrossTheChipsEndFailsAndWritesNothing) {
    ASSERT_TRUE(Connect());
    ASSERT_NE(api.QuovixInitFlash(handle), 0);
    const std::vector<uint8_t> data(8192, 0x00);
    EXPECT_EQ(Program(data.data(), 8192, kChipSize - 4096), -1);
    EXPECT_EQ(Program(data.data(), 1, kChipSize), -1);
    std::vector<uint8_t> back(8192, 0x00);
    ASSERT_EQ(Read(back.data(), 8192, kChipSize - 8192), 8192);
    EXPECT_TRUE(std::all_of(back.begin(), back.end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST_P(DriverContractTest, ClosedConnectionRefusesWork) {
    ASSERT_TRUE(Connect());
    api.QuovixClose(handle);
    const int32_t closed = handle;
    handle = 0;
    uint8_t buffer[16];
    uint32_t done = 0;
    EXPECT_EQ(api.QuovixRead(closed, buffer, 16, 0, &done), 0);
    EXPECT_EQ(api.QuovixInitFlash(closed), 0);
}

// What the library refuses, the fake refuses alike: no test may pass on the fake
// with a call the program would have failed on the real thing.
struct RefusedCall {
    const char* name;
    int32_t result;
    std::function<int32_t(const DriverApi&, int32_t handle)> call;
};

TEST_P(DriverContractTest, RefusedCallsFailAndChangeNothing) {
    ASSERT_TRUE(Connect());
    ASSERT_NE(api.QuovixInitFlash(handle), 0);
    std::vector<uint8_t> kept(8192);
    for (size_t i = 0; i < kept.size(); ++i) kept[i] = static_cast<uint8_t>(i * 13 + 1);
    ASSERT_EQ(Program(kept.data(), 8192, 0), 8192);
    ASSERT_NE(api.QuovixClose(handle), 0);
    handle = 0;

    static const uint8_t zeros[16] = {};
    static uint8_t buffer[16];
    const RefusedCall rows[] = {
        {"Program before SetFlashInfo", 0,
         [](const DriverApi& a, int32_t h) {
             uint32_t done = 0;
             return a.QuovixProgram(h, zeros, 16, 0, &done);
         }},
        {"Read before SetFlashInfo", 0,
         [](const DriverApi& a, int32_t h) {
             uint32_t done = 0;
             return a.QuovixRead(h, buffer, 16, 0, &done);
         }},
        {"InitFlash before SetFlashInfo", 0,
         [](const DriverApi& a, int32_t h) { return a.QuovixInitFlash(h); }},
        {"SetFlashInfo of kind 4", 0,
         [](const DriverApi& a, int32_t h) { return a.QuovixSetFlashInfo(h, 4, 0); }},
        {"InitFlash after a refused SetFlashInfo", 0,
         [](const DriverApi& a, int32_t h) {
             a.QuovixSetFlashInfo(h, 5, 0);
             a.QuovixSetFlashInfo(h, 1, 0);
             return a.QuovixInitFlash(h);
         }},
        {"second Open", -1, [](const DriverApi& a, int32_t) { return a.QuovixOpen(0); }},
        {"GetFlashInfo without kind", 0,
         [](const DriverApi& a, int32_t h) {
             int32_t code = 0;
             return a.QuovixGetFlashInfo(h, nullptr, &code);
         }},
        {"GetFlashInfo without code", 0,
         [](const DriverApi& a, int32_t h) {
             int32_t kind = 0;
             return a.QuovixGetFlashInfo(h, &kind, nullptr);
         }},
        {"Close of an unknown handle", 0,
         [](const DriverApi& a, int32_t h) { return a.QuovixClose(h + 1000); }},
    };
    for (const RefusedCall& row : rows) {
        ASSERT_GT(api.QuovixEnum(), 0) << row.name;
        handle = api.QuovixOpen(0);
        ASSERT_GT(handle, 0) << row.name;
        ASSERT_NE(api.QuovixUsbSelfTest(handle), 0) << row.name;
        EXPECT_EQ(row.call(api, handle), row.result) << row.name;
        // The connection still works and the chip holds what it held.
        ASSERT_NE(api.QuovixSetFlashInfo(handle, 5, 0), 0) << row.name;
        std::vector<uint8_t> back(8192);
        EXPECT_EQ(Read(back.data(), 8192, 0), 8192) << row.name;
        EXPECT_EQ(back, kept) << row.name;
        EXPECT_NE(api.QuovixClose(handle), 0) << row.name;
        handle = 0;
    }
}

INSTANTIATE_TEST_SUITE_P(Drivers, DriverContractTest, ::testing::Values(Kind::Fake, Kind::Real),
                         [](const auto& info) { return info.param == Kind::Fake ? "Fake" : "RealLibrary"; });

}  // namespace
