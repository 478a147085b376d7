#include "cli/EraseTicker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "TempDirectory.h"
#include "cli/ConsoleOutput.h"

namespace {

struct ElapsedRow {
    double seconds;
    uint32_t estimateMs;
    const char* text;
};

class EraseElapsedTextTest : public ::testing::TestWithParam<ElapsedRow> {};

TEST_P(EraseElapsedTextTest, SaysTheTimeSpentAndTheEstimateWhenKnown) {
    EXPECT_EQ(EraseElapsedText(GetParam().seconds, GetParam().estimateMs), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, EraseElapsedTextTest,
                         ::testing::Values(ElapsedRow{0, 0, "擦除中… 已用 0 秒"},
                                           ElapsedRow{12.4, 20000, "擦除中… 已用 12 秒，预计约 20 秒"},
                                           ElapsedRow{12.6, 0, "擦除中… 已用 13 秒"},
                                           ElapsedRow{1, 500, "擦除中… 已用 1 秒，预计约 1 秒"},
                                           ElapsedRow{61, 20001, "擦除中… 已用 61 秒，预计约 21 秒"},
                                           ElapsedRow{-0.5, 0, "擦除中… 已用 0 秒"}));

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Console {
    explicit Console(const std::string& path, bool terminal, int jobs = 1)
        : err(std::fopen(path.c_str(), "wb")) {
        ConsoleOutput::Setup setup;
        setup.out = err;
        setup.err = err;
        setup.outIsTerminal = setup.errIsTerminal = terminal;
        setup.jobs = jobs;
        output = std::make_unique<ConsoleOutput>(setup);
    }
    ~Console() { std::fclose(err); }
    FILE* err;
    std::unique_ptr<ConsoleOutput> output;
};

struct LineRow {
    const char* name;
    bool terminal;
    int jobs;
    const char* expected;
};

class ElapsedLineTest : public ::testing::TestWithParam<LineRow> {};

// A log gets no line of its own: the status texts before and after the erase say it.
TEST_P(ElapsedLineTest, IsDrawnInPlaceOnATerminalOnly) {
    TempDirectory dir;
    const std::string path = dir.file("err");
    {
        Console console(path, GetParam().terminal, GetParam().jobs);
        console.output->Elapsed(GetParam().jobs - 1, "擦除中… 已用 3 秒");
        console.output->EndProgress(GetParam().jobs - 1);
    }
    EXPECT_EQ(ReadAll(path), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ElapsedLineTest,
                         ::testing::Values(LineRow{"Terminal", true, 1, "\r\x1b[K擦除中… 已用 3 秒\r\x1b[K"},
                                           LineRow{"TerminalBlockOfTwo", true, 2,
                                                   "\n\n\x1b[1A\r\x1b[K擦除中… 已用 3 秒\x1b[1B\r"},
                                           LineRow{"Log", false, 1, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EraseTickerTest, RedrawsUntilStoppedThenClearsTheLine) {
    TempDirectory dir;
    const std::string path = dir.file("err");
    Console console(path, true);
    EraseTicker ticker(*console.output, 0, std::chrono::milliseconds(1));
    ticker.Start(20000);
    const std::string line = "\r\x1b[K擦除中… 已用 0 秒，预计约 20 秒";
    // The ticks come from the ticker's thread; wait for two at most a few seconds.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string text;
    while (std::chrono::steady_clock::now() < deadline) {
        text = ReadAll(path);
        if (text.find(line + line) != std::string::npos) break;
        std::this_thread::yield();
    }
    ticker.Stop();
    text = ReadAll(path);
    ASSERT_NE(text.find(line + line), std::string::npos) << text;
    // After Stop the line is gone and nothing follows.
    EXPECT_EQ(text.substr(text.size() - 4), "\r\x1b[K");
    ticker.Stop();
    EXPECT_EQ(ReadAll(path), text);
}

}  // namespace
