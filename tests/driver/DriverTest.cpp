#include <sys/wait.h>
#include <unistd.h>

#include <memory>

#include <gtest/gtest.h>

#include "Driver.h"
#include "SimulatedBackend.h"
#include "SimulatedProgrammer.h"
#include "VelmorTestSupport.h"

namespace velmor {
namespace {

// A programmer that can be pulled out of the USB port in the middle of a connection.
class UnpluggableTransport : public SpiTransport {
public:
    UnpluggableTransport(SpiTransport& inner, const bool& plugged, const bool& storing)
        : m_inner(inner), m_plugged(plugged), m_storing(storing) {}
    bool present() const override { return m_plugged; }
    bool selfTest() override { return m_plugged && m_inner.selfTest(); }
    bool command(std::span<const uint8_t> out, std::span<uint8_t> in) override {
        return m_plugged && m_inner.command(out, in);
    }
    void delayUs(uint32_t us) override { m_inner.delayUs(us); }
    bool flush() override { return m_plugged && m_inner.flush() && m_storing; }
    size_t maxReadLength() const override { return m_inner.maxReadLength(); }
    size_t maxWriteLength() const override { return m_inner.maxWriteLength(); }

private:
    SpiTransport& m_inner;
    const bool& m_plugged;
    const bool& m_storing;
};

class TestBackend : public ProgrammerBackend {
public:
    TestBackend()
        : programmer(
              SimulatedProgrammer::Settings{},
              std::make_unique<SimulatedChip>(0xEF3011, std::vector<uint8_t>(128 * 1024, 0xFF), nullptr)) {}
    int32_t count() override { return plugged ? 1 : 0; }
    std::optional<OpenedProgrammer> open(int32_t) override {
        if (!plugged) {
            return std::nullopt;
        }
        return OpenedProgrammer{std::make_unique<UnpluggableTransport>(programmer, plugged, storing), faults};
    }

    SimulatedProgrammer programmer;
    bool plugged = true;
    bool storing = true;
    FaultPlan faults;
};

class DriverTest : public testing::Test {
protected:
    DriverTest() {
        auto owned = std::make_unique<TestBackend>();
        backend = owned.get();
        driver = std::make_unique<Driver>(std::move(owned));
    }
    int32_t ready() {
        const int32_t h = driver->open(0);
        EXPECT_GT(h, 0);
        EXPECT_EQ(driver->setFlashInfo(h, 5, 0), 1);
        return h;
    }

