#include "tools/DataView.h"

#include "FakeDriver.h"
#include "ToolsFixture.h"
#include "device/ChipModel.h"
#include "device/Device.h"
#include "tools/HexInput.h"

namespace {

class DataViewTest : public ToolsFixture {
protected:
    DataViewTest()
        : device(driver.Api(), model),
          lookup(image, device, jump, status, boxes, [this] { return workerIdle; }) {
        model.ApplyChipModel(kDefaultChipModelRow);
        std::vector<uint8_t> chip(131072, 0xFF);
        for (size_t i = 0; i < chip.size(); ++i) chip[i] = static_cast<uint8_t>(0xFF - i % 251);
        driver.SetChip(chip);
    }

    // Driver calls made since the last look at them.
    std::vector<std::string> Calls() {
        std::vector<std::string> texts;
        const std::vector<FakeCall> calls = driver.Calls();
        for (size_t i = seenCalls; i < calls.size(); ++i) texts.push_back(calls[i].Text());
        seenCalls = calls.size();
        return texts;
    }

    int ReadCalls() const {
        int reads = 0;
        for (const FakeCall& call : driver.Calls()) reads += call.entry == FakeEntry::Read;
        return reads;
    }

    FakeDriver driver;
    ChipModelSelection model;
    Device device;
    DataViewLookup lookup;
    bool workerIdle = true;
    size_t seenCalls = 0;
};

struct LookUpCase {
    const char* name;
    bool file;            // a 32-byte file is open
    bool programmer;      // the programmer answers
    bool readFails;       // the one-byte read fails
    std::string address;  // as typed
    const char* fileText;
    const char* chipText;
    const char* status;
};

TEST_F(DataViewTest, TextsOfTheFileAndChipPieces) {
    const LookUpCase cases[] = {
        {"defaults", true, true, false, "0", "01", "FF", "查文件成功,查芯片成功..."},
        {"last byte of the file", true, true, false, "1F", "DA", "E0", "查文件成功,查芯片成功..."},
        {"address at the file length", true, true, false, "20", "溢出", "DF", "文件溢出,查芯片成功..."},
        {"no file, no programmer", false, false, false, "0", "未知", "未知", "文件未打开,设备未连接..."},
        {"no file, read fails", false, true, true, "5", "未知", "未知", "文件未打开,读芯片错误..."},
        {"file, no programmer", true, false, false, "3", "16", "未知", "查文件成功,设备未连接..."},
        {"past the chip's end", true, true, false, "FFFFFFFF", "溢出", "未知", "文件溢出,读芯片错误..."},
    };
    for (const LookUpCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.file) Open(Counting(32));
        driver.SetResult(FakeEntry::Enum, c.programmer ? 1 : 0);
        if (c.readFails) driver.FailCall(FakeEntry::Read, ReadCalls() + 1);
        log.Clear();
        const auto result = lookup.Press(c.address);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->fileText, c.fileText);
        EXPECT_EQ(result->chipText, c.chipText);
        EXPECT_EQ(result->status, c.status);
        EXPECT_EQ(status.lastText(), "查看结束...");
        EXPECT_FALSE(status.lastAlert());
        EXPECT_TRUE(log.With("box:").empty());
        // The look-up's own connection is closed again.
        EXPECT_EQ(device.handle(), 0);
        image.Unload();
    }
}

TEST_F(DataViewTest, OneByteIsReadAtTheAddressAsTypedThenTheConnectionCloses) {
    Open(Counting(32));
    Calls();
    ASSERT_TRUE(lookup.Press("20").has_value());
    const std::vector<std::string> calls = Calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls.front(), "QuovixEnum()");
    EXPECT_EQ(calls[calls.size() - 2], "QuovixRead(7,1,32)");
    EXPECT_EQ(calls.back(), "QuovixClose(7)");
}

TEST_F(DataViewTest, FileByteIsShownInTheViewWithTheFocusOnIt) {
    Open(Counting(10000));
    ASSERT_TRUE(lookup.Press("0").has_value());
    EXPECT_EQ(view.topRow(), 0u);
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{1, 1}));
    ASSERT_TRUE(lookup.Press("1234").has_value());
    EXPECT_EQ(view.topRow(), 0x123u);
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{1, 5}));
    // Past the end the view stays where it was.
    ASSERT_TRUE(lookup.Press("2710").has_value());
    EXPECT_EQ(view.topRow(), 0x123u);
    EXPECT_TRUE(log.With("box:").empty());
}

TEST_F(DataViewTest, BytesAreTwoUpperCaseDigits) {
    std::vector<uint8_t> file = {0x05, 0xFF, 0x0A};
    Open(file);
    std::vector<uint8_t> chip(131072, 0x00);
    chip[0] = 0xFF;
    chip[1] = 0x05;
    chip[2] = 0xC3;
    driver.SetChip(chip);
    const std::pair<const char*, const char*> expected[] = {{"05", "FF"}, {"FF", "05"}, {"0A", "C3"}};
    for (uint32_t a = 0; a < 3; ++a) {
        const DataViewResult r = lookup.LookUp(a);
        EXPECT_EQ(r.fileText, expected[a].first);
        EXPECT_EQ(r.chipText, expected[a].second);
    }
}

TEST_F(DataViewTest, BusyWorkerKeepsItsConnectionAndTheFilePartStillWorks) {
    Open(Counting(32));
    workerIdle = false;
    Calls();
    const DataViewResult r = lookup.LookUp(2);
    EXPECT_EQ(r.fileText, "0F");
    EXPECT_EQ(r.chipText, "未知");
    EXPECT_EQ(r.status, "查文件成功,设备忙...");
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(status.lastText(), "查看结束...");
}

TEST_F(DataViewTest, WhileProgrammingTheViewDoesNotMove) {
    Open(Counting(10000));
    state.ProgramBusy = true;
    workerIdle = false;
    const DataViewResult r = lookup.LookUp(5000);
    EXPECT_EQ(r.fileText, HexByteText(static_cast<uint8_t>(5000 * 7 + 1)));
    EXPECT_EQ(view.topRow(), 0u);
    EXPECT_EQ(repaints, 0);
    state.ProgramBusy = false;
}

TEST_F(DataViewTest, EmptyAddressGetsItsBoxAndNothingElse) {
    Open(Counting(32));
    Calls();
    EXPECT_FALSE(lookup.Press("").has_value());
    EXPECT_EQ(log.Events(), std::vector<std::string>{"box:提示|exclamation|请输入要查看的地址！   "});
    EXPECT_TRUE(Calls().empty());
}

}  // namespace
