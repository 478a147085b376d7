#pragma once

#include <cstdint>
#include <string>

#include "platform/File.h"

// What start-up says when the product data file is missing or damaged; the tool
// without a window says the same.
namespace ProductDataText {
inline constexpr const char* Missing = "文件丢失！   ";
inline constexpr const char* Damaged = "系统文件损坏！   ";
}  // namespace ProductDataText

// The product data file "XJQT.uc", open read only for the life of the main
// window: checked once at start-up, read again by the serial-number command.
class ProductDataFile {
public:
    static constexpr const char* FileName = "XJQT.uc";
    // A real data file is a few hundred bytes; anything above this is damaged.
    static constexpr uint64_t kMaxBytes = 1024 * 1024;

    // Only a regular file opens (a FIFO or a device counts as missing).
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }

    // The sum of the unscrambled content bytes equals the scrambled big-endian
    // checksum in the last four bytes. A file shorter than four bytes, longer than
    // kMaxBytes, or one that cannot be read, is damaged.
    bool CheckIntegrity() const;
    // The text between the first two unscrambled '*' of the content, read again
    // from position 0. Empty when the content has fewer than two '*'.
    std::string ReadSerialNumber() const;

private:
    File m_file;
};
