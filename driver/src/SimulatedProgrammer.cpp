#include "SimulatedProgrammer.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "SpiOpcodes.h"

namespace velmor {

namespace {
// Short waits are gathered so that a page program does not sleep 32 times per block.
constexpr uint64_t kSleepThresholdUs = 2'000;
constexpr uint64_t kBlockBytes = 8192;
}  // namespace

SimulatedProgrammer::SimulatedProgrammer(const Settings& settings, std::unique_ptr<SimulatedChip> chip,
                                         std::unique_ptr<ChipStore> store)
    : m_settings(settings), m_store(std::move(store)), m_chip(std::move(chip)) {}

SimulatedProgrammer::~SimulatedProgrammer() {
    // The chip refers to the store; it goes first.
    m_chip.reset();
}

void SimulatedProgrammer::charge(uint64_t microseconds) {
    m_owedUs += microseconds;
    if (m_owedUs >= kSleepThresholdUs) {
        std::this_thread::sleep_for(std::chrono::microseconds(m_owedUs));
        m_owedUs = 0;
    }
}

bool SimulatedProgrammer::command(std::span<const uint8_t> out, std::span<uint8_t> in) {
    if (!m_settings.present) {
        return false;
    }
    if (!m_chip) {
        std::fill(in.begin(), in.end(), uint8_t{0xFF});
        return true;
    }
    const SimulatedChip::Event event = m_chip->transact(out, in);
    if (m_settings.blockDelayMs == 0 && m_settings.eraseMs == 0) {
        return true;
    }
    const uint64_t blockUs = uint64_t{m_settings.blockDelayMs} * 1000;
    const uint8_t opcode = out.empty() ? 0 : out[0];
    if (event == SimulatedChip::Event::Programmed) {
        const size_t header = opcode == spi::kPageProgram4Byte ? 5 : 4;
        charge(blockUs * (out.size() - header) / kBlockBytes);
    } else if (event == SimulatedChip::Event::Erased) {
        charge(uint64_t{m_settings.eraseMs} * 1000);
    } else if (event == SimulatedChip::Event::BlockErased) {
        // A block takes its share of the chip erase time.
        charge(uint64_t{m_settings.eraseMs} * 1000 * m_chip->lastBlockErased() / m_chip->size());
    } else if ((opcode == spi::kRead || opcode == spi::kRead4Byte) && !in.empty()) {
        charge(blockUs / 2 * in.size() / kBlockBytes);
    }
    return true;
}

void SimulatedProgrammer::delayUs(uint32_t microseconds) {
    if (m_chip) {
        m_chip->elapse(microseconds);
    }
}

}  // namespace velmor
