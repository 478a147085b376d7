#include "tools/FileFill.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ports/CommandIds.h"
#include "support/FileSizeLimit.h"
#include "support/ImageViewHarness.h"
#include "tools/FillForm.h"
#include "tools/HexInput.h"

namespace {

using Events = std::vector<std::string>;

class FileFillTest : public ::testing::Test, protected ImageViewHarness {
protected:
    FileFillTest() : fill(image, view, status, boxes, texts, state, [this] { return editMode; }) {
        commands.SetEnabled(CommandId::Save, false);
    }

    void Open(const std::vector<uint8_t>& bytes) {
        original = bytes;
        ASSERT_TRUE(ImageViewHarness::Open(bytes));
        commands.SetEnabled(CommandId::Save, false);
        log.Clear();
    }

    FillOutcome Press(const std::string& address, const std::string& length, const std::string& data,
                      bool append = false) {
        return fill.Press(FillRequest{address, length, data, append});
    }

    std::vector<uint8_t> Work() const { return ReadBytes(workPath); }

    // Length, checksum, texts and labels all describe the work copy as it is on disk.
    void ExpectShowsTheWorkCopy() {
        const std::vector<uint8_t> work = Work();
        EXPECT_EQ(image.length(), work.size());
        EXPECT_EQ(image.checksum(), ByteSum(work.data(), work.size()));
        EXPECT_EQ(texts.Text(CommandId::ChecksumLabel), ChecksumText(ByteSum(work.data(), work.size())));
        EXPECT_EQ(texts.Text(CommandId::SizeLabel), SizeText(static_cast<uint32_t>(work.size())));
        EXPECT_EQ(view.rowCount(), RowCountOf(static_cast<uint32_t>(work.size())));
    }

