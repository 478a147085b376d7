#pragma once

#include "ProgrammerBackend.h"

namespace velmor {

// One simulated programmer, described by velmor-sim.conf in the current
// directory (read again at every count and open); its chip lives in
// velmor-sim-chip.bin beside it.
class SimulatedBackend : public ProgrammerBackend {
public:
    int32_t count() override;
    std::optional<OpenedProgrammer> open(int32_t index) override;
};

}  // namespace velmor
