#include "tools/AddressJump.h"
#include "tools/HexInput.h"

#include <tuple>

#include "ToolsFixture.h"

namespace {

using AddressJumpTest = ToolsFixture;

const std::vector<std::string> kOutOfRange = {"status:地址超出文件范围！|alert",
                                              "box:提示|exclamation|地址超出文件范围！"};

TEST_F(AddressJumpTest, AddressOutsideTheFileIsReportedAndMovesNothing) {
    EXPECT_FALSE(jump.GoToAddress(0));  // no file
    EXPECT_EQ(log.Events(), kOutOfRange);

    Open(Counting(100));
    EXPECT_FALSE(jump.GoToAddress(100));
    EXPECT_FALSE(jump.GoToAddress(0xFFFFFFFFu));
    EXPECT_EQ(log.With("box:").size(), 2u);
    EXPECT_EQ(repaints, 0);
    EXPECT_EQ(grid.CurrentCell(), GridCellId{});
}

struct JumpCase {
    const char* name;
    size_t length;
    uint32_t startTop;
    uint32_t address;
    uint32_t top;
    GridCellId cell;
};

TEST_F(AddressJumpTest, PagingRules) {
    const JumpCase cases[] = {
        {"first byte", 1000, 0, 0, 0, {1, 1}},
        {"one page: the page never moves", 336, 0, 0x14F, 0, {21, 16}},
        {"337 bytes: the last page is full", 337, 0, 0x150, 1, {21, 1}},
        {"byte already on the page", 10000, 5, 5 * 16 + 200, 5, {13, 9}},
        {"byte above the page", 10000, 100, 32, 2, {1, 1}},
        {"byte below the page", 10000, 0, 0x1234, 0x123, {1, 5}},
        {"last byte of a long file", 100000, 0, 99999, 6250 - 21, {21, 16}},
    };
    for (const JumpCase& c : cases) {
        SCOPED_TRACE(c.name);
        Open(Counting(c.length));
        view.SetTopRow(c.startTop);
        EXPECT_TRUE(jump.GoToAddress(c.address));
        EXPECT_EQ(view.topRow(), c.top);
        EXPECT_EQ(grid.CurrentCell(), c.cell);
        EXPECT_TRUE(view.focusFollow());
        // The cell shows the byte jumped to.
        EXPECT_EQ(grid.CellText(c.cell.row, c.cell.column),
                  HexByteText(static_cast<uint8_t>(c.address * 7 + 1)));
        image.Unload();
    }
}

TEST_F(AddressJumpTest, EditModeOpensTheEditorOnTheByte) {
    Open(Counting(1000));
    std::vector<std::tuple<int, int, uint32_t>> opened;
    bool editMode = false;
    jump.SetEditMode(
        [&] { return editMode; },
        [&](int row, int column, uint32_t fileRow) { opened.emplace_back(row, column, fileRow); });
    EXPECT_TRUE(jump.GoToAddress(0x25));
    EXPECT_TRUE(opened.empty());
    editMode = true;
    EXPECT_TRUE(jump.GoToAddress(0x25));
    view.SetTopRow(100);
    EXPECT_TRUE(jump.GoToAddress(0x3A0));  // off the page; the last page is kept full
    EXPECT_EQ(opened, (std::vector<std::tuple<int, int, uint32_t>>{{3, 6, 2}, {17, 1, 0x3A}}));
}

TEST_F(AddressJumpTest, NothingMovesWhileProgrammingOrVerifyingReadsTheWorkCopy) {
    Open(Counting(10000));
    for (std::atomic<bool>* flag : {&state.ProgramBusy, &state.VerifyBusy}) {
        *flag = true;
        EXPECT_FALSE(jump.GoToAddress(5000));
        EXPECT_EQ(view.topRow(), 0u);
        EXPECT_EQ(repaints, 0);
        *flag = false;
    }
    EXPECT_TRUE(log.Events().empty());
}

}  // namespace
