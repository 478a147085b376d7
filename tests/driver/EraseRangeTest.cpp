// Erasing a range by the chip's erase blocks, through the Driver behind the
// entry points, on a simulated chip whose commands are written down.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <velmor.h>

#include "Driver.h"
#include "LastFailure.h"
#include "SimulatedProgrammer.h"
#include "SpiOpcodes.h"

namespace velmor {
namespace {

constexpr uint32_t kMiB = 1024 * 1024;

// The chips of these tests: 3-byte, 3/4-byte with an erase opcode that has no
// four-byte form, and a 4-byte-only part.
constexpr const char* kRows =
    "EF4017 8M  256 4K:20,32K:52,64K:D8   3   3.3 BP0,BP1,BP2,TB 20 Winbond W25Q64FV\n"
    "EF4019 32M 256 4K:20,32K:52,64K:D8   3/4 3.3 -              80 Winbond W25Q256FV\n"
    "C22019 32M 256 4K:20,64K:D8,256K:D9  3/4 3.3 -              -  Test    T25ODD\n"
    "C22016 4M  256 4K:20,256K:D9         4   3.3 -              -  Test    T25FOUR\n";

// Writes down every command that changes the chip (status and data reads left
// out) as its bytes in hex; optionally swallows one opcode as a chip that ignores it.
class RecordingTransport : public SpiTransport {
public:
    RecordingTransport(SpiTransport& inner, std::vector<std::string>& log, uint8_t dropped)
        : m_inner(inner), m_log(log), m_dropped(dropped) {}
    bool present() const override { return m_inner.present(); }
    bool selfTest() override { return m_inner.selfTest(); }
    bool command(std::span<const uint8_t> out, std::span<uint8_t> in) override {
        if (!out.empty() && in.empty()) {
            std::string line;
            for (uint8_t byte : out) {
                char hex[4];
                std::snprintf(hex, sizeof hex, "%s%02X", line.empty() ? "" : " ", byte);
                line += hex;
            }
            m_log.push_back(line);
        }
        if (!out.empty() && m_dropped != 0 && out[0] == m_dropped) {
            return true;
        }
        return m_inner.command(out, in);
    }
    void delayUs(uint32_t us) override { m_inner.delayUs(us); }
    bool flush() override { return m_inner.flush(); }
    size_t maxReadLength() const override { return m_inner.maxReadLength(); }
    size_t maxWriteLength() const override { return m_inner.maxWriteLength(); }

private:
    SpiTransport& m_inner;
    std::vector<std::string>& m_log;
    uint8_t m_dropped;
};

class OneChipBackend : public ProgrammerBackend {
public:
    OneChipBackend(uint32_t jedec, uint32_t size, const ChipDatabase& database, uint8_t fill)
        : programmer(SimulatedProgrammer::Settings{},
                     std::make_unique<SimulatedChip>(simulatedChipModel(jedec, size, false, database),
                                                     std::vector<uint8_t>(size, fill), nullptr)) {}
    int32_t count() override { return 1; }
    std::optional<OpenedProgrammer> open(int32_t) override {
        return OpenedProgrammer{std::make_unique<RecordingTransport>(programmer, log, dropped), faults};
    }

    SimulatedProgrammer programmer;
    std::vector<std::string> log;
    uint8_t dropped = 0;
    FaultPlan faults;
};

class EraseRangeTest : public testing::Test {
protected:
    void attach(uint32_t jedec, uint32_t size, uint8_t fill = 0x00) {
        auto database = std::make_shared<ChipDatabase>();
        database->addText(kRows, "rows", [](const std::string& complaint) { ADD_FAILURE() << complaint; });
        auto owned = std::make_unique<OneChipBackend>(jedec, size, *database, fill);
        backend = owned.get();
        driver = std::make_unique<Driver>(std::move(owned), [database] { return database; });
    }
    int32_t connect(bool setUp = true) {
        const int32_t h = driver->open(0);
        EXPECT_GT(h, 0);
        if (setUp) {
            EXPECT_EQ(driver->setFlashInfo(h, 5, static_cast<int32_t>(chip().size())), 1);
        }
        backend->log.clear();
        return h;
    }
    SimulatedChip& chip() { return *backend->programmer.chip(); }
    // Bytes of the chip at 0xFF, and where the first lies.
    std::pair<size_t, size_t> blank() {
        const auto c = chip().contents();
        return {static_cast<size_t>(std::count(c.begin(), c.end(), uint8_t{0xFF})),
                static_cast<size_t>(std::find(c.begin(), c.end(), uint8_t{0xFF}) - c.begin())};
    }

