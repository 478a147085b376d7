#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

class ConsoleOutput;

// "擦除中… 已用 12 秒，预计约 20 秒", or without the estimate when it is unknown (0).
std::string EraseElapsedText(double seconds, uint32_t estimateMs);

// A whole-chip erase is one driver call that can take minutes: while it runs the
// job's progress line shows the time spent, refreshed every `interval`, from a
// thread of its own (the job's thread waits in the driver).
class EraseTicker {
public:
    EraseTicker(ConsoleOutput& console, int slot,
                std::chrono::milliseconds interval = std::chrono::milliseconds(1000));
    ~EraseTicker();
    EraseTicker(const EraseTicker&) = delete;
    EraseTicker& operator=(const EraseTicker&) = delete;

    // Starts counting from now (again, if it ran).
    void Start(uint32_t estimateMs);
    // Stops and takes the line away; nothing more is drawn after it returns.
    void Stop();

private:
    void Run(std::chrono::steady_clock::time_point start, uint32_t estimateMs);

    ConsoleOutput& m_console;
    int m_slot;
    std::chrono::milliseconds m_interval;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};
