#include "QueuedWindow.h"

void QueuedWindow::Run(const std::function<void()>& work) {
    if (std::this_thread::get_id() == m_windowThread) {
        work();
        return;
    }
    Item item{&work};
    std::unique_lock lock(m_mutex);
    m_queue.push_back(&item);
    m_changed.notify_all();
    m_changed.wait(lock, [&item] { return item.done; });
}

void QueuedWindow::ServeOnce(std::chrono::milliseconds wait) {
    std::unique_lock lock(m_mutex);
    if (m_queue.empty()) m_changed.wait_for(lock, wait, [this] { return !m_queue.empty(); });
    while (!m_queue.empty()) {
        Item* item = m_queue.front();
        m_queue.pop_front();
        lock.unlock();
        (*item->work)();
        lock.lock();
        item->done = true;
        ++m_served;
        m_changed.notify_all();
    }
}

void QueuedWindow::ServeUntil(const std::function<bool()>& done) {
    while (!done()) ServeOnce(std::chrono::milliseconds(2));
}

bool QueuedWindow::ServeFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        ServeOnce(std::chrono::milliseconds(2));
    }
    return true;
}

int QueuedWindow::served() const {
    std::lock_guard lock(m_mutex);
    return m_served;
}
