#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "SimulatedChip.h"

namespace velmor::emulator {

// A simulated chip on SPI wires, byte by byte as a programmer clocks it: a
// byte goes out on MOSI while one comes back on MISO, and what the chip does
// with a command happens when chip select rises. Answers (JEDEC id, status,
// data) come from the chip's own reads, so the emulators decode nothing of the
// flash command set themselves.
class SpiWire {
public:
    explicit SpiWire(SimulatedChip* chip) : m_chip(chip) {}

    void select();
    uint8_t clock(uint8_t mosi);
    void deselect();
    bool selected() const { return m_selected; }
    void elapse(uint32_t microseconds);

private:
    // Length of the command part of a cycle whose answer is read while clocking.
    size_t answerHeader() const;
    void refill(size_t position, size_t header);

    SimulatedChip* m_chip;
    bool m_selected = false;
    std::vector<uint8_t> m_mosi;
    // Answer bytes from cycle position m_answerFrom on.
    std::vector<uint8_t> m_answer;
    size_t m_answerFrom = 0;
};

}  // namespace velmor::emulator
