// The library's entry points (the Driver behind the exported names) over
// emulated CH341A and CH347 programmers, selected by the configuration file.
#include <algorithm>
#include <memory>

#include <gtest/gtest.h>

#include "../VelmorTestSupport.h"
#include "Driver.h"
#include "LastFailure.h"
#include "ProgrammerBackend.h"
#include "UsbTestSupport.h"

namespace velmor {
namespace {

using Bytes = std::vector<uint8_t>;
using velmortest::pattern;

constexpr uint32_t kMiB = 1024 * 1024;

struct Model {
    const char* name;
    const char* backend;  // the configuration's value selecting it
    uint16_t productId;   // 0x5512 for the CH341A
};

class UsbEntryPoints : public testing::TestWithParam<Model> {
protected:
    void SetUp() override {
        velmortest::writeText("velmor-sim.conf", std::string("backend = ") + GetParam().backend + "\n");
        attach(0xEF4017, 8 * kMiB);
    }

    void attach(uint32_t jedec, uint32_t size) {
        m_bus = std::make_shared<emulator::EmulatedUsbBus>();
        m_tapBus = std::make_shared<usbtest::TapBus>(m_bus);
        if (isCh341a()) {
            auto device = usbtest::ch341a("1-1", jedec, size);
            m_device = device;
        } else {
            m_device = usbtest::ch347("1-1", GetParam().productId, jedec, size);
        }
        m_bus->attach(m_device);
        m_driver = std::make_unique<Driver>(createProgrammerBackend(m_tapBus));
    }

    bool isCh341a() const { return GetParam().productId == 0x5512; }
    SimulatedChip& chip() { return *m_device->chip(); }
    std::vector<Bytes> cycles() { return usbtest::mosiCycles(m_tapBus->tap("1-1")->snapshot(), isCh341a()); }

    // The program's connection check: Enum, Open(0), self-test, SetFlashInfo(5, 0), SetWriteTime(5).
    int32_t connect() {
        EXPECT_EQ(m_driver->enumerate(), 1);
        const int32_t h = m_driver->open(0);
        EXPECT_GT(h, 0);
        EXPECT_EQ(m_driver->selfTest(h), 1);
        EXPECT_EQ(m_driver->setFlashInfo(h, 5, 0), 1);
        EXPECT_EQ(m_driver->setWriteTime(h, 5), 1);
        return h;
    }

    bool programAll(int32_t h, const Bytes& data, uint32_t address) {
        for (uint32_t at = 0; at < data.size();) {
            const uint32_t n = std::min<uint32_t>(8192, static_cast<uint32_t>(data.size()) - at);
            uint32_t done = at;
            if (m_driver->program(h, data.data() + at, n, address + at, &done) != 1 || done != n) {
                return false;
            }
            at += n;
        }
        return true;
    }

    Bytes readAll(int32_t h, uint32_t address, uint32_t length) {
        Bytes out(length);
        for (uint32_t at = 0; at < length;) {
            const uint32_t n = std::min<uint32_t>(8192, length - at);
            uint32_t done = at;
            if (m_driver->read(h, out.data() + at, n, address + at, &done) != 1 || done != n) {
                ADD_FAILURE() << "read failed at " << address + at;
                return {};
            }
            at += n;
        }
        return out;
    }

