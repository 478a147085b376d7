#pragma once

// Runs a piece of work that must not block on a FIFO. When it has not returned in
// time, the FIFO is opened from both ends, which lets a blocked open or read
// return, so a failing test ends instead of hanging the suite.

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

// False when `work` had to be released from the FIFO at `fifo`.
inline bool FinishesWithoutBlocking(const std::string& fifo, const std::function<void()>& work,
                                    std::chrono::milliseconds patience = std::chrono::seconds(5)) {
    std::packaged_task<void()> task(work);
    std::future<void> done = task.get_future();
    std::thread runner(std::move(task));
    const bool inTime = done.wait_for(patience) == std::future_status::ready;
    if (!inTime) {
        // A reader blocked in open() lets a non-blocking writer in, and the
        // writer's close then ends its reads; likewise the other way round.
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (writer >= 0) ::close(writer);
        if (reader >= 0) ::close(reader);
    }
    runner.join();
    return inTime;
}
