#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SimulatedProgrammer.h"
#include "SpiFlash.h"
#include "SpiOpcodes.h"

namespace velmor {
namespace {

// Runs commands on a simulated programmer and writes down each one as
// "<opcode> <address bytes...> +<data bytes>/<read bytes>" and each delay as "wait N".
class RecordingTransport : public SpiTransport {
public:
    explicit RecordingTransport(SpiTransport& inner) : m_inner(inner) {}

    bool present() const override { return m_inner.present(); }
    bool selfTest() override { return m_inner.selfTest(); }
    bool command(std::span<const uint8_t> out, std::span<uint8_t> in) override {
        std::ostringstream line;
        line << std::hex << std::uppercase;
        const size_t header = out.empty() ? 0 : headerLength(out[0]);
        for (size_t i = 0; i < std::min(header, out.size()); ++i) {
            line << (i ? " " : "") << static_cast<int>(out[i]);
        }
        line << std::dec;
        if (out.size() > header) {
            line << " +" << out.size() - header;
        }
        if (!in.empty()) {
            line << " /" << in.size();
        }
        log.push_back(line.str());
        return m_inner.command(out, in);
    }
    void delayUs(uint32_t us) override {
        log.push_back("wait " + std::to_string(us));
        m_inner.delayUs(us);
    }
    bool flush() override { return m_inner.flush(); }
    size_t maxReadLength() const override { return readLimit ? readLimit : m_inner.maxReadLength(); }
    size_t maxWriteLength() const override { return writeLimit ? writeLimit : m_inner.maxWriteLength(); }

    std::vector<std::string> log;
    size_t readLimit = 0;
    size_t writeLimit = 0;

private:
    static size_t headerLength(uint8_t opcode) {
        switch (opcode) {
            case spi::kRead:
            case spi::kPageProgram:
                return 4;
            case spi::kRead4Byte:
            case spi::kPageProgram4Byte:
                return 5;
            default:
                return 1;
        }
    }
    SpiTransport& m_inner;
};

class SpiFlashTest : public testing::Test {
protected:
    explicit SpiFlashTest(uint32_t size = 1u << 20, uint32_t jedec = 0xEF3014) {
        auto chip = std::make_unique<SimulatedChip>(jedec, std::vector<uint8_t>(size, 0xFF), nullptr);
        SimulatedChip::Timing timing;
        timing.programBusyUs = 100;
        timing.eraseBusyUs = 2'000;
        timing.statusBusyUs = 100;
        chip->setTiming(timing);
        m_programmer =
            std::make_unique<SimulatedProgrammer>(SimulatedProgrammer::Settings{}, std::move(chip));
        m_transport = std::make_unique<RecordingTransport>(*m_programmer);
        m_flash = std::make_unique<SpiFlash>(*m_transport);
        m_flash->timing().pageProgramPollUs = 50;
        m_flash->timing().erasePollUs = 1'000;
        m_flash->timing().statusWritePollUs = 100;
    }

    SimulatedChip& chip() { return *m_programmer->chip(); }
    std::vector<std::string>& log() { return m_transport->log; }

    std::unique_ptr<SimulatedProgrammer> m_programmer;
    std::unique_ptr<RecordingTransport> m_transport;
    std::unique_ptr<SpiFlash> m_flash;
};

using Log = std::vector<std::string>;

TEST_F(SpiFlashTest, ReadsJedecIdAndStatus) {
    EXPECT_EQ(m_flash->readJedecId(), 0xEF3014u);
    EXPECT_EQ(m_flash->readStatus(), 0u);
    EXPECT_EQ(log(), (Log{"9F /3", "5 /1"}));
}

TEST_F(SpiFlashTest, ProgramSplitsAtPageEndsWithWriteEnableAndPollsEachPage) {
    std::vector<uint8_t> data(300);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i);
    }
    ASSERT_TRUE(m_flash->program(100, data));
    // One batch: each page waits the typical page time before its status read;
    // the last page is then waited for.
    EXPECT_EQ(log(), (Log{"6", "2 0 0 64 +156", "wait 700", "5 /1",  //
                          "6", "2 0 1 0 +144", "wait 700", "5 /1", "5 /1"}));
    const auto c = chip().contents();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), c.begin() + 100));
    EXPECT_EQ(c[99], 0xFF);
    EXPECT_EQ(c[400], 0xFF);
}