    TempDirectory m_dir{TempUse::AsCurrent};
    std::shared_ptr<emulator::EmulatedUsbBus> m_bus;
    std::shared_ptr<usbtest::TapBus> m_tapBus;
    std::shared_ptr<emulator::EmulatedUsbDevice> m_device;
    std::unique_ptr<Driver> m_driver;
};

TEST_P(UsbEntryPoints, IdentifiesAn8MiBChip) {
    const int32_t h = connect();
    int32_t kind = 0;
    int32_t code = 0;
    ASSERT_EQ(m_driver->getFlashInfo(h, &kind, &code), 1);
    EXPECT_EQ(kind, 5);
    EXPECT_EQ(code, 22);
}

TEST_P(UsbEntryPoints, DetectsIdentifiesProgramsAcrossPageEndsReadsAndErases) {
    attach(0xEF4014, kMiB);  // a 1 MiB chip keeps the blank check short
    const int32_t h = connect();
    int32_t kind = 0;
    int32_t code = 0;
    ASSERT_EQ(m_driver->getFlashInfo(h, &kind, &code), 1);
    EXPECT_EQ(kind, 5);
    EXPECT_EQ(code, 19);

    ASSERT_EQ(m_driver->setFlashInfo(h, 5, static_cast<int32_t>(kMiB)), 1);
    ASSERT_EQ(m_driver->setWriteTime(h, 500), 1);
    const Bytes image = pattern(10000, 31);
    ASSERT_TRUE(programAll(h, image, 0x1F80));
    const auto contents = chip().contents();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), contents.begin() + 0x1F80));
    EXPECT_EQ(contents[0x1F7F], 0xFF);
    EXPECT_EQ(contents[0x1F80 + 10000], 0xFF);
    EXPECT_EQ(readAll(h, 0x1F80, 10000), image);

    // Every page program starts at its address and stops at the page end.
    std::vector<uint32_t> pageStarts;
    for (const Bytes& cycle : cycles()) {
        if (!cycle.empty() && cycle[0] == 0x02) {
            ASSERT_GE(cycle.size(), 5u);
            const uint32_t at = (uint32_t{cycle[1]} << 16) | (cycle[2] << 8) | cycle[3];
            EXPECT_LE(at % 256 + (cycle.size() - 4), 256u) << "page program crosses a page end at " << at;
            pageStarts.push_back(at);
        }
    }
    ASSERT_FALSE(pageStarts.empty());
    EXPECT_EQ(pageStarts.front(), 0x1F80u);
    EXPECT_EQ(pageStarts[1], 0x2000u);
    // Blocks of 8192 and 1808 bytes from 0x1F80: 128 + 31 x 256 + 128, then 128 + 6 x 256 + 144.
    EXPECT_EQ(pageStarts.size(), 33u + 8u);

    EXPECT_EQ(m_driver->initFlash(h), 1);
    EXPECT_TRUE(
        std::all_of(chip().contents().begin(), chip().contents().end(), [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(m_driver->close(h), 1);
    EXPECT_EQ(m_driver->selfTest(h), 0);
}

TEST_P(UsbEntryPoints, ShortTransfersOfSingleBytes) {
    const int32_t h = connect();
    const uint8_t zero = 0x00;
    uint32_t done = 0;
    for (const uint32_t at : {0u, 255u, 256u, 8 * kMiB - 1}) {
        ASSERT_EQ(m_driver->program(h, &zero, 1, at, &done), 1) << at;
        EXPECT_EQ(done, 1u);
        uint8_t back = 0x77;
        ASSERT_EQ(m_driver->read(h, &back, 1, at, &done), 1) << at;
        EXPECT_EQ(back, 0x00) << at;
        EXPECT_EQ(chip().contents()[at], 0x00);
    }
    uint8_t byte = 0;
    EXPECT_EQ(m_driver->read(h, &byte, 1, 8 * kMiB, &done), 0) << "beyond the chip";
}

TEST_P(UsbEntryPoints, FourByteAddressingOnA32MiBChip) {
    attach(0xEF4019, 32 * kMiB);
    const int32_t h = connect();
    int32_t kind = 0;
    int32_t code = 0;
    ASSERT_EQ(m_driver->getFlashInfo(h, &kind, &code), 1);
    EXPECT_EQ(code, 24);
    const uint32_t address = 24 * kMiB - 100;
    const Bytes data = pattern(300, 5);
    ASSERT_TRUE(programAll(h, data, address));
    EXPECT_EQ(readAll(h, address, 300), data);
    const auto contents = chip().contents();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), contents.begin() + address));
    // Nothing landed where three address bytes would have put it.
    EXPECT_EQ(contents[address % (16 * kMiB)], 0xFF);
    bool sawProgram = false;
    bool sawRead = false;
    for (const Bytes& cycle : cycles()) {
        ASSERT_FALSE(cycle.empty());
        EXPECT_NE(cycle[0], 0x02);
        EXPECT_NE(cycle[0], 0x03);
        if (cycle[0] == 0x12 && !sawProgram) {
            sawProgram = true;
            EXPECT_EQ(Bytes(cycle.begin(), cycle.begin() + 5), (Bytes{0x12, 0x01, 0x7F, 0xFF, 0x9C}));
        }
        sawRead = sawRead || cycle[0] == 0x13;
    }
    EXPECT_TRUE(sawProgram);
    EXPECT_TRUE(sawRead);
}

