#include <array>
#include <memory>

#include <gtest/gtest.h>

#include "SpiFlash.h"
#include "UsbTestSupport.h"
#include "usb/Ch341aProtocol.h"
#include "usb/Ch341aTransport.h"

namespace velmor {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes padded(Bytes packet) {
    packet.resize(32, 0x00);
    return packet;
}

struct ReverseCase {
    uint8_t in;
    uint8_t out;
};

class Ch341aReverse : public testing::TestWithParam<ReverseCase> {};

TEST_P(Ch341aReverse, MirrorsTheBitsOfAByte) {
    EXPECT_EQ(ch341a::reverseBits(GetParam().in), GetParam().out);
    EXPECT_EQ(ch341a::reverseBits(GetParam().out), GetParam().in);
}

INSTANTIATE_TEST_SUITE_P(Table, Ch341aReverse,
                         testing::Values(ReverseCase{0x00, 0x00}, ReverseCase{0x01, 0x80},
                                         ReverseCase{0x02, 0x40}, ReverseCase{0x03, 0xC0},
                                         ReverseCase{0x9F, 0xF9}, ReverseCase{0x05, 0xA0},
                                         ReverseCase{0x06, 0x60}, ReverseCase{0x12, 0x48},
                                         ReverseCase{0xEF, 0xF7}, ReverseCase{0xFF, 0xFF},
                                         ReverseCase{0x5A, 0x5A}, ReverseCase{0xC7, 0xE3}));

class Ch341aTransportTest : public testing::Test {
protected:
    Ch341aTransportTest()
        : m_bus(std::make_shared<emulator::EmulatedUsbBus>()),
          m_tapBus(m_bus),
          m_device(usbtest::ch341a("1-1")) {
        m_bus->attach(m_device);
        m_transport = std::make_unique<Ch341aTransport>(m_tapBus.open(m_device->info(), ch341a::kEndpoints));
        m_tap = m_tapBus.tap("1-1");
    }

