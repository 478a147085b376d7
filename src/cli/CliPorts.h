#pragma once

#include <functional>
#include <string>

#include "cli/EraseTicker.h"
#include "operations/ChipOperations.h"
#include "ports/MessageBoxes.h"
#include "ports/PromptSoundPort.h"
#include "ports/StatusLine.h"
#include "ports/WindowPorts.h"

class ConsoleOutput;

// The status line of one job: texts to the console, the bar to the progress line.
// Called on the job's own thread only.
class JobStatusLine : public StatusLine {
public:
    // `clock` gives seconds from any fixed start.
    JobStatusLine(ConsoleOutput& console, int slot, std::function<double()> clock);

    // What 100 % stands for: the image's length within the chip for program and
    // verify, the chip's capacity for read and blank check (asked when a bar moves, since
    // the capacity is known only once the chip answered).
    void SetTotals(std::function<uint64_t()> imageLength, std::function<uint64_t()> capacity);
    // The chip's typical whole-chip erase time in ms (0: unknown), asked as an erase starts.
    void SetEraseEstimate(std::function<uint32_t()> estimateMs) { m_eraseEstimate = std::move(estimateMs); }

    void SetStatus(const std::string& text, bool alert, bool beep) override;
    void ShowProgress() override;
    void SetProgress(int position, const std::string& caption) override;
    void HideProgress() override;

    const std::string& lastText() const { return m_lastText; }
    // Bytes the last bar stood for when it stopped.
    uint64_t lastBytes() const { return m_lastBytes; }

private:
    uint64_t TotalFor(const std::string& caption) const;

    ConsoleOutput& m_console;
    int m_slot;
    std::function<double()> m_clock;
    double m_start = 0;
    std::function<uint64_t()> m_imageLength;
    std::function<uint64_t()> m_capacity;
    std::function<uint32_t()> m_eraseEstimate;
    EraseTicker m_eraseTicker;
    uint64_t m_lastBytes = 0;
    std::string m_lastText;
};

// The window's boxes, answered by the command line's options: the overflow
// question by --allow-overflow; each verify difference is listed up to
// --max-differences and then the verify goes on counting without listing.
// Other boxes repeat the status text and are not shown.
class OptionAnswers : public MessageBoxes {
public:
    OptionAnswers(ConsoleOutput& console, int slot, bool allowOverflow, int maxDifferences);
    MessageAnswer Show(const std::string& text, const std::string& title, MessageIcon icon,
                       MessageButtons buttons) override;

private:
    ConsoleOutput& m_console;
    int m_slot;
    bool m_allowOverflow;
    int m_maxDifferences;
    int m_differences = 0;
};

// A box text on one line: its line breaks become blanks; for a difference box
// the hint about the box's buttons is left out.
std::string OneLineBoxText(const std::string& text);

// The window's remaining ports do nothing on the command line.
class SilentSounds : public PromptSoundPort {
public:
    void PlayPromptSound(const std::string&) override {}
};

// There is no window thread: the work runs on the job's thread.
class InlineWindowThread : public WindowThread {
public:
    void Run(const std::function<void()>& work) override { work(); }
};

// A chip read has no view to update; the job copies the chip work file itself.
class NoReadView : public ReadChipView {
public:
    void ForceViewMode() override {}
    void LoadChipImage() override {}
    void ResolveTruncatedChipImage() override {}
};
