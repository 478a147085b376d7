// The configuration keys that choose the programmer and model chip protection.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SimulatorConfig.h"

namespace velmor {
namespace {

SimulatorConfig parse(const std::string& text, std::vector<std::string>& complaints) {
    return parseSimulatorConfig(text, "t.conf", [&](const std::string& m) { complaints.push_back(m); });
}

TEST(BackendConfig, DefaultsDriveRealProgrammersAt15MHzWithAnUnprotectedChip) {
    std::vector<std::string> complaints;
    const SimulatorConfig c = parse("", complaints);
    EXPECT_EQ(c.backend, BackendChoice::Auto);
    EXPECT_EQ(c.spiClockKhz, 15'000u);
    EXPECT_EQ(c.blockProtect, 0);
    EXPECT_FALSE(c.hardwareProtect);
    EXPECT_EQ(loadSimulatorConfig("/nonexistent/velmor-sim.conf").backend, BackendChoice::Auto);
}

struct GoodCase {
    const char* text;
    BackendChoice backend;
    uint32_t clockKhz;
    uint8_t blockProtect;
    bool hardwareProtect;
};

class BackendConfigGood : public testing::TestWithParam<GoodCase> {};

TEST_P(BackendConfigGood, SetsItsFields) {
    const GoodCase row = GetParam();
    std::vector<std::string> complaints;
    const SimulatorConfig c = parse(row.text, complaints);
    EXPECT_TRUE(complaints.empty()) << complaints.front();
    EXPECT_EQ(c.backend, row.backend);
    EXPECT_EQ(c.spiClockKhz, row.clockKhz);
    EXPECT_EQ(c.blockProtect, row.blockProtect);
    EXPECT_EQ(c.hardwareProtect, row.hardwareProtect);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BackendConfigGood,
    testing::Values(GoodCase{"backend = simulator", BackendChoice::Simulator, 15000, 0, false},
                    GoodCase{"BACKEND = CH341A", BackendChoice::Ch341a, 15000, 0, false},
                    GoodCase{"backend = ch347\nspi_clock_khz = 60000", BackendChoice::Ch347, 60000, 0, false},
                    GoodCase{"backend = ch347\nbackend = auto\nspi_clock_khz = 1", BackendChoice::Auto, 1, 0,
                             false},
                    GoodCase{"block_protect = 7\nhardware_protect = on", BackendChoice::Auto, 15000, 7, true},
                    GoodCase{"block_protect = 2\nhardware_protect = yes\nhardware_protect = no",
                             BackendChoice::Auto, 15000, 2, false}));

struct BadCase {
    const char* line;
    const char* reason;
};

class BackendConfigBad : public testing::TestWithParam<BadCase> {};

TEST_P(BackendConfigBad, IsReportedAndChangesNothing) {
    std::vector<std::string> complaints;
    const SimulatorConfig c = parse(std::string("backend = ch341a\n") + GetParam().line + "\n", complaints);
    ASSERT_EQ(complaints.size(), 1u);
    EXPECT_EQ(complaints[0],
              std::string("t.conf:2: ignored \"") + GetParam().line + "\": " + GetParam().reason);
    EXPECT_EQ(c.backend, BackendChoice::Ch341a);
    EXPECT_EQ(c.spiClockKhz, 15'000u);
    EXPECT_EQ(c.blockProtect, 0);
    EXPECT_FALSE(c.hardwareProtect);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BackendConfigBad,
    testing::Values(BadCase{"backend = usb", "expected auto, simulator, ch341a or ch347"},
                    BadCase{"backend = ch341", "expected auto, simulator, ch341a or ch347"},
                    BadCase{"spi_clock_khz = 0", "expected a whole number from 1 to 60000"},
                    BadCase{"spi_clock_khz = 60001", "expected a whole number from 1 to 60000"},
                    BadCase{"spi_clock_khz = 15MHz", "expected a whole number from 1 to 60000"},
                    BadCase{"block_protect = 8", "expected a whole number from 0 to 7"},
                    BadCase{"block_protect = -1", "expected a whole number from 0 to 7"},
                    BadCase{"hardware_protect = wp", "expected yes or no"}));

}  // namespace
}  // namespace velmor
