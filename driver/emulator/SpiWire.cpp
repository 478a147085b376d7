#include "SpiWire.h"

#include <algorithm>

#include "SpiOpcodes.h"

namespace velmor::emulator {

namespace {
constexpr size_t kAnswerChunk = 4096;
}

void SpiWire::select() {
    if (m_selected) {
        return;
    }
    m_selected = true;
    m_mosi.clear();
    m_answer.clear();
    m_answerFrom = 0;
}

size_t SpiWire::answerHeader() const {
    if (m_mosi.empty()) {
        return 0;
    }
    switch (m_mosi[0]) {
        case spi::kJedecId:
        case spi::kReadStatus:
            return 1;
        case spi::kRead:
            return m_chip && m_chip->fourByteAddresses() ? 5 : 4;
        case spi::kReadSfdp:
            return 5;
        case spi::kRead4Byte:
            return 5;
        default:
            return 0;
    }
}

void SpiWire::refill(size_t position, size_t header) {
    m_answerFrom = position;
    if (!m_chip) {
        m_answer.assign(kAnswerChunk, 0xFF);
        return;
    }
    std::vector<uint8_t> out(m_mosi.begin(), m_mosi.begin() + static_cast<ptrdiff_t>(header));
    const uint8_t opcode = out[0];
    const size_t skip = position - header;
    if (opcode == spi::kRead || opcode == spi::kRead4Byte) {
        // Reads run on sequentially: ask from the address this byte stands at.
        uint32_t address = 0;
        for (size_t i = 1; i < header; ++i) {
            address = (address << 8) | out[i];
        }
        address += static_cast<uint32_t>(skip);
        for (size_t i = header - 1; i >= 1; --i) {
            out[i] = static_cast<uint8_t>(address);
            address >>= 8;
        }
        m_answer.assign(kAnswerChunk, 0xFF);
    } else if (opcode == spi::kReadStatus) {
        // The status changes while the chip works: read it afresh for every byte.
        m_answer.assign(1, 0xFF);
    } else {
        m_answer.assign(skip + 1, 0xFF);
        m_chip->transact(out, m_answer);
        m_answer.erase(m_answer.begin(), m_answer.begin() + static_cast<ptrdiff_t>(skip));
        return;
    }
    m_chip->transact(out, m_answer);
}

uint8_t SpiWire::clock(uint8_t mosi) {
    if (!m_selected) {
        return 0xFF;
    }
    const size_t position = m_mosi.size();
    m_mosi.push_back(mosi);
    const size_t header = answerHeader();
    if (header == 0 || position < header) {
        return 0xFF;
    }
    if (position < m_answerFrom || position >= m_answerFrom + m_answer.size()) {
        refill(position, header);
    }
    return m_answer[position - m_answerFrom];
}

void SpiWire::deselect() {
    if (!m_selected) {
        return;
    }
    m_selected = false;
    // Commands that change the chip take effect at the rising edge.
    if (m_chip && !m_mosi.empty() && answerHeader() == 0) {
        m_chip->transact(m_mosi, {});
    }
    m_mosi.clear();
}

void SpiWire::elapse(uint32_t microseconds) {
    if (m_chip && microseconds > 0) {
        m_chip->elapse(microseconds);
    }
}

}  // namespace velmor::emulator
