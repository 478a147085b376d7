#include "cli/ConsoleOutput.h"

#include "cli/CliTexts.h"

namespace {
constexpr const char* kClearLine = "\r\x1b[K";
}

ConsoleOutput::ConsoleOutput(Setup setup)
    : m_setup(setup), m_lastPlainPercent(static_cast<size_t>(setup.jobs > 0 ? setup.jobs : 1), -1) {}

std::string ConsoleOutput::Label(int slot) const {
    if (!m_setup.labelled) return {};
    char text[48];
    std::snprintf(text, sizeof text, CliText::DeviceLabel, slot);
    return text;
}

bool ConsoleOutput::TextsWait() const {
    // Only a text bound for the terminal that holds the block would break it.
    return UsesBlock() && !m_finished && (m_setup.json || m_setup.outIsTerminal);
}

void ConsoleOutput::StartBlock() {
    if (m_blockStarted) return;
    m_blockStarted = true;
    for (int i = 0; i < m_setup.jobs; ++i) std::fprintf(m_setup.err, "%s\n", Label(i).c_str());
    std::fflush(m_setup.err);
}

void ConsoleOutput::DrawSlot(int slot, const std::string& text) {
    StartBlock();
    const int up = m_setup.jobs - slot;
    std::fprintf(m_setup.err, "\x1b[%dA%s%s%s\x1b[%dB\r", up, kClearLine, Label(slot).c_str(), text.c_str(),
                 up);
    std::fflush(m_setup.err);
}

void ConsoleOutput::ClearSingleBar() {
    if (m_singleBar.empty()) return;
    std::fputs(kClearLine, m_setup.err);
    std::fflush(m_setup.err);
}

void ConsoleOutput::WriteText(int slot, const std::string& text) {
    const std::string line = Label(slot) + text;
    if (TextsWait()) {
        m_waiting.push_back(line);
        return;
    }
    const bool sameTerminalAsBar = !UsesBlock() && m_setup.errIsTerminal;
    if (sameTerminalAsBar) ClearSingleBar();
    FILE* stream = TextStream();
    std::fprintf(stream, "%s\n", line.c_str());
    std::fflush(stream);
    // The bar comes back below the text until the operation hides it.
    if (sameTerminalAsBar && !m_singleBar.empty()) {
        std::fputs(m_singleBar.c_str(), m_setup.err);
        std::fflush(m_setup.err);
    }
}

void ConsoleOutput::Failure(int slot, const std::string& text) {
    std::lock_guard lock(m_mutex);
    if (!m_setup.quiet) return;
    std::fprintf(m_setup.err, "%s%s\n", Label(slot).c_str(), text.c_str());
    std::fflush(m_setup.err);
}

void ConsoleOutput::Status(int slot, const std::string& text) {
    std::lock_guard lock(m_mutex);
    if (m_setup.quiet) return;
    if (UsesBlock() && !m_finished) DrawSlot(slot, text);
    WriteText(slot, text);
}

void ConsoleOutput::Note(int slot, const std::string& text) {
    std::lock_guard lock(m_mutex);
    if (m_setup.quiet) return;
    WriteText(slot, text);
}

void ConsoleOutput::Progress(int slot, const ProgressSample& sample) {
    std::lock_guard lock(m_mutex);
    if (m_setup.quiet) return;
    const size_t i = static_cast<size_t>(slot);
    if (i >= m_lastPlainPercent.size()) return;
    if (m_setup.errIsTerminal) {
        const std::string line = TerminalProgressLine(sample);
        if (UsesBlock()) {
            if (!m_finished) DrawSlot(slot, line);
            return;
        }
        m_singleBar = kClearLine + Label(slot) + line;
        std::fputs(m_singleBar.c_str(), m_setup.err);
        std::fflush(m_setup.err);
        return;
    }
    if (!PlainProgressDue(m_lastPlainPercent[i], sample.percent)) return;
    m_lastPlainPercent[i] = sample.percent;
    std::fprintf(m_setup.err, "%s%s\n", Label(slot).c_str(), PlainProgressLine(sample).c_str());
    std::fflush(m_setup.err);
}

void ConsoleOutput::Elapsed(int slot, const std::string& text) {
    std::lock_guard lock(m_mutex);
    if (!m_setup.errIsTerminal || static_cast<size_t>(slot) >= m_lastPlainPercent.size()) return;
    if (UsesBlock()) {
        if (!m_finished) DrawSlot(slot, text);
        return;
    }
    m_singleBar = kClearLine + Label(slot) + text;
    std::fputs(m_singleBar.c_str(), m_setup.err);
    std::fflush(m_setup.err);
}

void ConsoleOutput::EndProgress(int slot) {
    std::lock_guard lock(m_mutex);
    const size_t i = static_cast<size_t>(slot);
    if (i < m_lastPlainPercent.size()) m_lastPlainPercent[i] = -1;
    if (m_setup.errIsTerminal && !UsesBlock()) {
        ClearSingleBar();
        m_singleBar.clear();
    }
}

void ConsoleOutput::Line(const std::string& text) {
    std::lock_guard lock(m_mutex);
    std::fprintf(m_setup.out, "%s\n", text.c_str());
    std::fflush(m_setup.out);
}

void ConsoleOutput::Finish() {
    std::lock_guard lock(m_mutex);
    if (m_finished) return;
    m_finished = true;
    if (!m_singleBar.empty()) {
        ClearSingleBar();
        m_singleBar.clear();
    }
    FILE* stream = TextStream();
    for (const std::string& line : m_waiting) std::fprintf(stream, "%s\n", line.c_str());
    m_waiting.clear();
    std::fflush(stream);
}