    OneChipBackend* backend = nullptr;
    std::unique_ptr<Driver> driver;
};

using Log = std::vector<std::string>;

struct WireCase {
    const char* what;
    uint32_t jedec;
    uint32_t size;
    uint32_t address;
    uint32_t length;
    Log wire;
};

class EraseRangeWire : public EraseRangeTest, public testing::WithParamInterface<WireCase> {};

// At each step the largest block that starts there and fits in what remains.
TEST_P(EraseRangeWire, SendsTheLargestAlignedBlockThatFits) {
    const WireCase& c = GetParam();
    attach(c.jedec, c.size, 0xFF);
    const int32_t h = connect();
    uint32_t done = 0;
    EXPECT_EQ(driver->eraseRange(h, c.address, c.length, &done), 1);
    EXPECT_EQ(done, c.length);
    EXPECT_EQ(backend->log, c.wire);
}

INSTANTIATE_TEST_SUITE_P(
    Chips, EraseRangeWire,
    testing::Values(
        WireCase{"ThreeByteMixesBlockSizes",
                 0xEF4017,
                 8 * kMiB,
                 0x7000,
                 0x1A000,
                 {"06", "20 00 70 00", "06", "52 00 80 00", "06", "D8 01 00 00", "06", "20 02 00 00"}},
        WireCase{"ThreeByteLastBlockOfTheChip", 0xEF4017, 8 * kMiB, 0x7F0000, 0x10000, {"06", "D8 7F 00 00"}},
        WireCase{"AboveSixteenMiBFourByteOpcodes",
                 0xEF4019,
                 32 * kMiB,
                 0x1FE7000,
                 0x19000,
                 {"06", "21 01 FE 70 00", "06", "5C 01 FE 80 00", "06", "DC 01 FF 00 00"}},
        WireCase{"OpcodeWithoutFourByteFormInsideAddressMode",
                 0xC22019,
                 32 * kMiB,
                 0xFFF000,
                 0x41000,
                 {"06", "21 00 FF F0 00", "B7", "06", "D9 01 00 00 00", "E9"}},
        WireCase{"FourByteOnlyPartNeedsNoModeChange",
                 0xC22016,
                 4 * kMiB,
                 0x3BF000,
                 0x41000,
                 {"06", "21 00 3B F0 00", "06", "D9 00 3C 00 00"}}),
    [](const testing::TestParamInfo<WireCase>& info) { return std::string(info.param.what); });

struct RefusalCase {
    const char* what;
    uint32_t jedec;
    bool setUp;  // QuovixSetFlashInfo called
    uint32_t address;
    uint32_t length;
    bool nullDone;
};

class EraseRangeRefusal : public EraseRangeTest, public testing::WithParamInterface<RefusalCase> {};

TEST_P(EraseRangeRefusal, ErasesNothing) {
    const RefusalCase& c = GetParam();
    attach(c.jedec, 8 * kMiB);
    const int32_t h = connect(c.setUp);
    uint32_t done = 77;
    EXPECT_EQ(driver->eraseRange(h, c.address, c.length, c.nullDone ? nullptr : &done), 0);
    EXPECT_EQ(done, c.nullDone ? 77u : 0u);
    EXPECT_EQ(blank().first, 0u);
    EXPECT_EQ(backend->log, Log{});
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, EraseRangeRefusal,
    testing::Values(RefusalCase{"BeforeSetFlashInfo", 0xEF4017, false, 0, 0x1000, false},
                    RefusalCase{"UnalignedAddress", 0xEF4017, true, 0x800, 0x1000, false},
                    RefusalCase{"UnalignedLength", 0xEF4017, true, 0x1000, 0x1800, false},
                    RefusalCase{"ZeroLength", 0xEF4017, true, 0x1000, 0, false},
                    RefusalCase{"PastTheEnd", 0xEF4017, true, 8 * kMiB - 0x1000, 0x2000, false},
                    RefusalCase{"AtTheEnd", 0xEF4017, true, 8 * kMiB, 0x1000, false},
                    RefusalCase{"WrapsAroundThirtyTwoBits", 0xEF4017, true, 0xFFFFF000, 0x2000, false},
                    RefusalCase{"UnknownEraseBlocks", 0x123456, true, 0, 0x1000, false},
                    RefusalCase{"NullDone", 0xEF4017, true, 0, 0x1000, true}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.what); });

// The range 0x7000 + 0x1A000 goes as 4K at 0x7000, 32K at 0x8000, 64K at
// 0x10000, 4K at 0x20000; the chip starts all 0x00.
struct FailureCase {
    const char* what;
    uint8_t dropped;  // the chip never sees this opcode
    bool stuck;       // the chip stays busy after its first erase
    bool locked;      // the WP pin holds block protection
    int32_t promise;  // QuovixSetVerifyLater
    int32_t result;
    uint32_t done;
    size_t erased;  // bytes now 0xFF, all from 0x7000 on
    int32_t reason;
};

class EraseRangeFailure : public EraseRangeTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(EraseRangeFailure, ReportsWhatWasErasedBeforeTheFailingBlock) {
    const FailureCase& c = GetParam();
    attach(0xEF4017, 8 * kMiB);
    backend->dropped = c.dropped;
    if (c.stuck) {
        chip().setStuckBusy(StuckBusy::Erase);
    }
    if (c.locked) {
        chip().setProtection(1, true);
    }
    const int32_t h = connect();
    ASSERT_EQ(driver->setVerifyLater(h, c.promise), 1);
    uint32_t done = 77;
    EXPECT_EQ(driver->eraseRange(h, 0x7000, 0x1A000, &done), c.result);
    EXPECT_EQ(done, c.done);
    EXPECT_EQ(lastFailure(), c.reason);
    const auto [count, first] = blank();
    EXPECT_EQ(count, c.erased);
    if (c.erased != 0) {
        EXPECT_EQ(first, 0x7000u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, EraseRangeFailure,
    testing::Values(FailureCase{"ReadBackFindsAnIgnoredErase", spi::kErase64K, false, false, 0, 0, 0x9000,
                                0x9000, VELMOR_REASON_NONE},
                    FailureCase{"WithThePromiseTheCallerFindsIt", spi::kErase64K, false, false, 1, 1, 0x1A000,
                                0xA000, VELMOR_REASON_NONE},
                    FailureCase{"ChipStaysBusy", 0, true, false, 1, 0, 0, 0x1000, VELMOR_REASON_NONE},
                    FailureCase{"ProtectionHeldByWpPin", 0, false, true, 0, 0, 0, 0,
                                VELMOR_REASON_WRITE_PROTECTED},
                    FailureCase{"NoFault", 0, false, false, 0, 1, 0x1A000, 0x1A000, VELMOR_REASON_NONE}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.what); });

// Each block is read back once when the caller does not verify, never when it does.
TEST_F(EraseRangeTest, ReadsBackEachBlockOnlyWithoutThePromise) {
    attach(0xEF4017, 8 * kMiB);
    for (const int32_t promise : {0, 1}) {
        const int32_t h = connect();
        ASSERT_EQ(driver->setVerifyLater(h, promise), 1);
        const uint64_t before = chip().bytesRead();
        uint32_t done = 0;
        ASSERT_EQ(driver->eraseRange(h, 0x7000, 0x1A000, &done), 1);
        EXPECT_EQ(chip().bytesRead() - before, promise ? 0u : 0x1A000u) << promise;
        ASSERT_EQ(driver->close(h), 1);
    }
}

}  // namespace
}  // namespace velmor
