// Which programmers the library drives, by configuration, and several of them at once.
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "../VelmorTestSupport.h"
#include "Driver.h"
#include "ProgrammerBackend.h"
#include "UsbTestSupport.h"

namespace velmor {
namespace {

using Bytes = std::vector<uint8_t>;
using velmortest::pattern;

constexpr uint32_t kMiB = 1024 * 1024;

class UsbSelection : public testing::Test {
protected:
    UsbSelection()
        : m_bus(std::make_shared<emulator::EmulatedUsbBus>()),
          m_tapBus(std::make_shared<usbtest::TapBus>(m_bus)),
          m_driver(createProgrammerBackend(m_tapBus)) {}

    // A CH341A with a 8 MiB chip at 1-1 and a CH347T with a 4 MiB chip at 1-4.
    void attachBoth() {
        m_ch341a = usbtest::ch341a("1-1", 0xEF4017, 8 * kMiB);
        m_ch347 = usbtest::ch347("1-4", 0x55DB, 0xEF4016, 4 * kMiB);
        m_bus->attach(m_ch341a);
        m_bus->attach(m_ch347);
    }

    void configure(const std::string& text) { velmortest::writeText("velmor-sim.conf", text); }

    // The code QuovixGetFlashInfo gives for programmer `index`, or -1 when it cannot be opened.
    int32_t codeAt(int32_t index) {
        const int32_t h = m_driver.open(index);
        if (h <= 0) {
            return -1;
        }
        int32_t kind = 0;
        int32_t code = -1;
        EXPECT_EQ(m_driver.setFlashInfo(h, 5, 0), 1);
        EXPECT_EQ(m_driver.getFlashInfo(h, &kind, &code), 1);
        EXPECT_EQ(m_driver.close(h), 1);
        return code;
    }

