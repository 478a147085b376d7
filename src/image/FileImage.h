#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/File.h"
#include "platform/FileState.h"

// The current image: the work copy on disk, read and written at explicit offsets,
// and the source it was made from, kept open read-only as the reference for what
// changed. No image is held in memory. `loaded` and `length` are read by the
// worker, so they are atomic; everything else changes on the window thread only,
// while the worker is idle or not using the image.
class FileImage {
public:
    bool loaded() const { return m_loaded; }
    uint32_t length() const { return m_length; }
    uint64_t checksum() const { return m_checksum; }

    const std::string& sourcePath() const { return m_sourcePath; }
    const std::string& displayPath() const { return m_displayPath; }
    const std::string& nameText() const { return m_nameText; }
    const std::string& checksumText() const { return m_checksumText; }
    const std::string& sizeText() const { return m_sizeText; }

    // Work copy: bytes read (fewer at the end), or -1 on an I/O error.
    int64_t ReadWork(uint64_t offset, uint8_t* buffer, size_t count) const;
    // Work copy: true when all bytes were written.
    bool WriteWork(uint64_t offset, const uint8_t* data, size_t count);
    // Source: bytes read, 0 when the source is not open, -1 on an I/O error.
    int64_t ReadSource(uint64_t offset, uint8_t* buffer, size_t count) const;
    // Size of the source file as it is now; -1 when it is not open.
    int64_t SourceLength() const;

    // Grows the work copy to `newLength` bytes, the new bytes all 0xFF (editing or
    // filling past the end), and adds them to the checksum; length and the texts
    // follow. A length that is not longer changes nothing (true). A length beyond
    // 32 bits (the image never grows past 4 GiB - 1) is refused: nothing written,
    // false. A failed write (disk full) is taken back, so length and checksum keep
    // describing what the work copy holds; false.
    bool ExtendWithFF(uint64_t newLength);
    // Writes one byte of the work copy at `offset`, the gap from the old end filled
    // by ExtendWithFF; length, checksum (old byte out, new byte in) and the texts
    // follow. All or nothing: false (and nothing changed) for an offset whose byte
    // would take the image past 4 GiB - 1, or when a read or write fails.
    bool WriteByte(uint64_t offset, uint8_t value);

    bool IsSourceOpen() const { return m_source.IsOpen(); }
    // Read chip empties the chip work file: the source is closed first when it is that file.
    void CloseSource() { m_source.Close(); }
    // Closes both files and forgets the image (nothing loaded).
    void Unload();

    // Used by the loader and by writers that change the length or the checksum.
    void SetLoaded(bool loaded) { m_loaded = loaded; }
    void SetLength(uint32_t length) { m_length = length; }
    void SetChecksum(uint64_t checksum);
    void SetSourcePath(const std::string& path) { m_sourcePath = path; }
    // The source as it was when its bytes were copied (or last saved): Save refuses to
    // write over a source that another program has changed since.
    const std::optional<FileState>& sourceState() const { return m_sourceState; }
    void SetSourceState(std::optional<FileState> state) { m_sourceState = state; }
    void SetDisplayPath(const std::string& text) { m_displayPath = text; }
    void SetNameText(const std::string& text) { m_nameText = text; }
    void SetSizeText(const std::string& text) { m_sizeText = text; }
    File& workCopy() { return m_workCopy; }
    File& sourceFile() { return m_source; }

private:
    // After a failed growth: back to `length` bytes, or, when the work copy cannot
    // be shortened, length and checksum of the 0xFF bytes that did land.
    void TakeBackGrowth(uint32_t length, uint64_t checksum);
    void SetLengthAndSum(uint32_t length, uint64_t checksum);

    std::atomic<bool> m_loaded{false};
    std::atomic<uint32_t> m_length{0};
    uint64_t m_checksum = 0;
    std::string m_sourcePath;
    std::optional<FileState> m_sourceState;
    std::string m_displayPath = "支持文件拖放...";
    std::string m_nameText = "空";
    std::string m_checksumText = "0000000000";
    std::string m_sizeText = "0";
    File m_workCopy;
    File m_source;
};
