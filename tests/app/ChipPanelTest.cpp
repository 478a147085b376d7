#include "app/ChipPanel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingPorts.h"
#include "device/ChipModel.h"
#include "device/DeviceState.h"
#include "image/FileImage.h"
#include "ports/CommandIds.h"

namespace {

using Events = std::vector<std::string>;

class ChipPanelTest : public ::testing::Test {
protected:
    EventLog log;
    RecordingCommandStates commands{log};
    RecordingChipModelList list{log};
    RecordingControlTexts texts{log};
    ChipModelSelection model;
    FileImage image;
    ChipPanel panel{model, image, commands, list, texts};
};

// The data view stays usable with a file loaded; without one, only a chip found keeps it.
TEST_F(ChipPanelTest, DataViewFollowsTheCheckUnlessAFileIsLoaded) {
    struct Row {
        bool fileLoaded;
        int state;
        Events events;
        bool enabledAfter;
    };
    const Row rows[] = {
        {false, NoProgrammer, {"enable:32803|0"}, false},
        {false, NoChip, {"enable:32803|0"}, false},
        {false, ChipReady, {"enable:32803|0", "enable:32803|1"}, true},
        {true, NoProgrammer, {}, true},
        {true, ChipReady, {}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.fileLoaded) + "/" + std::to_string(row.state));
        commands.SetEnabled(CommandId::DataView, true);
        image.SetLoaded(row.fileLoaded);
        log.Clear();
        panel.CheckStarting();
        panel.CheckEnded(row.state);
        EXPECT_EQ(log.Events(), row.events);
        EXPECT_EQ(commands.IsEnabled(CommandId::DataView), row.enabledAfter);
    }
}

TEST_F(ChipPanelTest, ARowFromACheckIsSelectedInTheListThenLabelled) {
    model.ApplyChipModel(6);
    panel.ModelRowSelected(6);
    EXPECT_EQ(log.Events(), (Events{"select-row:6", "text:1082|8Mbytes"}));
}

TEST_F(ChipPanelTest, TheIdentityLineIsShownAndClearedWithoutAChip) {
    VelmorChipIdentity unknown{};
    unknown.jedec_id = 0xAB1234;
    unknown.source = VELMOR_IDENTITY_UNKNOWN;
    panel.IdentityFound(unknown);
    panel.IdentityFound(std::nullopt);
    EXPECT_EQ(log.Events(), (Events{"text:1083|未知芯片 AB1234", "text:1083|"}));
}

}  // namespace
