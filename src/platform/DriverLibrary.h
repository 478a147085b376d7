#pragma once

#include <array>
#include <functional>
#include <string>

#include "platform/DriverApi.h"

// The loaded driver library. Found beside the program first, then on the
// system's library path; unloaded on destruction.
class DriverLibrary {
public:
#if defined(_WIN32)
    static constexpr const char* FileName = "velmor.dll";
#else
    static constexpr const char* FileName = "libvelmor.so";
#endif
    // The eleven entry points, in the order they are bound.
    static const std::array<const char*, 11>& EntryPointNames();

    DriverLibrary() = default;
    ~DriverLibrary();
    DriverLibrary(const DriverLibrary&) = delete;
    DriverLibrary& operator=(const DriverLibrary&) = delete;

    // Beside the executable, then by plain name. False when neither loads.
    bool Load();
    // Exactly this file.
    bool LoadFrom(const std::string& path);
    void Unload();
    // The file the loaded library came from; empty when none is loaded.
    std::string Path() const;
    bool IsLoaded() const {
        return m_handle != nullptr;
    }

    // Looks up the eleven names; a name the library lacks leaves its pointer null.
    // All null when nothing is loaded.
    DriverApi Bind() const;
    // The binding itself, over any lookup (names asked in the order above).
    static DriverApi BindWith(const std::function<void*(const char* name)>& lookup);

    // Directory of the running program (from /proc/self/exe), empty when unknown.
    static std::string ExecutableDirectory();

private:
    void* m_handle = nullptr;
};
