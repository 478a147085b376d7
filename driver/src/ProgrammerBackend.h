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

// Finds and opens programmers of one kind (the simulator today, USB devices later).
class ProgrammerBackend {
public:
    virtual ~ProgrammerBackend() = default;
    // Number of attached programmers.
    virtual int32_t count() = 0;
    // Opens programmer `index`; nullopt when it is not there or cannot be opened.
    virtual std::optional<OpenedProgrammer> open(int32_t index) = 0;
};

// The one place that decides which back end the entry points use.
std::unique_ptr<ProgrammerBackend> createProgrammerBackend();

}  // namespace velmor