TEST_P(UsbEntryPoints, DeviceThatVanishesMidOperationFailsEveryCallAndClosesTheHandle) {
    const int32_t h = connect();
    const Bytes data = pattern(8192, 9);
    m_device->vanishAfter(40);
    uint32_t done = 123;
    EXPECT_EQ(m_driver->program(h, data.data(), 8192, 0, &done), 0);
    Bytes buffer(16, 0x55);
    int32_t kind = 0;
    int32_t code = 0;
    EXPECT_EQ(m_driver->read(h, buffer.data(), 16, 0, &done), 0);
    EXPECT_EQ(m_driver->selfTest(h), 0);
    EXPECT_EQ(m_driver->getFlashInfo(h, &kind, &code), 0);
    EXPECT_EQ(m_driver->setFlashInfo(h, 5, 0), 0);
    EXPECT_EQ(m_driver->setWriteTime(h, 5), 0);
    EXPECT_EQ(m_driver->setBp1(h, 1), 0);
    EXPECT_EQ(m_driver->initFlash(h), 0);
    EXPECT_EQ(done, 123u);
    EXPECT_EQ(buffer, Bytes(16, 0x55));
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(m_driver->close(h), 0) << "already closed";
    EXPECT_EQ(m_driver->enumerate(), 0);
    EXPECT_EQ(m_driver->open(0), -1);
}

TEST_P(UsbEntryPoints, ATimeoutFailsTheCallWithinItsBoundAndTheProgrammerCanBeOpenedAgain) {
    const int32_t h = connect();
    const Bytes data = pattern(512, 2);
    ASSERT_TRUE(programAll(h, data, 0));
    m_device->hangAfter(1);
    const double before = m_device->hostUs();
    Bytes buffer(8192);
    uint32_t done = 0;
    EXPECT_EQ(m_driver->read(h, buffer.data(), 8192, 0, &done), 0);
    const double waited = m_device->hostUs() - before;
    EXPECT_GE(waited, 2'000'000.0) << "the transfer's time bound";
    EXPECT_LT(waited, 3'000'000.0) << "one bound, not one per transfer";
    EXPECT_EQ(m_driver->selfTest(h), 0) << "the handle closed";
    m_device->hangAfter(0);
    const int32_t again = connect();
    EXPECT_EQ(readAll(again, 0, 512), data);
}

TEST_P(UsbEntryPoints, BlockProtectionIsClearedBeforeProgramming) {
    chip().setProtection(7, false);
    const int32_t h = connect();
    const Bytes data = pattern(600, 3);
    ASSERT_TRUE(programAll(h, data, 0x100));
    EXPECT_EQ(chip().status() & 0x1C, 0);
    EXPECT_EQ(readAll(h, 0x100, 600), data);
    // Write enable then write status 0 came before the first page program.
    const auto all = cycles();
    const auto writeStatus =
        std::find_if(all.begin(), all.end(), [](const Bytes& c) { return c[0] == 0x01; });
    const auto firstProgram =
        std::find_if(all.begin(), all.end(), [](const Bytes& c) { return c[0] == 0x02; });
    ASSERT_NE(writeStatus, all.end());
    EXPECT_EQ(Bytes(writeStatus->begin(), writeStatus->begin() + 2), (Bytes{0x01, 0x00}));
    EXPECT_EQ((writeStatus - 1)->front(), 0x06);
    EXPECT_LT(writeStatus, firstProgram);
}

