// The simulator's configuration parser on arbitrary text. Every complaint names
// the file and a line that exists, and the result is one of the values the keys
// allow.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "SimulatorConfig.h"

namespace {

void require(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    size_t lines = 1;
    for (const char c : text) lines += c == '\n' ? 1 : 0;

    size_t lastLine = 0;
    const velmor::SimulatorConfig config =
        velmor::parseSimulatorConfig(text, "fuzz.conf", [&](const std::string& message) {
            constexpr std::string_view prefix = "fuzz.conf:";
            require(message.compare(0, prefix.size(), prefix) == 0);
            const size_t line = std::strtoul(message.c_str() + prefix.size(), nullptr, 10);
            // One complaint per line at most, in line order.
            require(line > lastLine && line <= lines);
            lastLine = line;
            require(message.find(": ignored \"", prefix.size()) != std::string::npos);
        });
    require(config.blockDelayMs <= 60'000);
    require(config.eraseMs <= 600'000);
    require(config.faults.shortProgram <= 8192 && config.faults.shortRead <= 8192);
    require(config.effectiveJedecId() <= 0xFFFFFF);
    require(!config.chip || config.chip->size >= 128 * 1024);
    return 0;
}
