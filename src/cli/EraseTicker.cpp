#include "cli/EraseTicker.h"

#include <cmath>

#include "cli/ConsoleOutput.h"

std::string EraseElapsedText(double seconds, uint32_t estimateMs) {
    std::string text = "擦除中… 已用 " + std::to_string(std::lround(std::max(0.0, seconds))) + " 秒";
    // Rounded up: an estimate of half a second still says one.
    if (estimateMs > 0) text += "，预计约 " + std::to_string((estimateMs + 999) / 1000) + " 秒";
    return text;
}

EraseTicker::EraseTicker(ConsoleOutput& console, int slot, std::chrono::milliseconds interval)
    : m_console(console), m_slot(slot), m_interval(interval) {}

EraseTicker::~EraseTicker() {
    Stop();
}

void EraseTicker::Start(uint32_t estimateMs) {
    Stop();
    std::lock_guard lock(m_mutex);
    m_stop = false;
    m_thread = std::thread(&EraseTicker::Run, this, std::chrono::steady_clock::now(), estimateMs);
}

void EraseTicker::Stop() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_thread.joinable()) return;
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    m_console.EndProgress(m_slot);
}

void EraseTicker::Run(std::chrono::steady_clock::time_point start, uint32_t estimateMs) {
    std::unique_lock lock(m_mutex);
    while (!m_wake.wait_for(lock, m_interval, [this] { return m_stop; })) {
        const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
        m_console.Elapsed(m_slot, EraseElapsedText(spent.count(), estimateMs));
    }
}