TEST_F(SpiFlashTest, ProgramHonoursASmallWriteLimit) {
    m_transport->writeLimit = 4 + 64;
    ASSERT_TRUE(m_flash->program(0xF0, std::vector<uint8_t>(100, 0x00)));
    Log commands;
    for (const std::string& line : log()) {
        if (line.rfind("2 ", 0) == 0) {
            commands.push_back(line);
        }
    }
    EXPECT_EQ(commands, (Log{"2 0 0 F0 +16", "2 0 1 0 +64", "2 0 1 40 +20"}));
    m_transport->writeLimit = 4;
    EXPECT_FALSE(m_flash->program(0, std::vector<uint8_t>(1, 0x00)));
}

TEST_F(SpiFlashTest, ReadIsOneCommandPerTransportChunk) {
    m_transport->readLimit = 1000;
    std::vector<uint8_t> out(2500);
    ASSERT_TRUE(m_flash->read(0x12345, out));
    EXPECT_EQ(log(), (Log{"3 1 23 45 /1000", "3 1 27 2D /1000", "3 1 2B 15 /500"}));
}

TEST_F(SpiFlashTest, ChipEraseEnablesWritingAndWaitsForTheChip) {
    ASSERT_TRUE(m_flash->program(0, std::vector<uint8_t>(4, 0x00)));
    log().clear();
    ASSERT_TRUE(m_flash->chipErase());
    EXPECT_EQ(log(), (Log{"6", "C7", "5 /1", "wait 1000", "5 /1", "wait 1000", "5 /1"}));
    EXPECT_EQ(chip().contents()[0], 0xFF);
}

TEST_F(SpiFlashTest, WriteStatusEnablesWritingFirst) {
    ASSERT_TRUE(m_flash->writeStatus(spi::kStatusBp1));
    EXPECT_EQ(log(), (Log{"6", "1 +1", "5 /1", "wait 100", "5 /1"}));
    EXPECT_EQ(chip().status(), spi::kStatusBp1);
}

TEST_F(SpiFlashTest, WaitForAStuckChipEndsAtTheBudget) {
    chip().setStuckBusy(StuckBusy::Program);
    m_flash->timing().pageProgramBudgetUs = 500;
    EXPECT_FALSE(m_flash->program(0, std::vector<uint8_t>(1, 0x00)));
    size_t polls = 0;
    size_t waits = 0;
    for (const std::string& line : log()) {
        polls += line == "5 /1";
        waits += line == "wait 50";
    }
    EXPECT_EQ(waits, 10u);
    EXPECT_EQ(polls, 12u) << "the batch's own status read, then 11 polls over the budget";
}

TEST_F(SpiFlashTest, FourByteAddressingUsesTheFourByteCommands) {
    m_flash->setFourByteAddressing(true);
    std::vector<uint8_t> out(4);
    m_flash->read(0x01020304, out);
    m_flash->program(0x01020304, std::vector<uint8_t>(2, 0x00));
    ASSERT_GE(log().size(), 3u);
    EXPECT_EQ(log()[0], "13 1 2 3 4 /4");
    EXPECT_EQ(log()[1], "6");
    EXPECT_EQ(log()[2], "12 1 2 3 4 +2");
}

TEST_F(SpiFlashTest, UnpluggedProgrammerFailsEveryOperation) {
    SimulatedProgrammer::Settings gone;
    gone.present = false;
    SimulatedProgrammer absent(gone, nullptr);
    SpiFlash flash(absent);
    std::vector<uint8_t> buffer(4);
    EXPECT_FALSE(flash.readJedecId());
    EXPECT_FALSE(flash.readStatus());
    EXPECT_FALSE(flash.read(0, buffer));
    EXPECT_FALSE(flash.program(0, buffer));
    EXPECT_FALSE(flash.chipErase());
    EXPECT_FALSE(flash.writeStatus(0));
    EXPECT_FALSE(absent.selfTest());
}

TEST_F(SpiFlashTest, EmptySocketReadsAsNoChip) {
    SimulatedProgrammer empty(SimulatedProgrammer::Settings{}, nullptr);
    SpiFlash flash(empty);
    const std::optional<uint32_t> id = flash.readJedecId();
    ASSERT_TRUE(id);
    EXPECT_TRUE(isNoChipAnswer(*id));
    EXPECT_TRUE(isNoChipAnswer(0));
    EXPECT_FALSE(isNoChipAnswer(0xEF3014));
    // Status reads 0xFF, i.e. busy: a program must give up, not hang.
    EXPECT_FALSE(flash.program(0, std::vector<uint8_t>(1, 0x00)));
}

}  // namespace
}  // namespace velmor
