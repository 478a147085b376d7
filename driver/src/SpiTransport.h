#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace velmor {

// One chip-select cycle of a batch: clock out `out`, clock in `in`, then let
// `delayAfterUs` pass with the chip deselected before the next cycle.
struct SpiCycle {
    std::span<const uint8_t> out;
    std::span<uint8_t> in;
    uint32_t delayAfterUs = 0;
};

// One programmer back end, as the flash layer sees it: a SPI master that runs
// whole chip-select cycles. A real USB programmer and the simulator both sit
// behind this seam; nothing above it knows which one it talks to.
class SpiTransport {
public:
    virtual ~SpiTransport() = default;

    // The programmer is still attached; commands fail once it is gone.
    virtual bool present() const = 0;
    // The programmer answers its own diagnostic (no chip involved).
    virtual bool selfTest() = 0;
    // One chip-select cycle: clock out every byte of `out`, then clock in
    // `in.size()` bytes. False when the programmer could not run the cycle.
    virtual bool command(std::span<const uint8_t> out, std::span<uint8_t> in) = 0;
    // Runs the cycles in order; their answers are all in place when it returns.
    // USB programmers keep the whole batch in flight instead of waiting for each
    // answer; the default runs one cycle after the other.
    virtual bool run(std::span<const SpiCycle> cycles) {
        for (const SpiCycle& cycle : cycles) {
            if (!command(cycle.out, cycle.in)) {
                return false;
            }
            if (cycle.delayAfterUs != 0) {
                delayUs(cycle.delayAfterUs);
            }
        }
        return true;
    }
    // Waits between status polls. Back ends may keep virtual time instead.
    virtual void delayUs(uint32_t microseconds) = 0;
    // Completes work the back end may still hold (queued commands, the
    // simulator's file); false when some of it was lost. Called at the end of
    // every operation that changes the chip.
    virtual bool flush() = 0;
    // Largest data phase one command may carry in each direction.
    virtual size_t maxReadLength() const = 0;
    virtual size_t maxWriteLength() const = 0;
};

}  // namespace velmor
