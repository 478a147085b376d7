#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "TempDirectory.h"

// A fresh directory under the system temp directory, removed with its contents.
class TempDir {
public:
    TempDir() : m_path(TempDirectory::NewPath()) {}
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

    // Writes `bytes` to `name` and returns its full path.
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::string p = File(name);
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return p;
    }

    static std::vector<uint8_t> Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path m_path;
};

// Bytes 0, 1, 2, ... 255, 0, ... with a seed so two files differ.
inline std::vector<uint8_t> PatternBytes(size_t count, uint8_t seed = 0) {
    std::vector<uint8_t> v(count);
    for (size_t i = 0; i < count; ++i) v[i] = static_cast<uint8_t>(i * 7 + seed + (i >> 8));
    return v;
}