TEST_P(UsbEntryPoints, ProtectionTheWpPinHoldsFailsProgramAndErase) {
    chip().setProtection(3, true);
    const int32_t h = connect();
    const Bytes data = pattern(64, 3);
    uint32_t done = 9;
    EXPECT_EQ(m_driver->program(h, data.data(), 64, 0, &done), 0);
    EXPECT_EQ(m_driver->initFlash(h), 0);
    EXPECT_EQ(lastFailure(), VELMOR_REASON_WRITE_PROTECTED);
    EXPECT_EQ(done, 9u);
    EXPECT_EQ(chip().status() & 0x1C, 0x0C);
    EXPECT_TRUE(
        std::all_of(chip().contents().begin(), chip().contents().end(), [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(m_driver->selfTest(h), 1) << "the connection stays usable";
}

TEST_P(UsbEntryPoints, AProgrammerTheUserMayNotOpenIsCountedAndNamedAsSuch) {
    m_device->denyAccess(true);
    EXPECT_EQ(m_driver->enumerate(), 1);
    EXPECT_EQ(m_driver->open(0), -1);
    EXPECT_EQ(lastFailure(), VELMOR_REASON_ACCESS_DENIED);
    m_device->denyAccess(false);
    const int32_t h = m_driver->open(0);
    EXPECT_GT(h, 0);
    EXPECT_EQ(lastFailure(), VELMOR_REASON_NONE);
    m_driver->close(h);
}

TEST_P(UsbEntryPoints, ErasedPagesAreNotSent) {
    const int32_t h = connect();
    Bytes block(8192, 0xFF);
    const Bytes half = pattern(4096, 8);
    std::copy(half.begin(), half.end(), block.begin() + 4096);
    m_tapBus->tap("1-1")->clear();
    ASSERT_TRUE(programAll(h, block, 0x10000));
    std::vector<uint32_t> pages;
    for (const Bytes& cycle : cycles()) {
        if (cycle[0] == 0x02) {
            pages.push_back((uint32_t{cycle[1]} << 16) | (cycle[2] << 8) | cycle[3]);
        }
    }
    ASSERT_EQ(pages.size(), 16u);
    EXPECT_EQ(pages.front(), 0x11000u);
    EXPECT_EQ(readAll(h, 0x10000, 8192), block);

    m_tapBus->tap("1-1")->clear();
    ASSERT_TRUE(programAll(h, Bytes(8192, 0xFF), 0x20000)) << "an erased block programs nothing and verifies";
    for (const Bytes& cycle : cycles()) {
        EXPECT_NE(cycle[0], 0x02);
    }
}

// The program's auto sequence on one connection: erase, program, read it all back.
// With the promise to verify, the chip is read once (the verify); without it the
// erase's blank check and every program's read-back read it twice more.
TEST_P(UsbEntryPoints, AutoSequenceReadsTheChipOnceWhenTheCallerVerifies) {
    attach(0xEF4014, kMiB);
    const Bytes image = pattern(kMiB, 41);
    const struct {
        int32_t promise;
        uint64_t passes;
    } cases[] = {{1, 1}, {0, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.promise);
        const int32_t h = connect();
        ASSERT_EQ(m_driver->setFlashInfo(h, 5, static_cast<int32_t>(kMiB)), 1);
        ASSERT_EQ(m_driver->setWriteTime(h, 500), 1);
        ASSERT_EQ(m_driver->setVerifyLater(h, c.promise), 1);
        const uint64_t before = chip().bytesRead();
        ASSERT_EQ(m_driver->initFlash(h), 1);
        ASSERT_TRUE(programAll(h, image, 0));
        EXPECT_EQ(readAll(h, 0, kMiB), image);
        EXPECT_EQ(chip().bytesRead() - before, c.passes * kMiB);
        EXPECT_EQ(m_driver->close(h), 1);
    }
}

// The promise belongs to its connection: a new one checks its erase again, and
// a program that cannot take still fails without it.
TEST_P(UsbEntryPoints, VerifyPromiseEndsWithItsConnection) {
    attach(0xEF4014, kMiB);
    int32_t h = connect();
    ASSERT_EQ(m_driver->setVerifyLater(h, 1), 1);
    ASSERT_EQ(m_driver->close(h), 1);
    EXPECT_EQ(m_driver->setVerifyLater(h, 1), 0);  // closed handle
    h = connect();
    const uint64_t before = chip().bytesRead();
    ASSERT_EQ(m_driver->initFlash(h), 1);
    EXPECT_EQ(chip().bytesRead() - before, kMiB);
    ASSERT_TRUE(programAll(h, Bytes(256, 0x00), 0));
    uint32_t done = 0;
    const Bytes ones(256, 0xA5);  // would need bits set again
    EXPECT_EQ(m_driver->program(h, ones.data(), 256, 0, &done), 0);
    ASSERT_EQ(m_driver->setVerifyLater(h, 1), 1);
    EXPECT_EQ(m_driver->program(h, ones.data(), 256, 0, &done), 1);  // the caller's verify finds it
    EXPECT_EQ(readAll(h, 0, 1), Bytes{0x00});
}

// The emulators decode the block erases from their byte streams: the cycles
// carry the opcodes and addresses the library chose, and the chip loses exactly
// the range.
TEST_P(UsbEntryPoints, BlockErasesCrossTheProgrammerIntact) {
    const struct {
        uint32_t jedec;
        uint32_t size;
        uint32_t address;
        std::vector<Bytes> erases;
    } cases[] = {
        {0xEF4017,
         8 * kMiB,
         0x7F7000,
         {{0x20, 0x7F, 0x70, 0x00}, {0x52, 0x7F, 0x80, 0x00}, {0xD8, 0x7E, 0x00, 0x00}}},
        {0xEF4019,
         32 * kMiB,
         0x1FF7000,
         {{0x21, 0x01, 0xFF, 0x70, 0x00}, {0x5C, 0x01, 0xFF, 0x80, 0x00}, {0xDC, 0x01, 0xFE, 0x00, 0x00}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.jedec);
        attach(c.jedec, c.size);
        const int32_t h = connect();
        // 4K + 32K up to the chip's end, then the 64K block below them: two calls.
        const uint32_t from = c.address - 0x17000;
        const Bytes data = pattern(c.size - from, 7);
        ASSERT_TRUE(programAll(h, data, from));
        uint32_t done = 0;
        ASSERT_EQ(m_driver->eraseRange(h, c.address, c.size - c.address, &done), 1);
        EXPECT_EQ(done, 0x9000u);
        ASSERT_EQ(m_driver->eraseRange(h, from, 0x10000, &done), 1);
        EXPECT_EQ(done, 0x10000u);
        const auto contents = chip().contents();
        Bytes expected = data;
        std::fill(expected.begin(), expected.begin() + 0x10000, uint8_t{0xFF});
        std::fill(expected.begin() + 0x17000, expected.end(), uint8_t{0xFF});
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), contents.begin() + from));
        std::vector<Bytes> erases;
        for (const Bytes& cycle : cycles()) {
            if (!cycle.empty() && (cycle[0] == 0x20 || cycle[0] == 0x52 || cycle[0] == 0xD8 ||
                                   cycle[0] == 0x21 || cycle[0] == 0x5C || cycle[0] == 0xDC)) {
                erases.push_back(cycle);
            }
        }
        EXPECT_EQ(erases, c.erases);
        EXPECT_EQ(m_driver->close(h), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Programmers, UsbEntryPoints,
                         testing::Values(Model{"CH341A", "ch341a", 0x5512}, Model{"CH347T", "ch347", 0x55DB},
                                         Model{"CH347F", "auto", 0x55DE}),
                         [](const testing::TestParamInfo<Model>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace velmor