    TempDirectory m_dir{TempUse::AsCurrent};
    std::shared_ptr<emulator::EmulatedUsbBus> m_bus;
    std::shared_ptr<usbtest::TapBus> m_tapBus;
    Driver m_driver;
    std::shared_ptr<emulator::Ch341aEmulator> m_ch341a;
    std::shared_ptr<emulator::Ch347Emulator> m_ch347;
};

struct SelectionCase {
    const char* config;  // nullptr: no configuration file
    int32_t count;
    int32_t code0;
    int32_t code1;
};

class UsbSelectionByConfig : public UsbSelection, public testing::WithParamInterface<SelectionCase> {};

TEST_P(UsbSelectionByConfig, EnumCountsAndOpenIndexesTheSelectedProgrammers) {
    const SelectionCase row = GetParam();
    attachBoth();
    if (row.config) {
        configure(std::string(row.config) + "block_delay_ms = 0\nerase_ms = 0\n");
    }
    EXPECT_EQ(m_driver.enumerate(), row.count);
    EXPECT_EQ(codeAt(0), row.code0);
    EXPECT_EQ(codeAt(1), row.code1);
}

// 8 MiB = code 22 (the CH341A's chip), 4 MiB = 21 (the CH347's), the simulator's 25X80 = 19.
INSTANTIATE_TEST_SUITE_P(Table, UsbSelectionByConfig,
                         testing::Values(SelectionCase{nullptr, 2, 21, 22},
                                         SelectionCase{"backend = auto\n", 2, 21, 22},
                                         SelectionCase{"backend = AUTO\n", 2, 21, 22},
                                         SelectionCase{"backend = ch347\n", 1, 21, -1},
                                         SelectionCase{"backend = ch341a\n", 1, 22, -1},
                                         SelectionCase{"backend = simulator\n", 1, 19, -1},
                                         SelectionCase{"chip = 25X40\n", 2, 21, 22},
                                         SelectionCase{"backend = usb\n", 2, 21, 22}));

TEST_F(UsbSelection, WithoutConfigurationAndWithoutProgrammersNothingIsFound) {
    // The simulator never stands in for a missing programmer.
    EXPECT_EQ(m_driver.enumerate(), 0);
    EXPECT_EQ(m_driver.open(0), -1);
    EXPECT_FALSE(std::filesystem::exists("velmor-sim-chip.bin"));
}

TEST_F(UsbSelection, ACh341InSerialModeIsReportedOnceAndCountsAsAbsent) {
    m_bus->attachOther({0x1A86, 0x5523, 1, 7, "1-3"});
    velmortest::StderrCapture capture;
    EXPECT_EQ(m_driver.enumerate(), 0);
    EXPECT_EQ(m_driver.enumerate(), 0);
    EXPECT_EQ(m_driver.open(0), -1);
    EXPECT_EQ(
        capture.finish(),
        "velmor: the CH341 at USB 1-3 is in serial mode (1a86:5523) and cannot program flash; move its mode "
        "jumper to the SPI/I2C position and plug it in again\n");
}

TEST_F(UsbSelection, Ch347ClockComesFromTheConfigurationRoundedDown) {
    struct Row {
        const char* value;
        uint32_t hz;
    };
    for (const Row row :
         {Row{"", 15'000'000}, Row{"spi_clock_khz = 60000\n", 60'000'000},
          Row{"spi_clock_khz = 20000\n", 15'000'000}, Row{"spi_clock_khz = 100\n", 468'750}}) {
        auto device = usbtest::ch347("2-1", 0x55DE, 0xEF4017, 8 * kMiB);
        auto bus = std::make_shared<emulator::EmulatedUsbBus>();
        bus->attach(device);
        Driver driver(createProgrammerBackend(bus));
        configure(std::string("backend = ch347\n") + row.value);
        const int32_t h = driver.open(0);
        ASSERT_GT(h, 0) << row.value;
        EXPECT_EQ(device->spiClockHz(), row.hz) << row.value;
    }
}

TEST_F(UsbSelection, EachProgrammerHasOneConnectionAndIndexesAreIndependent) {
    attachBoth();
    const int32_t a = m_driver.open(0);
    const int32_t b = m_driver.open(1);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(m_driver.open(0), -1) << "already open";
    EXPECT_EQ(m_driver.open(2), -1) << "no third programmer";
    EXPECT_EQ(m_driver.close(a), 1);
    EXPECT_EQ(m_driver.selfTest(b), 1) << "closing one leaves the other";
    const int32_t again = m_driver.open(0);
    EXPECT_GT(again, 0);
    EXPECT_NE(again, a);
    EXPECT_EQ(m_driver.selfTest(a), 0);
}

TEST_F(UsbSelection, TwoProgrammersRunTwoJobsAtOnce) {
    attachBoth();
    const auto job = [this](int32_t index, uint32_t seed, bool& ok) {
        const int32_t h = m_driver.open(index);
        ok = h > 0 && m_driver.setFlashInfo(h, 5, 0) == 1;
        const Bytes data = pattern(16 * 8192, seed);
        for (uint32_t at = 0; ok && at < data.size(); at += 8192) {
            uint32_t done = 0;
            ok = m_driver.program(h, data.data() + at, 8192, at, &done) == 1 && done == 8192;
        }
        Bytes back(8192);
        for (uint32_t at = 0; ok && at < data.size(); at += 8192) {
            uint32_t done = 0;
            ok = m_driver.read(h, back.data(), 8192, at, &done) == 1 &&
                 std::equal(back.begin(), back.end(), data.begin() + at);
        }
        ok = ok && m_driver.close(h) == 1;
    };
    bool firstOk = false;
    bool secondOk = false;
    std::thread first(job, 0, 1, std::ref(firstOk));
    std::thread second(job, 1, 2, std::ref(secondOk));
    first.join();
    second.join();
    EXPECT_TRUE(firstOk);
    EXPECT_TRUE(secondOk);
    const Bytes a = pattern(16 * 8192, 1);
    const Bytes b = pattern(16 * 8192, 2);
    EXPECT_TRUE(std::equal(a.begin(), a.end(), m_ch347->chip()->contents().begin()));
    EXPECT_TRUE(std::equal(b.begin(), b.end(), m_ch341a->chip()->contents().begin()));
}

TEST_F(UsbSelection, ACallWaitingOnOneProgrammerDoesNotHoldUpAnother) {
    attachBoth();
    const int32_t slow = m_driver.open(0);
    const int32_t fast = m_driver.open(1);
    ASSERT_GT(slow, 0);
    ASSERT_GT(fast, 0);
    ASSERT_EQ(m_driver.setFlashInfo(slow, 5, 0), 1);
    ASSERT_EQ(m_driver.setFlashInfo(fast, 5, 0), 1);
    m_tapBus->closeGate("1-4");
    std::thread held([&] {
        uint8_t byte = 0;
        uint32_t done = 0;
        m_driver.read(slow, &byte, 1, 0, &done);
    });
    while (!m_tapBus->waiting()) {
        std::this_thread::yield();
    }
    // The CH347's call is stuck inside its transfer; the CH341A's goes through.
    auto other = std::async(std::launch::async, [&] {
        uint8_t byte = 0;
        uint32_t done = 0;
        return m_driver.read(fast, &byte, 1, 0, &done) == 1 && m_driver.enumerate() == 2;
    });
    const bool finished = other.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    m_tapBus->openGate();
    held.join();
    ASSERT_TRUE(finished);
    EXPECT_TRUE(other.get());
}

}  // namespace
}  // namespace velmor