    bool editMode = true;
    FileFill fill;
    std::vector<uint8_t> original;
};

struct FillCase {
    const char* name;
    size_t fileSize;
    const char* address;
    const char* length;
    const char* data;
    bool append;
    size_t start;  // first byte of the run
    size_t count;  // bytes of the run
    uint8_t value;
    size_t newLength;  // the work copy afterwards
};

TEST_F(FileFillTest, WritesTheRunAfterAnFFGapAndShowsTheNewImage) {
    const FillCase cases[] = {
        {"defaults with FF", 16, "0", "1", "FF", false, 0, 1, 0xFF, 16},
        {"16 bytes, address 20: gap, then the run", 16, "20", "4", "00", false, 32, 4, 0x00, 36},
        {"16 bytes, appended at the end", 16, "10", "4", "00", true, 16, 4, 0x00, 20},
        {"length 0 still pads the gap", 16, "20", "0", "55", false, 32, 0, 0x55, 32},
        {"20000 bytes of AA", 16, "0", "20000", "AA", false, 0, 20000, 0xAA, 20000},
        {"a run inside that passes the end", 100, "50", "100", "3C", false, 80, 100, 0x3C, 180},
        {"a run inside the file", 400, "1F", "3", "7", false, 31, 3, 0x07, 400},
        {"the start at the end: no gap", 16, "10", "2", "EE", false, 16, 2, 0xEE, 18},
    };
    for (const FillCase& c : cases) {
        SCOPED_TRACE(c.name);
        Open(PatternBytes(c.fileSize, 3));
        const FillOutcome outcome = Press(c.address, c.length, c.data, c.append);

        std::vector<uint8_t> expected = original;
        if (expected.size() < c.start) expected.resize(c.start, 0xFF);
        if (expected.size() < c.start + c.count) expected.resize(c.start + c.count);
        std::fill(expected.begin() + static_cast<std::ptrdiff_t>(c.start),
                  expected.begin() + static_cast<std::ptrdiff_t>(c.start + c.count), c.value);
        ASSERT_EQ(expected.size(), c.newLength);
        EXPECT_EQ(Work(), expected);
        ExpectShowsTheWorkCopy();

        EXPECT_EQ(outcome.dialogStatus, FileFill::FinishedText);
        EXPECT_EQ(log.With("status:"), Events{"status:文件填充结束..."});
        EXPECT_TRUE(log.With("box:").empty());
        // The page shows the new bytes, and a changed byte on it enables Save.
        const bool changedOnPage = expected != original;
        EXPECT_EQ(commands.IsEnabled(CommandId::Save), changedOnPage);
        EXPECT_EQ(grid.CellText(1, 1), HexByteText(expected[0]));
        EXPECT_EQ(outcome.addressText.has_value(), c.append);
        if (c.append) {
            EXPECT_EQ(*outcome.addressText, "14");
        }
        image.Unload();
    }
}

// Records the writes that reach the work copy.
std::vector<std::pair<uint64_t, size_t>> g_writes;
std::string g_workPath;

int RecordWrite(const File& file, uint64_t offset, size_t count, bool write) {
    if (write && file.Path() == g_workPath) g_writes.emplace_back(offset, count);
    return 0;
}

TEST_F(FileFillTest, RunIsWrittenInPiecesOfAtMost8192Bytes) {
    Open(PatternBytes(16));
    g_writes.clear();
    g_workPath = workPath;
    File::SetFaultHook(RecordWrite);
    Press("0", "20000", "AA");
    File::SetFaultHook(nullptr);
    using Writes = std::vector<std::pair<uint64_t, size_t>>;
    EXPECT_EQ(g_writes, (Writes{{0, 8192}, {8192, 8192}, {16384, 3616}}));
}

struct RefusalCase {
    const char* name;
    const char* address;
    const char* length;
    const char* data;
    bool append;
    bool editMode;
    std::atomic<bool> WorkerState::*busy;
    Events events;
    const char* dialogStatus;
};

const char* const kRange = "box:提示|exclamation|填充长度超出范围！   ";

TEST_F(FileFillTest, RefusedPressesWriteNothing) {
    const RefusalCase cases[] = {
        {"address empty",
         "",
         "1",
         "FF",
         false,
         true,
         nullptr,
         {"box:提示|exclamation|请输入要填充数据的起始地址！   "},
         ""},
        {"all empty: the address first",
         "",
         "",
         "",
         false,
         true,
         nullptr,
         {"box:提示|exclamation|请输入要填充数据的起始地址！   "},
         ""},
        {"length empty",
         "0",
         "",
         "FF",
         false,
         true,
         nullptr,
         {"box:提示|exclamation|请输入要填充数据的长度！   "},
         ""},
        {"data empty",
         "0",
         "1",
         "",
         false,
         true,
         nullptr,
         {"box:提示|exclamation|请输入要填充的数据！   "},
         ""},
        {"view mode",
         "0",
         "1",
         "FF",
         false,
         false,
         nullptr,
         {"status:文件处于非编辑模式，无法修改数据！|alert",
          "box:XJQT_Tarlo Flash编程器 V1.5|none|文件处于非编辑模式，无法修改数据！"},
         FileFill::NotEditModeText},
        {"while programming",
         "0",
         "1",
         "FF",
         false,
         true,
         &WorkerState::ProgramBusy,
         {"box:提示|information|当前不能执行此操作！   "},
         ""},
        {"while verifying",
         "20",
         "1",
         "FF",
         false,
         true,
         &WorkerState::VerifyBusy,
         {"box:提示|information|当前不能执行此操作！   "},
         ""},
        {"length above 4294967295", "0", "4294967296", "FF", false, true, nullptr, {kRange}, ""},
        {"ten nines", "0", "9999999999", "FF", false, true, nullptr, {kRange}, ""},
        {"end past 4 GiB - 1", "1", "4294967295", "FF", false, true, nullptr, {kRange}, ""},
        {"last address plus one byte", "FFFFFFFF", "1", "FF", false, true, nullptr, {kRange}, ""},
        {"appending past 4 GiB - 1", "10", "4294967280", "FF", true, true, nullptr, {kRange}, ""},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        Open(PatternBytes(16, 9));
        editMode = c.editMode;
        if (c.busy) state.*c.busy = true;
        const FillOutcome outcome = Press(c.address, c.length, c.data, c.append);
        if (c.busy) state.*c.busy = false;
        EXPECT_EQ(log.Events(), c.events);
        EXPECT_EQ(outcome.dialogStatus, c.dialogStatus);
        EXPECT_FALSE(outcome.addressText.has_value());
        EXPECT_EQ(Work(), original);
        EXPECT_EQ(image.length(), 16u);
        image.Unload();
    }
}

TEST_F(FileFillTest, FillLengthIsReadAsDecimalUpTo4294967295) {
    const std::pair<const char*, std::optional<uint32_t>> cases[] = {
        {"0", 0u},
        {"1", 1u},
        {"0000000001", 1u},
        {"20000", 20000u},
        {"4294967295", 4294967295u},
        {"4294967296", std::nullopt},
        {"9999999999", std::nullopt},
        {"12A", std::nullopt},
    };
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ReadFillLength(text), value);
    }
}

