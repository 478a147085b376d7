#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "FaultPlan.h"
#include "SpiTransport.h"

namespace velmor {

// An open programmer: its transport and the driver faults to apply around it.
struct OpenedProgrammer {
    std::unique_ptr<SpiTransport> transport;
    FaultPlan faults;
};

class UsbBus;

// Finds and opens programmers of one kind (the simulator, or USB programmers).
class ProgrammerBackend {
public:
    virtual ~ProgrammerBackend() = default;
    // Number of attached programmers.
    virtual int32_t count() = 0;
    // Opens programmer `index`; nullopt when it is not there or cannot be opened.
    virtual std::optional<OpenedProgrammer> open(int32_t index) = 0;
};

// The one place that decides which back end the entry points use: the
// `backend` key of velmor-sim.conf (auto without the file), real USB
// programmers through libusb.
std::unique_ptr<ProgrammerBackend> createProgrammerBackend();
// The same over another bus (an emulator's).
std::unique_ptr<ProgrammerBackend> createProgrammerBackend(std::shared_ptr<UsbBus> bus);

}  // namespace velmor
