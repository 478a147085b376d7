#pragma once

// A fresh directory under the system's temporary directory, removed with its
// contents when the object goes away. As the current directory it serves tests
// of code that looks there (the driver's simulator reads its set-up from it);
// the previous current directory comes back first.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

enum class TempUse { Aside, AsCurrent };

// The whole content of a file; empty when it cannot be read.
inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class TempDirectory {
public:
    explicit TempDirectory(TempUse use = TempUse::Aside) : m_path(NewPath()) {
        if (use == TempUse::AsCurrent) {
            m_previous = std::filesystem::current_path();
            std::filesystem::current_path(m_path);
        }
    }
    ~TempDirectory() {
        std::error_code ec;
        if (!m_previous.empty()) std::filesystem::current_path(m_previous, ec);
        // A test may have taken its own rights away; removal needs them back.
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // The directory with a trailing "/", as the program's work directory.
    std::string dir() const { return m_path.string() + "/"; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

    // Writes `bytes` to `name` and returns its full path.
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        const std::string path = file(name);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    std::vector<uint8_t> Read(const std::string& name) const { return ReadBytes(m_path / name); }
    bool Exists(const std::string& name) const { return std::filesystem::exists(m_path / name); }

private:
    // One counter for the whole test process, so no two directories share a path.
    static std::filesystem::path NewPath() {
        static std::atomic<int> counter{0};
        auto path = std::filesystem::temp_directory_path() /
                    ("flash-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
        return path;
    }

    std::filesystem::path m_path;
    std::filesystem::path m_previous;
};

// Bytes 0, 1, 2, ... 255, 0, ... with a seed so two files differ.
inline std::vector<uint8_t> PatternBytes(size_t count, uint8_t seed = 0) {
    std::vector<uint8_t> v(count);
    for (size_t i = 0; i < count; ++i) v[i] = static_cast<uint8_t>(i * 7 + seed + (i >> 8));
    return v;
}
