#pragma once

#include <cstdint>
#include <memory>

#include "ChipStore.h"
#include "SimulatedChip.h"
#include "SpiTransport.h"

namespace velmor {

// The simulated USB programmer: a transport with a simulated chip in its socket
// (or none). Whole commands go to the chip in one call, so bulk reads and page
// programs cost no per-byte work above the chip. Real-time delays make
// transfers and the chip erase take as long as a person can watch; the busy
// time the flash layer polls is virtual and passes only through delayUs().
class SimulatedProgrammer : public SpiTransport {
public:
    struct Settings {
        bool present = true;
        bool selfTestPasses = true;
        uint32_t blockDelayMs = 0;  // per 8192 programmed bytes; reads take half
        uint32_t eraseMs = 0;
    };

    // `chip` null: empty socket, the bus reads 0xFF. `store` is kept alive for the chip.
    SimulatedProgrammer(const Settings& settings, std::unique_ptr<SimulatedChip> chip,
                        std::unique_ptr<ChipStore> store = nullptr);
    ~SimulatedProgrammer() override;

    bool present() const override { return m_settings.present; }
    bool selfTest() override { return m_settings.present && m_settings.selfTestPasses; }
    bool command(std::span<const uint8_t> out, std::span<uint8_t> in) override;
    void delayUs(uint32_t microseconds) override;
    bool flush() override { return !m_chip || m_chip->flush(); }
    size_t maxReadLength() const override { return 64 * 1024; }
    size_t maxWriteLength() const override { return 4 + 256 + 1; }

    SimulatedChip* chip() { return m_chip.get(); }

private:
    void charge(uint64_t microseconds);

    Settings m_settings;
    std::unique_ptr<ChipStore> m_store;
    std::unique_ptr<SimulatedChip> m_chip;
    uint64_t m_owedUs = 0;
};

}  // namespace velmor
