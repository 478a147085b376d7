#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "cli/ProgressMeter.h"

// Where the jobs' texts and progress go, shared by every job's thread.
//
// Texts (the status line's texts, differences, the overflow question) go to
// standard output, or to standard error with --json, whose objects alone fill
// standard output. Progress goes to standard error: on a terminal one line per
// job redrawn in place, otherwise a plain line at every tenth percent. With
// several jobs on a terminal each job owns one line of a block; texts that would
// break the block when standard output is that terminal wait until Finish.
class ConsoleOutput {
public:
    struct Setup {
        FILE* out = stdout;
        FILE* err = stderr;
        bool outIsTerminal = false;
        bool errIsTerminal = false;
        bool json = false;
        int jobs = 1;
        bool labelled = false;  // "[编程器N] " before each job's texts (--all)
        bool quiet = false;     // --quiet: neither texts nor progress; failures alone, on standard error
    };

    explicit ConsoleOutput(Setup setup);

    // The status line's text of job `slot`.
    void Status(int slot, const std::string& text);
    // Further information of job `slot` (one line).
    void Note(int slot, const std::string& text);
    void Progress(int slot, const ProgressSample& sample);
    // A progress line without a percentage (the time a chip erase has taken): drawn
    // in place on a terminal only; a log keeps to the status texts.
    void Elapsed(int slot, const std::string& text);
    // The job's bar is gone (the window hides it); the next bar counts afresh.
    void EndProgress(int slot);
    // Why job `slot` failed, once it has ended: on standard error when quiet (the
    // status line said it already otherwise).
    void Failure(int slot, const std::string& text);
    // One line on standard output (a --json object).
    void Line(const std::string& text);
    // Leaves the block of progress lines and prints what waited for it.
    void Finish();

    // The prefix of a job's texts: "[编程器N] " when labelled, else empty.
    std::string Label(int slot) const;

private:
    bool UsesBlock() const { return m_setup.errIsTerminal && m_setup.jobs > 1; }
    FILE* TextStream() const { return m_setup.json ? m_setup.err : m_setup.out; }
    bool TextsWait() const;
    void WriteText(int slot, const std::string& text);
    void DrawSlot(int slot, const std::string& text);
    void ClearSingleBar();
    void StartBlock();

    Setup m_setup;
    std::mutex m_mutex;
    bool m_blockStarted = false;
    bool m_finished = false;
    std::vector<std::string> m_waiting;
    // Single job on a terminal: the bar shown now (empty: none).
    std::string m_singleBar;
    std::vector<int> m_lastPlainPercent;
};
