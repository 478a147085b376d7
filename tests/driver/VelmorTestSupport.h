#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TempDirectory.h"
#include "platform/DriverApi.h"

namespace velmortest {

// The driver library loaded with dlopen and bound by name, as the program binds it.
class VelmorLibrary {
public:
    VelmorLibrary();
    ~VelmorLibrary();
    VelmorLibrary(const VelmorLibrary&) = delete;
    VelmorLibrary& operator=(const VelmorLibrary&) = delete;

    bool loaded() const { return m_handle != nullptr; }
    const DriverApi& api() const { return m_api; }
    void* handle() const { return m_handle; }

private:
    void* m_handle = nullptr;
    DriverApi m_api;
};

// Everything written to standard error (file descriptor 2) while it lives.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    std::string finish();

private:
    int m_saved = -1;
    TempDirectory m_dir;
    std::filesystem::path m_file;
    bool m_finished = false;
};

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
void writeText(const std::filesystem::path& path, const std::string& text);
// Deterministic bytes that differ from their neighbours and from 0xFF runs.
std::vector<uint8_t> pattern(size_t length, uint32_t seed);

inline constexpr const char* kConfigFile = "velmor-sim.conf";
inline constexpr const char* kChipFile = "velmor-sim-chip.bin";
inline constexpr uint32_t kBlock = 8192;
inline constexpr uint32_t kOneMiB = 1024 * 1024;

// Each test runs in its own current directory with the library loaded and
// delays switched off; every handle a test opens through connect() is closed.
class VelmorTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const DriverApi& api() const { return m_library->api(); }
    // Writes velmor-sim.conf: the simulator, delays 0, then `lines`.
    void configure(const std::string& lines = {});
    // Enum, Open(0), UsbSelfTest, SetFlashInfo(5, 0), SetWriteTime(5); fails the test on any step.
    int32_t connect();
    int32_t open();
    void close(int32_t handle);
    std::vector<uint8_t> chipFile() const;
    // Whole-chip helpers through the entry points, 8192 bytes per call.
    bool programAll(int32_t handle, const std::vector<uint8_t>& data, uint32_t address = 0);
    std::vector<uint8_t> readRange(int32_t handle, uint32_t address, uint32_t length);
    void reloadLibrary();

    std::unique_ptr<TempDirectory> m_dir;
    std::unique_ptr<VelmorLibrary> m_library;
    std::vector<int32_t> m_open;
};

}  // namespace velmortest
