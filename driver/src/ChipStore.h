#pragma once

#include <cstdint>
#include <span>

namespace velmor {

// Where a simulated chip keeps its contents beyond its own life.
class ChipStore {
public:
    virtual ~ChipStore() = default;
    // Writes `data` at `offset`; false when the bytes did not reach the store.
    virtual bool write(uint32_t offset, std::span<const uint8_t> data) = 0;
};

}  // namespace velmor
