#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "ChipCatalog.h"
#include "FaultPlan.h"
#include "SimulatedChip.h"

namespace velmor {

inline constexpr const char* kSimulatorConfigFile = "velmor-sim.conf";
inline constexpr const char* kSimulatedChipFile = "velmor-sim-chip.bin";
inline constexpr uint32_t kMaxSimulatedDevices = 16;

// The chip file of simulated programmer `index`: velmor-sim-chip.bin for the
// first, velmor-sim-chip-1.bin, -2, ... for the others, so no two share one.
std::string simulatedChipFile(int32_t index);

// Which programmers the library drives: USB programmers (auto: CH347 first,
// then CH341A, or one kind), or the simulated one.
enum class BackendChoice { Auto, Simulator, Ch341a, Ch347 };

// What the simulated programmer and its chip look like, read from
// velmor-sim.conf. The defaults are a working programmer with a 25X80 chip and
// delays a person can watch.
struct SimulatorConfig {
    bool programmerPresent = true;
    uint32_t devices = 1;  // simulated programmers attached, each with its own chip
    bool selfTestPasses = true;
    const SimulatedChipType* chip = findSimulatedChipType("25X80");  // null: no chip in the socket
    std::optional<uint32_t> jedecId;  // answer instead of the chip type's id (a database row's size too)
    bool sfdp = true;                 // the chip answers an SFDP table
    uint32_t blockDelayMs = 20;       // per 8192 programmed bytes; reads take half
    uint32_t eraseMs = 1000;
    StuckBusy stuckBusy = StuckBusy::None;
    FaultPlan faults;
    // Which back end; without a configuration file only real programmers are driven.
    BackendChoice backend = BackendChoice::Auto;
    // The CH347's SPI clock, rounded down to one the device has.
    uint32_t spiClockKhz = 15'000;
    // Block-protect bits BP2..BP0 the simulated chip starts each connection with.
    uint8_t blockProtect = 0;
    // The simulated chip's status register is locked by its WP pin.
    bool hardwareProtect = false;
    // The programmers are listed but may not be opened, as without the udev rule.
    bool accessDenied = false;

    // The id the chip answers with.
    uint32_t effectiveJedecId() const { return jedecId.value_or(chip ? chip->jedecId : 0xFFFFFF); }
};

// Receives one message per rejected line: "<file>:<line>: ...".
using ConfigComplaint = std::function<void(const std::string&)>;

// Larger configuration files are not read at all.
inline constexpr size_t kMaxSimulatorConfigBytes = 64 * 1024;

// Parses `text` (a leading UTF-8 byte-order mark is skipped); bad lines are
// reported and skipped, later lines win.
SimulatorConfig parseSimulatorConfig(std::string_view text, std::string_view fileName,
                                     const ConfigComplaint& complain);

// Reads `path`: the defaults when it does not exist, and the defaults with one
// complaint when it cannot be read, is not a regular file (a FIFO or a device
// never blocks or floods the caller) or is larger than kMaxSimulatorConfigBytes.
SimulatorConfig loadSimulatorConfig(const std::string& path, const ConfigComplaint& complain);
// The same with complaints on standard error.
SimulatorConfig loadSimulatorConfig(const std::string& path);

}  // namespace velmor
