#include "app/SerialNumberCommand.h"

#include <gtest/gtest.h>

#include "RecordingPorts.h"
#include "TempDirectory.h"
#include "device/ProductDataFile.h"
#include "device/ProductDataScramble.h"

namespace {

using Events = std::vector<std::string>;

TEST(SerialNumberCommandTest, StatusThenInformationBox) {
    struct Row {
        std::string content, box;
    };
    const Row rows[] = {
        {"text before*1234*text after", "box:产品信息|information|通用版序列号:        \r\n1234"},
        {"no serial here", "box:产品信息|information|通用版序列号:        \r\n"},
    };
    for (const Row& row : rows) {
        TempDirectory dir;
        dir.Write("XJQT.uc", ProductDataScramble::Build(row.content));
        ProductDataFile file;
        ASSERT_TRUE(file.Open(dir.file("XJQT.uc")));
        ASSERT_TRUE(file.CheckIntegrity());
        EventLog log;
        RecordingStatusLine status(log);
        ScriptedMessageBoxes boxes(log);
        ShowSerialNumber(file, status, boxes);
        EXPECT_EQ(log.Events(), (Events{"status:获取序列号成功...", row.box})) << row.content;
        EXPECT_FALSE(status.lastAlert());
    }
}

}  // namespace