    std::shared_ptr<emulator::EmulatedUsbBus> m_bus;
    usbtest::TapBus m_tapBus;
    std::shared_ptr<emulator::Ch341aEmulator> m_device;
    std::unique_ptr<Ch341aTransport> m_transport;
    std::shared_ptr<usbtest::Tap> m_tap;
};

TEST_F(Ch341aTransportTest, StartSetsTheStreamSpeedAndDrivesThePinsDeselected) {
    ASSERT_TRUE(m_transport->start());
    Bytes expected = padded({0xAA, 0x61, 0x00});
    const Bytes pins = padded({0xAB, 0xB7, 0x7F, 0x20});
    expected.insert(expected.end(), pins.begin(), pins.end());
    EXPECT_EQ(m_tap->snapshot(), (std::vector<Bytes>{expected}));
    EXPECT_EQ(m_device->streamSpeed(), 0x61);
}

TEST_F(Ch341aTransportTest, JedecIdReadIsOneSelectPacketOneSpiPacketAndADeselect) {
    ASSERT_TRUE(m_transport->start());
    m_tap->clear();
    SpiFlash flash(*m_transport);
    EXPECT_EQ(flash.readJedecId(), 0xEF4017u);
    // Deselect, select; then 0x9F LSB first (0xF9) and three filler bytes; then deselect.
    Bytes cycle = padded({0xAB, 0xB7, 0xB6, 0x20});
    cycle.insert(cycle.end(), {0xA8, 0xF9, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(m_tap->snapshot(), (std::vector<Bytes>{cycle, padded({0xAB, 0xB7, 0x20})}));
    EXPECT_EQ(m_tap->in, (std::vector<size_t>{4}));
}

TEST_F(Ch341aTransportTest, PageProgramOf256BytesFillsNineSpiPacketsAfterTheTypicalWait) {
    ASSERT_TRUE(m_transport->start());
    m_tap->clear();
    SpiFlash flash(*m_transport);
    Bytes data(256);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i);
    }
    ASSERT_TRUE(flash.program(0x001200, data));
    const auto out = m_tap->snapshot();
    // Write enable, page program, status read, deselect with the wait, then the final status poll.
    ASSERT_GE(out.size(), 4u);
    Bytes enable = padded({0xAB, 0xB7, 0xB6, 0x20});
    enable.insert(enable.end(), {0xA8, 0x60});
    EXPECT_EQ(out[0], enable);
    const Bytes& program = out[1];
    // 4 + 256 bytes = eight full SPI packets and one of 12.
    ASSERT_EQ(program.size(), 32u + 8 * 32 + 13);
    EXPECT_EQ(Bytes(program.begin(), program.begin() + 32), padded({0xAB, 0xB7, 0xB6, 0x20}));
    EXPECT_EQ(Bytes(program.begin() + 32, program.begin() + 37), (Bytes{0xA8, 0x40, 0x00, 0x48, 0x00}));
    for (size_t packet = 0; packet < 9; ++packet) {
        EXPECT_EQ(program[32 + packet * 32], 0xA8) << packet;
    }
    for (size_t i = 0; i < data.size(); ++i) {
        const size_t wire = 4 + i;  // position among the SPI bytes
        ASSERT_EQ(program[32 + (wire / 31) * 32 + 1 + wire % 31], ch341a::reverseBits(data[i])) << i;
    }
    // The status read waits 700 us first: deselect, eleven waits of 63 us and one of 7, select.
    Bytes status = {0xAB, 0xB7};
    for (int i = 0; i < 11; ++i) {
        status.push_back(0xC0 | 63);
    }
    status.insert(status.end(), {0xC0 | 7, 0xB6, 0x20});
    status = padded(status);
    status.insert(status.end(), {0xA8, 0xA0, 0xFF});
    EXPECT_EQ(out[2], status);
    EXPECT_EQ(m_device->chip()->contents()[0x1200 + 255], 255);
    EXPECT_EQ(m_device->chip()->contents()[0x1300], 0xFF);
}

TEST_F(Ch341aTransportTest, ReadOf8192BytesIsTwoCommandsInFlightTogether) {
    ASSERT_TRUE(m_transport->start());
    Bytes data(8192);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    SpiFlash flash(*m_transport);
    ASSERT_TRUE(flash.program(0, data));
    m_tap->clear();
    const uint64_t turnsBefore = m_device->statistics().roundTrips;
    Bytes back(8192);
    ASSERT_TRUE(flash.read(0, back));
    EXPECT_EQ(back, data);
    const auto out = m_tap->snapshot();
    // Two reads of 4096 (4 + 4096 bytes: 132 full packets and one of 8), then the deselect.
    ASSERT_EQ(out.size(), 3u);
    for (uint32_t i = 0; i < 2; ++i) {
        ASSERT_EQ(out[i].size(), 32u + 132 * 32 + 9);
        EXPECT_EQ(Bytes(out[i].begin() + 32, out[i].begin() + 37),
                  (Bytes{0xA8, 0xC0, 0x00, ch341a::reverseBits(static_cast<uint8_t>(i * 0x10)), 0x00}));
    }
    EXPECT_EQ(m_tap->in.size(), 2u * 133);
    EXPECT_EQ(m_tap->in.front(), 31u);
    EXPECT_EQ(m_tap->in[132], 8u);
    // Everything was submitted before the first answer was awaited: one round trip.
    EXPECT_EQ(m_device->statistics().roundTrips - turnsBefore, 1u);
}

TEST_F(Ch341aTransportTest, SelfTestNeedsTheDeviceToAnswer) {
    ASSERT_TRUE(m_transport->start());
    EXPECT_TRUE(m_transport->selfTest());
    m_device->hangAfter(1);
    EXPECT_TRUE(m_transport->selfTest()) << "the one transfer it still takes";
    EXPECT_FALSE(m_transport->selfTest());
    EXPECT_FALSE(m_transport->present());
}

}  // namespace
}  // namespace velmor
