#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include "FakeDriver.h"
#include "RecordingCheckObserver.h"
#include "device/ChipIdentityText.h"
#include "device/ChipModel.h"
#include "device/Detection.h"
#include "device/Device.h"

namespace {

VelmorChipIdentity Identity(uint32_t id, int32_t source, const char* maker, const char* parts, uint32_t size,
                            uint32_t millivolts) {
    VelmorChipIdentity out{};
    out.jedec_id = id;
    out.source = source;
    std::strncpy(out.maker, maker, sizeof out.maker - 1);
    std::strncpy(out.parts, parts, sizeof out.parts - 1);
    out.size = size;
    out.millivolts = millivolts;
    return out;
}

struct LineCase {
    const char* name;
    std::optional<VelmorChipIdentity> identity;
    const char* line;
    const char* source;
};

class ChipIdentityLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(ChipIdentityLineTest, NamesTheChip) {
    EXPECT_EQ(ChipIdentityLine(GetParam().identity), GetParam().line);
    if (GetParam().identity) {
        EXPECT_STREQ(IdentitySourceName(*GetParam().identity), GetParam().source);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, ChipIdentityLineTest,
    ::testing::Values(LineCase{"DatabaseShowsTheFirstPart",
                               Identity(0xC84017, VELMOR_IDENTITY_DATABASE, "GigaDevice",
                                        "GD25Q64,GD25Q64C,GD25Q64E", 8 << 20, 3300),
                               "C84017 GigaDevice GD25Q64", "database"},
                      LineCase{"LowVoltagePartWarns",
                               Identity(0xC22536, VELMOR_IDENTITY_DATABASE, "Macronix", "MX25U3235F", 4 << 20,
                                        1800),
                               "C22536 Macronix MX25U3235F 1.8V芯片，请使用转接座", "database"},
                      LineCase{"Sfdp", Identity(0x684018, VELMOR_IDENTITY_SFDP, "", "", 16 << 20, 0),
                               "684018 未知型号 (SFDP) 16MB", "sfdp"},
                      LineCase{"SfdpSmall", Identity(0x0B4011, VELMOR_IDENTITY_SFDP, "", "", 128 << 10, 0),
                               "0B4011 未知型号 (SFDP) 128KB", "sfdp"},
                      LineCase{"Unknown", Identity(0xAB1234, VELMOR_IDENTITY_UNKNOWN, "", "", 0, 0),
                               "未知芯片 AB1234", "unknown"},
                      LineCase{"NoChip", std::nullopt, "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// The driver's identity as the fake programmer answers it.
VelmorChipIdentity g_identity{};
int32_t g_identityResult = 1;
int32_t VELMOR_CALL FakeGetChipIdentity(int32_t, VelmorChipIdentity* out) {
    if (g_identityResult) *out = g_identity;
    return g_identityResult;
}

class DetectionIdentityTest : public ::testing::Test {
protected:
    void SetUp() override {
        model.ApplyChipModel(kDefaultChipModelRow);
        g_identityResult = 1;
    }
    int Detect() {
        DriverApi api = driver.Api();
        api.QuovixGetChipIdentity = FakeGetChipIdentity;
        Device device(api, model);
        device.SetObserver(&checks);
        Detection detection(device, model, status, boxes);
        log.Clear();
        const int state = detection.DetectQuiet();
        identity = device.identity();
        return state;
    }

    FakeDriver driver;
    EventLog log;
    RecordingStatusLine status{log};
    ScriptedMessageBoxes boxes{log};
    RecordingCheckObserver checks{log};
    ChipModelSelection model;
    std::optional<VelmorChipIdentity> identity;
};

TEST_F(DetectionIdentityTest, EveryDetectionReportsTheIdentityAfterTheModel) {
    g_identity = Identity(0xEF4020, VELMOR_IDENTITY_DATABASE, "Winbond", "W25Q512JV", 64 << 20, 3300);
    driver.SetChipInfo(5, 25);
    EXPECT_EQ(Detect(), 2);
    EXPECT_EQ(log.With("check-"), (std::vector<std::string>{"check-start", "check-row:9",
                                                            "check-identity:EF4020", "check-end:2"}));
    EXPECT_EQ(model.ChipCapacity(), 64u << 20);
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->size, 64u << 20);

    // The next detection without a chip clears it.
    driver.SetResult(FakeEntry::SetFlashInfo, 0);
    EXPECT_EQ(Detect(), 1);
    EXPECT_EQ(log.With("check-identity:"), (std::vector<std::string>{"check-identity:none"}));
    EXPECT_FALSE(identity);
}

TEST_F(DetectionIdentityTest, UnknownChipKeepsTheSelectedModel) {
    g_identity = Identity(0xAB1234, VELMOR_IDENTITY_UNKNOWN, "", "", 0, 0);
    driver.SetChipInfo(1, 0);
    EXPECT_EQ(Detect(), 2);
    EXPECT_EQ(log.With("check-"),
              (std::vector<std::string>{"check-start", "check-identity:AB1234", "check-end:2"}));
    EXPECT_EQ(model.row(), kDefaultChipModelRow);
}

TEST_F(DetectionIdentityTest, FailedIdentityCallReportsNone) {
    g_identityResult = 0;
    EXPECT_EQ(Detect(), 2);
    EXPECT_EQ(log.With("check-identity:"), (std::vector<std::string>{"check-identity:none"}));
    EXPECT_FALSE(identity);
}

}  // namespace
