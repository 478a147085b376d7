#pragma once

// A window thread for tests: the thread that creates it is the window. Work the
// worker hands over with Run waits in a queue until the test serves it, as the
// real window thread's event loop does, so whatever the worker does to the view
// happens on the test's thread and a ThreadSanitizer run sees any slip.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "ports/MessageBoxes.h"
#include "ports/WindowPorts.h"
#include "ports/WindowServices.h"

class QueuedWindow : public WindowThread, public WindowLifetime {
public:
    QueuedWindow() : m_windowThread(std::this_thread::get_id()) {}

    // Worker side: queued, and waits until the window has run it.
    void Run(const std::function<void()>& work) override;
    // Window side: serves queued work until `done` holds.
    void ServeUntil(const std::function<bool()>& done) override;
    void EndWindow() override {}

    // Window side: serves until `done` holds or `timeout` passes; false on timeout.
    bool ServeFor(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Work items the window has run for the worker.
    int served() const;

private:
    struct Item {
        const std::function<void()>* work;
        bool done = false;
    };
    // Runs what is queued; waits up to `wait` for something when nothing is.
    void ServeOnce(std::chrono::milliseconds wait);

    std::thread::id m_windowThread;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Item*> m_queue;
    int m_served = 0;
};

// Message boxes carried to the window thread, as the Qt boxes are; the inner
// boxes record and answer them there.
class WindowCarriedBoxes : public MessageBoxes {
public:
    WindowCarriedBoxes(WindowThread& window, MessageBoxes& inner) : m_window(window), m_inner(inner) {}
    MessageAnswer Show(const std::string& text, const std::string& title, MessageIcon icon,
                       MessageButtons buttons) override {
        MessageAnswer answer = MessageAnswer::Ok;
        m_window.Run([&] { answer = m_inner.Show(text, title, icon, buttons); });
        return answer;
    }

private:
    WindowThread& m_window;
    MessageBoxes& m_inner;
};
