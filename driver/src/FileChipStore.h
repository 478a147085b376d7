#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ChipStore.h"

namespace velmor {

// The simulated chip's contents in a file, written through on every change so
// that nothing is lost when the process ends abruptly.
class FileChipStore : public ChipStore {
public:
    struct Opened {
        std::unique_ptr<FileChipStore> store;  // null when the file is unusable
        std::vector<uint8_t> contents;         // the chip as the file holds it
        std::string error;                     // why the file is unusable
        bool busy = false;                     // another connection holds the file
    };

    // Opens or creates `path` for a chip of `size` bytes and locks it for as long
    // as the store lives, so two connections never write back each other's stale
    // pages. A new chip is all 0xFF; a shorter file is padded with 0xFF; a longer
    // one keeps its tail untouched (a smaller chip uses the first bytes), so a
    // slip in the configuration never costs the contents.
    static Opened open(const std::string& path, uint32_t size);

    ~FileChipStore() override;
    FileChipStore(const FileChipStore&) = delete;
    FileChipStore& operator=(const FileChipStore&) = delete;

    bool write(uint32_t offset, std::span<const uint8_t> data) override;

private:
    explicit FileChipStore(int fd) : m_fd(fd) {}

    int m_fd;
};

}  // namespace velmor
