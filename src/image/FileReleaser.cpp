#include "image/FileReleaser.h"

#include <system_error>
#include <utility>

void FileReleaser::Release(File file) {
    Wait();
    if (!file.IsOpen()) return;
    try {
        m_thread = std::thread([closing = std::move(file)]() mutable { closing.Close(); });
    } catch (const std::system_error&) {
        // No thread to spare: the closure that holds the file is destroyed here,
        // and that closes it on this thread instead.
    }
}

void FileReleaser::Wait() {
    if (m_thread.joinable()) m_thread.join();
}
