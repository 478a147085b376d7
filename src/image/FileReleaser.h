#pragma once

#include <thread>

#include "platform/File.h"

// Closes files on a thread of its own. The last close of a large file whose name is
// gone frees all its blocks, which takes a noticeable time on some file systems;
// the window need not wait for it. One close runs at a time; destruction waits.
class FileReleaser {
public:
    FileReleaser() = default;
    ~FileReleaser() { Wait(); }
    FileReleaser(const FileReleaser&) = delete;
    FileReleaser& operator=(const FileReleaser&) = delete;

    void Release(File file);
    // Returns once every handed-over file is closed.
    void Wait();

private:
    std::thread m_thread;
};