// A file past the display limit can be filled; the view warns that it cannot show it all.
TEST_F(FileFillTest, RowCountWarningFromMoreThan134217754Rows) {
    const std::pair<uint64_t, bool> cases[] = {
        {134217754ull * 16, false},
        {134217754ull * 16 + 1, true},
        {0xFFFFFFFFull, true},  // the largest image: its last byte is still accepted
    };
    for (const auto& [size, warned] : cases) {
        SCOPED_TRACE(size);
        Open(PatternBytes(16));
        // A sparse work copy: only the fill's byte is data.
        ASSERT_TRUE(image.workCopy().Truncate(size - 1));
        image.SetLength(static_cast<uint32_t>(size - 1));
        Press("0", "1", "01", true);
        EXPECT_EQ(image.length(), size);
        EXPECT_EQ(image.checksum(), ByteSum(original.data(), original.size()) + 1);
        const Events expected =
            warned ? Events{"box:警告|exclamation|文件过大,无法全部显示，但可以烧录！"} : Events{};
        EXPECT_EQ(log.With("box:"), expected);
        EXPECT_EQ(log.With("status:"), Events{"status:文件填充结束..."});
        image.Unload();
    }
}

struct FullDiskCase {
    const char* name;
    const char* address;
    const char* length;
    size_t limit;
    size_t lengthAfter;
};

TEST_F(FileFillTest, FullDiskIsReportedAndTheViewShowsWhatTheWorkCopyHolds) {
    const FullDiskCase cases[] = {
        {"the run stops at the limit", "0", "20000", 10000, 10000},
        {"the gap does not fit: taken back", "8000", "1", 10000, 16},
        {"the run past the end stops at the limit", "10", "9000", 4096, 4096},
    };
    for (const FullDiskCase& c : cases) {
        SCOPED_TRACE(c.name);
        Open(PatternBytes(16, 5));
        FillOutcome outcome;
        {
            FileSizeLimit limit(c.limit);
            outcome = Press(c.address, c.length, "AA");
        }
        EXPECT_EQ(Work().size(), c.lengthAfter);
        ExpectShowsTheWorkCopy();
        EXPECT_EQ(outcome.dialogStatus, FileFill::FailedText);
        EXPECT_EQ(log.With("status:"), Events{"status:文件填充失败...|alert|beep"});
        image.Unload();
    }
}

struct FormStep {
    const char* action;  // "tick", "clear", "check <text>", "press"
    const char* text;    // address text afterwards (tick, clear, press) or the checked text
    bool removed;        // check: refused
    bool skipAfter;
};

TEST_F(FileFillTest, CheckBoxWritesTheAddressAndLetsThatTextPassItsCheckOnce) {
    Open(PatternBytes(4096));
    FillForm form(fill);
    EXPECT_FALSE(form.skipNextCheck());
    EXPECT_FALSE(form.append());
    const FormStep steps[] = {
        {"check", "1G", true, false},     // an ordinary check
        {"tick", "1000", false, true},    // the end of a 4096-byte file
        {"check", "1000", false, false},  // the program's write consumes the flag
        {"press", "1001", false, true},   // appended one byte: the new end
        {"check", "1001", false, false}, {"clear", "0", false, true}, {"check", "0", false, false},
        {"check", "0G", true, false},  // the user's next character is checked again
        {"check", "", false, false},   // an empty text is never examined
    };
    for (const FormStep& s : steps) {
        SCOPED_TRACE(std::string(s.action) + " " + s.text);
        const std::string action = s.action;
        if (action == "tick") {
            EXPECT_EQ(form.SetAppend(true), s.text);
        } else if (action == "clear") {
            EXPECT_EQ(form.SetAppend(false), s.text);
        } else if (action == "press") {
            const FillOutcome outcome = form.Press("1000", "1", "FF");
            ASSERT_TRUE(outcome.addressText.has_value());
            EXPECT_EQ(*outcome.addressText, s.text);
        } else {
            const std::string text = s.text;
            EXPECT_EQ(form.CheckAddress(text, text.size()).removed, s.removed);
        }
        EXPECT_EQ(form.skipNextCheck(), s.skipAfter);
    }
    EXPECT_EQ(image.length(), 4097u);
}

}  // namespace
