#include <memory>

#include <gtest/gtest.h>

#include "SpiFlash.h"
#include "UsbTestSupport.h"
#include "usb/Ch347Protocol.h"
#include "usb/Ch347Transport.h"

namespace velmor {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes select(uint16_t delayUs = 0) {
    return {
        0xC1, 0x0A, 0x00, 0x80, static_cast<uint8_t>(delayUs), static_cast<uint8_t>(delayUs >> 8), 0, 0, 0,
        0,    0,    0,    0};
}
const Bytes kDeselect{0xC1, 0x0A, 0x00, 0xC0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

struct ClockCase {
    uint32_t askedKhz;
    uint8_t divisor;
    uint32_t hz;
};

class Ch347Clock : public testing::TestWithParam<ClockCase> {};

TEST_P(Ch347Clock, RoundsDownToAClockTheDeviceHas) {
    const ClockCase row = GetParam();
    EXPECT_EQ(ch347::divisorFor(row.askedKhz), row.divisor);
    EXPECT_EQ(ch347::clockHz(row.divisor), row.hz);
}

INSTANTIATE_TEST_SUITE_P(Table, Ch347Clock,
                         testing::Values(ClockCase{60000, 0, 60'000'000}, ClockCase{59999, 1, 30'000'000},
                                         ClockCase{30000, 1, 30'000'000}, ClockCase{15000, 2, 15'000'000},
                                         ClockCase{14999, 3, 7'500'000}, ClockCase{1000, 6, 937'500},
                                         ClockCase{469, 7, 468'750}, ClockCase{1, 7, 468'750}));

class Ch347TransportTest : public testing::TestWithParam<uint16_t> {
protected:
    Ch347TransportTest()
        : m_bus(std::make_shared<emulator::EmulatedUsbBus>()),
          m_tapBus(m_bus),
          m_device(usbtest::ch347("1-2", GetParam())) {
        m_bus->attach(m_device);
        const UsbEndpoints endpoints =
            GetParam() == ch347::kProductIdF ? ch347::kEndpointsF : ch347::kEndpointsT;
        m_transport = std::make_unique<Ch347Transport>(m_tapBus.open(m_device->info(), endpoints), 15'000);
        m_tap = m_tapBus.tap("1-2");
    }

    std::shared_ptr<emulator::EmulatedUsbBus> m_bus;
    usbtest::TapBus m_tapBus;
    std::shared_ptr<emulator::Ch347Emulator> m_device;
    std::unique_ptr<Ch347Transport> m_transport;
    std::shared_ptr<usbtest::Tap> m_tap;
};

TEST_P(Ch347TransportTest, StartConfiguresModeZeroMsbFirstAndTheClock) {
    ASSERT_NE(m_transport, nullptr);
    ASSERT_TRUE(m_transport->start());
    Bytes config(29, 0x00);
    config[0] = 0xC0;
    config[1] = 26;
    config[5] = 4;
    config[6] = 1;
    config[14] = 2;
    config[15] = 2 << 3;  // 60 MHz / 4
    config[19] = 7;
    EXPECT_EQ(m_tap->snapshot(), (std::vector<Bytes>{config}));
    EXPECT_EQ(m_device->spiClockHz(), 15'000'000u);
    EXPECT_TRUE(m_transport->selfTest());
}

TEST_P(Ch347TransportTest, JedecIdReadFrames) {
    ASSERT_TRUE(m_transport->start());
    m_tap->clear();
    SpiFlash flash(*m_transport);
    EXPECT_EQ(flash.readJedecId(), 0xEF4017u);
    EXPECT_EQ(m_tap->snapshot(),
              (std::vector<Bytes>{
                  select(), {0xC4, 0x01, 0x00, 0x9F}, {0xC3, 0x04, 0x00, 0x03, 0, 0, 0}, kDeselect}));
    EXPECT_EQ(m_tap->in, (std::vector<size_t>{4, 6}));
}

TEST_P(Ch347TransportTest, PageProgramIsOneOutFrameAndTheStatusReadCarriesTheWait) {
    ASSERT_TRUE(m_transport->start());
    m_tap->clear();
    SpiFlash flash(*m_transport);
    const Bytes data(256, 0x5A);
    ASSERT_TRUE(flash.program(0x000BCD00, data));
    const auto out = m_tap->snapshot();
    ASSERT_GE(out.size(), 10u);
    EXPECT_EQ(out[0], select());
    EXPECT_EQ(out[1], (Bytes{0xC4, 0x01, 0x00, 0x06}));
    EXPECT_EQ(out[2], kDeselect);
    EXPECT_EQ(out[3], select());
    Bytes program{0xC4, 0x04, 0x01, 0x02, 0x0B, 0xCD, 0x00};
    program.insert(program.end(), data.begin(), data.end());
    EXPECT_EQ(out[4], program);
    EXPECT_EQ(out[5], kDeselect);
    EXPECT_EQ(out[6], select(700)) << "the typical page time passes before the status read";
    EXPECT_EQ(out[7], (Bytes{0xC4, 0x01, 0x00, 0x05}));
    EXPECT_EQ(out[8], (Bytes{0xC3, 0x04, 0x00, 0x01, 0, 0, 0}));
    EXPECT_EQ(out[9], kDeselect);
    EXPECT_EQ(m_device->chip()->contents()[0x0BCD00], 0x5A);
    EXPECT_EQ(m_device->chip()->contents()[0x0BCE00], 0xFF);
}

TEST_P(Ch347TransportTest, ReadOf8192BytesComesBackIn507ByteFrames) {
    ASSERT_TRUE(m_transport->start());
    Bytes data(8192);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 13 + 1);
    }
    SpiFlash flash(*m_transport);
    ASSERT_TRUE(flash.program(0x2000, data));
    m_tap->clear();
    Bytes back(8192);
    ASSERT_TRUE(flash.read(0x2000, back));
    EXPECT_EQ(back, data);
    EXPECT_EQ(m_tap->snapshot(), (std::vector<Bytes>{select(),
                                                     {0xC4, 0x04, 0x00, 0x03, 0x00, 0x20, 0x00},
                                                     {0xC3, 0x04, 0x00, 0x00, 0x20, 0x00, 0x00},
                                                     kDeselect}));
    // The out frame's answer, then 16 frames of 507 bytes and one of 80.
    std::vector<size_t> in{4};
    in.insert(in.end(), 16, 510);
    in.push_back(83);
    EXPECT_EQ(m_tap->in, in);
}

TEST_P(Ch347TransportTest, AShortAnswerBreaksTheConnection) {
    ASSERT_TRUE(m_transport->start());
    SpiFlash flash(*m_transport);
    m_device->shortenAnswerAfter(1);
    EXPECT_EQ(flash.readJedecId(), std::nullopt);
    EXPECT_FALSE(m_transport->present());
    EXPECT_EQ(flash.readStatus(), std::nullopt) << "nothing more goes out";
}

INSTANTIATE_TEST_SUITE_P(Models, Ch347TransportTest, testing::Values(ch347::kProductIdT, ch347::kProductIdF));

}  // namespace
}  // namespace velmor