    TestBackend* backend;
    std::unique_ptr<Driver> driver;
};

TEST_F(DriverTest, UnpluggingMidConnectionFailsEveryCallCleanly) {
    const int32_t h = ready();
    std::vector<uint8_t> buffer(64, 0x00);
    uint32_t done = 9;
    backend->plugged = false;
    EXPECT_EQ(driver->enumerate(), 0);
    EXPECT_EQ(driver->selfTest(h), 0);
    EXPECT_EQ(driver->program(h, buffer.data(), 64, 0, &done), 0);
    EXPECT_EQ(driver->read(h, buffer.data(), 64, 0, &done), 0);
    EXPECT_EQ(driver->initFlash(h), 0);
    int32_t kind = 0;
    int32_t code = 0;
    EXPECT_EQ(driver->getFlashInfo(h, &kind, &code), 0);
    EXPECT_EQ(driver->setFlashInfo(h, 5, 0), 0);
    EXPECT_EQ(done, 9u);
    EXPECT_EQ(driver->close(h), 0) << "the handle closed when the programmer went away";
    EXPECT_EQ(driver->open(0), -1);
    backend->plugged = true;
    EXPECT_GT(driver->open(0), 0);
}

TEST_F(DriverTest, ChangesThatDoNotReachTheStoreFailTheCall) {
    const int32_t h = ready();
    std::vector<uint8_t> data(16, 0x00);
    uint32_t done = 5;
    backend->storing = false;
    EXPECT_EQ(driver->program(h, data.data(), 16, 0, &done), 0);
    EXPECT_EQ(driver->initFlash(h), 0);
    EXPECT_EQ(done, 5u);
    backend->storing = true;
    EXPECT_EQ(driver->program(h, data.data(), 16, 16, &done), 1);
    EXPECT_EQ(done, 16u);
}

TEST_F(DriverTest, WriteTimeBoundsThePageProgramWait) {
    const int32_t h = ready();
    backend->programmer.chip()->setStuckBusy(StuckBusy::Program);
    std::vector<uint8_t> data(1, 0x00);
    uint32_t done = 0;
    // Whatever the time asked for, the wait is bounded and the call returns.
    for (int32_t time : {-5, 0, 5, 500, INT32_MAX}) {
        EXPECT_EQ(driver->setWriteTime(h, time), 1);
        EXPECT_EQ(driver->program(h, data.data(), 1, 0, &done), 0) << time;
    }
}

TEST_F(DriverTest, EraseClearsBlockProtectionFirst) {
    const int32_t h = ready();
    std::vector<uint8_t> data(16, 0x00);
    uint32_t done = 0;
    ASSERT_EQ(driver->program(h, data.data(), 16, 0, &done), 1);
    // With a block protected the chip would silently refuse the chip erase.
    ASSERT_EQ(driver->setBp1(h, 1), 1);
    EXPECT_EQ(backend->programmer.chip()->status() & 0x1C, 0x08);
    EXPECT_EQ(driver->initFlash(h), 1);
    EXPECT_EQ(backend->programmer.chip()->status() & 0x1C, 0x00);
    EXPECT_EQ(backend->programmer.chip()->contents()[0], 0xFF);
}

TEST_F(DriverTest, EraseThatLeavesDataBehindIsAFailure) {
    const int32_t h = ready();
    std::vector<uint8_t> data(16, 0x00);
    uint32_t done = 0;
    ASSERT_EQ(driver->program(h, data.data(), 16, 0, &done), 1);
    // Protection the WP pin holds cannot be cleared: the erase fails and changes nothing.
    backend->programmer.chip()->setProtection(2, true);
    EXPECT_EQ(driver->initFlash(h), 0);
    EXPECT_EQ(backend->programmer.chip()->contents()[0], 0x00);
    backend->programmer.chip()->setProtection(2, false);
    EXPECT_EQ(driver->initFlash(h), 1);
    EXPECT_EQ(backend->programmer.chip()->contents()[0], 0xFF);
}

// Two processes on one simulated chip would each write back their own stale
// pages; while one holds a connection, the other finds no programmer.
TEST(SimulatedBackendTest, SecondProcessFindsNoProgrammerWhileAConnectionIsOpen) {
    TempDirectory dir{TempUse::AsCurrent};
    velmortest::writeText("velmor-sim.conf", "block_delay_ms = 0\nerase_ms = 0\n");
    // Opens a connection in a child process: 1 when it opened, 0 when refused.
    const auto openElsewhere = [] {
        const pid_t pid = ::fork();
        if (pid == 0) {
            Driver other(std::make_unique<SimulatedBackend>());
            ::_exit(other.open(0) > 0 ? 1 : 0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };

    Driver first(std::make_unique<SimulatedBackend>());
    const int32_t h = first.open(0);
    ASSERT_GT(h, 0);
    velmortest::StderrCapture capture;
    EXPECT_EQ(openElsewhere(), 0);
    EXPECT_EQ(capture.finish(),
              "velmor: simulated programmer busy: velmor-sim-chip.bin: in use by another connection\n");
    EXPECT_EQ(first.enumerate(), 1) << "the holder still sees its programmer";

    ASSERT_EQ(first.close(h), 1);
    EXPECT_EQ(openElsewhere(), 1);
}

}  // namespace
}  // namespace velmor
