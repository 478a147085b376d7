#include "ProgrammerBackend.h"

#include "SimulatedBackend.h"

namespace velmor {

std::unique_ptr<ProgrammerBackend> createProgrammerBackend() {
    return std::make_unique<SimulatedBackend>();
}

}  // namespace velmor
