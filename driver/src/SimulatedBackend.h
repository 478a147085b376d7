#pragma once

#include "ProgrammerBackend.h"
#include "SimulatorConfig.h"

namespace velmor {

// The simulated programmers (one, or `devices = N`), described by
// velmor-sim.conf in the current directory (read again at every count and
// open); each one's chip lives in its own file beside it (simulatedChipFile).
// Stateless, so connections to different programmers may open concurrently.
class SimulatedBackend : public ProgrammerBackend {
public:
    SimulatedBackend() = default;
    // Uses `config` (already read by the caller) for the next count or open.
    explicit SimulatedBackend(const SimulatorConfig& config) : m_config(config) {}

    int32_t count() override;
    std::optional<OpenedProgrammer> open(int32_t index) override;

private:
    SimulatorConfig current() const;

    std::optional<SimulatorConfig> m_config;
};

}  // namespace velmor
