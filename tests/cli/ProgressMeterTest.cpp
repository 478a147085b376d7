#include "cli/ProgressMeter.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgressMeterTest, LinesCarryRateAndTimeLeft) {
    struct Row {
        ProgressSample sample;
        std::string terminal;
        std::string plain;
    };
    const Row rows[] = {
        {{"已烧录0%", 0, 8388608, 0.0},
         "已烧录0% [------------------------------]  0 B/s  剩余 --:--",
         "已烧录0% 0 B/s 剩余 --:--"},
        // 25 % of 8 MiB in 1 s: 2 MiB/s, three seconds to go.
        {{"已烧录25%", 25, 8388608, 1.0},
         "已烧录25% [#######-----------------------]  2.0 MiB/s  剩余 0:03",
         "已烧录25% 2.0 MiB/s 剩余 0:03"},
        // 10 % of 1 MiB in 40 s: 2.6 KiB/s, six minutes to go.
        {{"已读取10%", 10, 1048576, 40.0},
         "已读取10% [###---------------------------]  2.6 KiB/s  剩余 6:00",
         "已读取10% 2.6 KiB/s 剩余 6:00"},
        // 1 % of 128 KiB in 50 s: over an hour left, bytes per second below a KiB.
        {{"已校验1%", 1, 131072, 50.0},
         "已校验1% [------------------------------]  26 B/s  剩余 1:22:30",
         "已校验1% 26 B/s 剩余 1:22:30"},
        {{"已查空100%", 100, 4194304, 2.0},
         "已查空100% [##############################]  2.0 MiB/s  剩余 0:00",
         "已查空100% 2.0 MiB/s 剩余 0:00"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.sample.caption);
        EXPECT_EQ(TerminalProgressLine(row.sample), row.terminal);
        EXPECT_EQ(PlainProgressLine(row.sample), row.plain);
    }
}

TEST(ProgressMeterTest, BytesFollowThePercentageWithinBounds) {
    EXPECT_EQ(ProgressBytes({"", 50, 1000, 1}), 500u);
    EXPECT_EQ(ProgressBytes({"", 150, 1000, 1}), 1000u);
    EXPECT_EQ(ProgressBytes({"", -5, 1000, 1}), 0u);
    // 32 MiB at 99 %: no 32-bit overflow on the way.
    EXPECT_EQ(ProgressBytes({"", 99, 33554432, 1}), 33554432ull * 99 / 100);
}

TEST(ProgressMeterTest, PlainOutputKeepsToTenthsFirstAndLast) {
    std::vector<int> printed;
    int last = -1;
    for (int p : {0, 0, 1, 9, 10, 11, 19, 21, 35, 99, 100, 100}) {
        if (!PlainProgressDue(last, p)) continue;
        printed.push_back(p);
        last = p;
    }
    EXPECT_EQ(printed, (std::vector<int>{0, 10, 21, 35, 99, 100}));
}

}  // namespace
