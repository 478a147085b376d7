#include "platform/DriverLibrary.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

template <typename Fn>
void Assign(Fn& slot, void* symbol) {
    slot = reinterpret_cast<Fn>(symbol);
}

}  // namespace

const std::array<const char*, 11>& DriverLibrary::EntryPointNames() {
    static const std::array<const char*, 11> names = {
        "QuovixEnum",    "QuovixOpen",         "QuovixClose",        "QuovixUsbSelfTest",
        "QuovixSetBP1",  "QuovixSetFlashInfo", "QuovixSetWriteTime", "QuovixInitFlash",
        "QuovixProgram", "QuovixRead",         "QuovixGetFlashInfo",
    };
    return names;
}

DriverLibrary::~DriverLibrary() {
    Unload();
}

std::string DriverLibrary::ExecutableDirectory() {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < buffer.size()) {
            std::string path(buffer.data(), static_cast<size_t>(n));
            const auto slash = path.rfind('/');
            return slash == std::string::npos ? std::string() : path.substr(0, slash);
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool DriverLibrary::Load() {
    const std::string dir = ExecutableDirectory();
    if (!dir.empty()) {
        const std::string beside = dir + "/" + FileName;
        struct stat st {};
        if (stat(beside.c_str(), &st) == 0 && LoadFrom(beside)) return true;
    }
    return LoadFrom(FileName);
}

bool DriverLibrary::LoadFrom(const std::string& path) {
    Unload();
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    return m_handle != nullptr;
}

void DriverLibrary::Unload() {
    if (m_handle == nullptr) return;
    dlclose(m_handle);
    m_handle = nullptr;
}

std::string DriverLibrary::Path() const {
    if (m_handle == nullptr) return {};
    // The loader's own record: the file a bare name was found as on the library path.
    link_map* map = nullptr;
    if (dlinfo(m_handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr) return {};
    return map->l_name;
}

DriverApi DriverLibrary::Bind() const {
    if (m_handle == nullptr) return DriverApi{};
    void* handle = m_handle;
    DriverApi api = BindWith([handle](const char* name) { return dlsym(handle, name); });
    Assign(api.QuovixLastFailure, dlsym(handle, "QuovixLastFailure"));
    return api;
}

DriverApi DriverLibrary::BindWith(const std::function<void*(const char* name)>& lookup) {
    DriverApi api;
    const auto& n = EntryPointNames();
    Assign(api.QuovixEnum, lookup(n[0]));
    Assign(api.QuovixOpen, lookup(n[1]));
    Assign(api.QuovixClose, lookup(n[2]));
    Assign(api.QuovixUsbSelfTest, lookup(n[3]));
    Assign(api.QuovixSetBP1, lookup(n[4]));
    Assign(api.QuovixSetFlashInfo, lookup(n[5]));
    Assign(api.QuovixSetWriteTime, lookup(n[6]));
    Assign(api.QuovixInitFlash, lookup(n[7]));
    Assign(api.QuovixProgram, lookup(n[8]));
    Assign(api.QuovixRead, lookup(n[9]));
    Assign(api.QuovixGetFlashInfo, lookup(n[10]));
    // Not one of the eleven: a library without it still loads, the identity stays unknown.
    Assign(api.QuovixGetChipIdentity, lookup("QuovixGetChipIdentity"));
    Assign(api.QuovixSetVerifyLater, lookup("QuovixSetVerifyLater"));
    Assign(api.QuovixGetVersion, lookup("QuovixGetVersion"));
    Assign(api.QuovixGetEraseBlocks, lookup("QuovixGetEraseBlocks"));
    Assign(api.QuovixEraseRange, lookup("QuovixEraseRange"));
    return api;
}
