#include "cli/ConsoleOutput.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

// One memory stream; out and err may share it, to see their order.
class Stream {
public:
    Stream() : m_file(open_memstream(&m_data, &m_size)) {}
    ~Stream() {
        std::fclose(m_file);
        std::free(m_data);
    }
    FILE* file() { return m_file; }
    std::string Text() {
        std::fflush(m_file);
        return std::string(m_data, m_size);
    }

private:
    char* m_data = nullptr;
    size_t m_size = 0;
    FILE* m_file;
};

const ProgressSample kHalf{"已烧录50%", 50, 1048576, 1.0};
const std::string kHalfTerminal = "已烧录50% [###############---------------]  512.0 KiB/s  剩余 0:01";

TEST(ConsoleOutputTest, OneJobOnATerminalRedrawsItsBarAroundTheTexts) {
    Stream both;  // standard output and standard error are the same terminal
    ConsoleOutput::Setup setup;
    setup.out = both.file();
    setup.err = both.file();
    setup.outIsTerminal = setup.errIsTerminal = true;
    ConsoleOutput console(setup);

    console.Progress(0, kHalf);
    console.Status(0, "烧录成功...");
    console.EndProgress(0);
    console.Status(0, "校验成功...");
    console.Finish();
    EXPECT_EQ(both.Text(), "\r\x1b[K" + kHalfTerminal +      // the bar
                               "\r\x1b[K烧录成功...\n" +     // cleared for the text
                               "\r\x1b[K" + kHalfTerminal +  // and back below it
                               "\r\x1b[K" +                  // hidden
                               "校验成功...\n");
}

TEST(ConsoleOutputTest, WithoutATerminalProgressIsPlainLinesAtEveryTenth) {
    Stream out, err;
    ConsoleOutput::Setup setup;
    setup.out = out.file();
    setup.err = err.file();
    ConsoleOutput console(setup);
    for (int p = 0; p <= 100; p += 5) console.Progress(0, {"已读取" + std::to_string(p) + "%", p, 1000, 1.0});
    console.EndProgress(0);
    console.Progress(0, {"已校验0%", 0, 1000, 0.0});  // the next bar starts its own count
    console.Status(0, "芯片读取成功...");
    EXPECT_EQ(out.Text(), "芯片读取成功...\n");
    const std::string text = err.Text();
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    int lines = 0;
    for (char c : text) lines += c == '\n';
    EXPECT_EQ(lines, 12);  // 0, 10, ..., 100 and the next bar's 0
    EXPECT_NE(text.find("已读取50% 500 B/s 剩余 0:01\n"), std::string::npos) << text;
    EXPECT_NE(text.find("已校验0% 0 B/s 剩余 --:--\n"), std::string::npos);
}

TEST(ConsoleOutputTest, SeveralJobsOnATerminalEachOwnALine) {
    Stream out, err;
    ConsoleOutput::Setup setup;
    setup.out = out.file();
    setup.err = err.file();
    setup.outIsTerminal = setup.errIsTerminal = true;
    setup.jobs = 3;
    setup.labelled = true;
    ConsoleOutput console(setup);

    console.Progress(1, kHalf);
    console.Status(2, "芯片擦除中...");
    EXPECT_EQ(err.Text(),
              "[编程器0] \n[编程器1] \n[编程器2] \n"
              "\x1b[2A\r\x1b[K[编程器1] " +
                  kHalfTerminal +
                  "\x1b[2B\r"
                  "\x1b[1A\r\x1b[K[编程器2] 芯片擦除中...\x1b[1B\r");
    // The texts wait below the block, so they do not scroll it away.
    EXPECT_EQ(out.Text(), "");
    console.Finish();
    EXPECT_EQ(out.Text(), "[编程器2] 芯片擦除中...\n");
}

TEST(ConsoleOutputTest, SeveralJobsWithoutATerminalWriteLabelledLines) {
    Stream out, err;
    ConsoleOutput::Setup setup;
    setup.out = out.file();
    setup.err = err.file();
    setup.jobs = 2;
    setup.labelled = true;
    setup.json = true;  // texts go to standard error, standard output stays for the objects
    ConsoleOutput console(setup);
    console.Status(1, "烧录成功...");
    console.Progress(0, {"已烧录0%", 0, 10, 0.0});
    console.Line("{}");
    EXPECT_EQ(err.Text(), "[编程器1] 烧录成功...\n[编程器0] 已烧录0% 0 B/s 剩余 --:--\n");
    EXPECT_EQ(out.Text(), "{}\n");
}

}  // namespace
