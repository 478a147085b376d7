#include "cli/CliPorts.h"

#include <algorithm>
#include <string_view>

#include "cli/ConsoleOutput.h"
#include "operations/OperationTexts.h"

namespace {

// The caption's words before its number, e.g. "已烧录" of "已烧录%u%%".
bool HasCaptionOf(const std::string& caption, const char* format) {
    const std::string_view f(format);
    return caption.rfind(f.substr(0, f.find('%')), 0) == 0;
}

std::string Replace(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    for (size_t at = text.find(from); at != std::string_view::npos; at = text.find(from)) {
        out.append(text.substr(0, at));
        out.append(to);
        text.remove_prefix(at + from.size());
    }
    out.append(text);
    return out;
}

}  // namespace

JobStatusLine::JobStatusLine(ConsoleOutput& console, int slot, std::function<double()> clock)
    : m_console(console), m_slot(slot), m_clock(std::move(clock)), m_eraseTicker(console, slot) {}

void JobStatusLine::SetTotals(std::function<uint64_t()> imageLength, std::function<uint64_t()> capacity) {
    m_imageLength = std::move(imageLength);
    m_capacity = std::move(capacity);
}

uint64_t JobStatusLine::TotalFor(const std::string& caption) const {
    const bool imageBased = HasCaptionOf(caption, OperationText::ProgramCaption) ||
                            HasCaptionOf(caption, OperationText::VerifyCaption);
    const uint64_t capacity = m_capacity ? m_capacity() : 0;
    if (!imageBased) return capacity;
    // Program and verify stop at the chip's end: a larger image's bar stands for the bytes done.
    const uint64_t length = m_imageLength ? m_imageLength() : 0;
    return capacity > 0 ? std::min(length, capacity) : length;
}

void JobStatusLine::SetStatus(const std::string& text, bool, bool) {
    // The erase's next news, whatever it is, ends the elapsed-time line.
    m_eraseTicker.Stop();
    m_lastText = text;
    m_console.Status(m_slot, text);
    if (text == OperationText::Erasing) m_eraseTicker.Start(m_eraseEstimate ? m_eraseEstimate() : 0);
}

void JobStatusLine::ShowProgress() {
    m_start = m_clock();
    m_lastBytes = 0;
}

void JobStatusLine::SetProgress(int position, const std::string& caption) {
    ProgressSample sample;
    sample.caption = caption;
    sample.percent = position;
    sample.totalBytes = TotalFor(caption);
    sample.seconds = m_clock() - m_start;
    m_lastBytes = ProgressBytes(sample);
    m_console.Progress(m_slot, sample);
}

void JobStatusLine::HideProgress() {
    m_console.EndProgress(m_slot);
}

std::string OneLineBoxText(const std::string& text) {
    std::string line = text;
    const size_t hint = line.find(OperationText::DifferenceHint);
    if (hint != std::string::npos) line.erase(hint);
    line = Replace(line, "\r\n", " ");
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

OptionAnswers::OptionAnswers(ConsoleOutput& console, int slot, bool allowOverflow, int maxDifferences)
    : m_console(console), m_slot(slot), m_allowOverflow(allowOverflow), m_maxDifferences(maxDifferences) {}

MessageAnswer OptionAnswers::Show(const std::string& text, const std::string&, MessageIcon,
                                  MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::YesNo:
            // The one yes/no question of the operations: program a file larger than the chip?
            m_console.Note(m_slot, OneLineBoxText(text) + (m_allowOverflow ? " 是" : " 否"));
            return m_allowOverflow ? MessageAnswer::Yes : MessageAnswer::No;
        case MessageButtons::YesNoCancel:
            // A verify difference: "Yes" shows the next, "No" counts the rest silently.
            ++m_differences;
            if (m_differences <= m_maxDifferences) m_console.Note(m_slot, OneLineBoxText(text));
            return m_differences < m_maxDifferences ? MessageAnswer::Yes : MessageAnswer::No;
        case MessageButtons::Ok:
            break;
    }
    return MessageAnswer::Ok;
}
