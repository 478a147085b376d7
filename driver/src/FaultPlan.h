#pragma once

#include <cstdint>
#include <optional>

namespace velmor {

// Misbehaviour of the driver itself, applied around the flash layer so that
// the program's defences can be exercised. Call counts run per connection,
// from 1 at the first call after QuovixOpen; 0 disables a switch.
struct FaultPlan {
    uint32_t failProgramCall = 0;
    uint32_t failReadCall = 0;
    uint32_t failEraseCall = 0;
    // The Nth block a QuovixEraseRange sends fails (counted over the connection).
    uint32_t failEraseBlock = 0;
    bool failFlashInfo = false;
    // At most this many bytes per QuovixProgram / QuovixRead call.
    uint32_t shortProgram = 0;
    uint32_t shortRead = 0;
    // Report success with done = 0 (nothing transferred).
    bool zeroProgram = false;
    bool zeroRead = false;
    // Report kExtraReported more bytes than were transferred.
    bool extraProgram = false;
    bool extraRead = false;
    // Answers QuovixGetFlashInfo gives regardless of the chip.
    std::optional<int32_t> forcedKind;
    std::optional<int32_t> forcedCode;

    static constexpr uint32_t kExtraReported = 8192;
};

}  // namespace velmor
