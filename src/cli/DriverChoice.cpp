#include "cli/DriverChoice.h"

#include <array>
#include <filesystem>

#include "cli/CliTexts.h"
#include "platform/DriverLibrary.h"

std::string MissingEntryPoints(const DriverApi& api) {
    // In the order of DriverLibrary::EntryPointNames.
    const std::array<bool, 11> present = {
        api.QuovixEnum != nullptr,         api.QuovixOpen != nullptr,
        api.QuovixClose != nullptr,        api.QuovixUsbSelfTest != nullptr,
        api.QuovixSetBP1 != nullptr,       api.QuovixSetFlashInfo != nullptr,
        api.QuovixSetWriteTime != nullptr, api.QuovixInitFlash != nullptr,
        api.QuovixProgram != nullptr,      api.QuovixRead != nullptr,
        api.QuovixGetFlashInfo != nullptr,
    };
    std::string first;
    int count = 0;
    for (size_t i = 0; i < present.size(); ++i) {
        if (present[i]) continue;
        if (count++ == 0) first = DriverLibrary::EntryPointNames()[i];
    }
    if (count <= 1) return first;
    return first + " 等" + std::to_string(count) + "个";
}

std::string LoadDriverLibrary(DriverLibrary& library, const std::string& path, DriverApi& api) {
    const std::string name = path.empty() ? std::string(DriverLibrary::FileName) : path;
    if (!(path.empty() ? library.Load() : library.LoadFrom(path))) {
        // A bare name is looked up on the library path, where only the loader finds it.
        std::error_code error;
        const bool exists = path.find('/') != std::string::npos && std::filesystem::exists(path, error);
        return (exists ? CliText::DriverUnusable : CliText::DriverMissing) + name;
    }
    api = library.Bind();
    const std::string missing = MissingEntryPoints(api);
    if (!missing.empty()) return CliText::DriverIncomplete + missing + "）: " + name;
    return {};
}

std::string DriverVersionLines(const DriverApi& api, const std::string& libraryText) {
    std::string library = CliText::Unknown;
    std::string usb = CliText::Unknown;
    char text[128] = {};
    if (api.QuovixGetVersion != nullptr && api.QuovixGetVersion(text, sizeof text) == 1) {
        text[sizeof text - 1] = '\0';
        const std::string versions = text;
        const size_t tab = versions.find('\t');
        library = versions.substr(0, tab);
        if (tab != std::string::npos) usb = versions.substr(tab + 1);
        if (library.empty()) library = CliText::Unknown;
        if (usb.empty()) usb = CliText::Unknown;
    }
    return std::string("驱动库: ") + (libraryText.empty() ? CliText::Unknown : libraryText) +
           "\n驱动库版本: " + library + "\nlibusb 版本: " + usb + "\n";
}
