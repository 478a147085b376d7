#include "SpiFlash.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "SpiOpcodes.h"

namespace velmor {

namespace {
constexpr size_t kMaxHeader = 5;
}  // namespace

bool isNoChipAnswer(uint32_t jedecId) {
    // MISO floats high or is pulled low when nothing drives it.
    return jedecId == 0xFFFFFF || jedecId == 0x000000;
}

SpiFlash::SpiFlash(SpiTransport& transport) : m_transport(transport) {}

std::optional<uint32_t> SpiFlash::readJedecId() {
    const uint8_t opcode = spi::kJedecId;
    std::array<uint8_t, 3> id{};
    if (!m_transport.command({&opcode, 1}, id)) {
        return std::nullopt;
    }
    return (uint32_t{id[0]} << 16) | (uint32_t{id[1]} << 8) | id[2];
}

std::optional<uint8_t> SpiFlash::readStatus() {
    const uint8_t opcode = spi::kReadStatus;
    uint8_t status = 0;
    if (!m_transport.command({&opcode, 1}, {&status, 1})) {
        return std::nullopt;
    }
    return status;
}

bool SpiFlash::readSfdp(std::span<uint8_t> out) {
    const std::array<uint8_t, 5> header{spi::kReadSfdp, 0, 0, 0, 0};
    return m_transport.command(header, out);
}

bool SpiFlash::simple(uint8_t opcode) {
    return m_transport.command({&opcode, 1}, {});
}

bool SpiFlash::waitReady(uint32_t budgetUs, uint32_t pollUs) {
    pollUs = std::max<uint32_t>(pollUs, 1);
    uint64_t waited = 0;
    for (;;) {
        const std::optional<uint8_t> status = readStatus();
        if (!status) {
            return false;
        }
        if ((*status & spi::kStatusBusy) == 0) {
            return true;
        }
        if (waited >= budgetUs) {
            return false;
        }
        m_transport.delayUs(pollUs);
        waited += pollUs;
    }
}

size_t SpiFlash::putAddress(uint8_t* header, uint8_t opcode3, uint8_t opcode4, uint32_t address) const {
    size_t n = 0;
    header[n++] = m_fourByte ? opcode4 : opcode3;
    if (m_fourByte) {
        header[n++] = static_cast<uint8_t>(address >> 24);
    }
    header[n++] = static_cast<uint8_t>(address >> 16);
    header[n++] = static_cast<uint8_t>(address >> 8);
    header[n++] = static_cast<uint8_t>(address);
    return n;
}

bool SpiFlash::read(uint32_t address, std::span<uint8_t> out) {
    const size_t chunkLimit = m_transport.maxReadLength();
    if (chunkLimit == 0) {
        return false;
    }
    const size_t chunks = (out.size() + chunkLimit - 1) / chunkLimit;
    std::vector<std::array<uint8_t, kMaxHeader>> headers(chunks);
    std::vector<SpiCycle> cycles(chunks);
    for (size_t i = 0; i < chunks; ++i) {
        const size_t offset = i * chunkLimit;
        const size_t chunk = std::min(chunkLimit, out.size() - offset);
        const size_t headerLength = putAddress(headers[i].data(), spi::kRead, spi::kRead4Byte,
                                               address + static_cast<uint32_t>(offset));
        cycles[i] = {{headers[i].data(), headerLength}, out.subspan(offset, chunk), 0};
    }
    return m_transport.run(cycles);
}

std::optional<size_t> SpiFlash::programBatch(std::span<const Page> pages) {
    static constexpr uint8_t kWriteEnable = spi::kWriteEnable;
    static constexpr uint8_t kReadStatus = spi::kReadStatus;
    const size_t headerLength = m_fourByte ? 5 : 4;
    std::vector<std::array<uint8_t, kMaxHeader + spi::kPageSize>> frames(pages.size());
    std::vector<uint8_t> statuses(pages.size(), 0xFF);
    std::vector<SpiCycle> cycles;
    cycles.reserve(pages.size() * 3);
    for (size_t i = 0; i < pages.size(); ++i) {
        putAddress(frames[i].data(), spi::kPageProgram, spi::kPageProgram4Byte, pages[i].address);
        std::memcpy(frames[i].data() + headerLength, pages[i].data.data(), pages[i].data.size());
        cycles.push_back({{&kWriteEnable, 1}, {}, 0});
        cycles.push_back(
            {{frames[i].data(), headerLength + pages[i].data.size()}, {}, m_timing.pageProgramTypicalUs});
        cycles.push_back({{&kReadStatus, 1}, {&statuses[i], 1}, 0});
    }
    if (!m_transport.run(cycles)) {
        return std::nullopt;
    }
    // Page i + 1 was taken only if the chip was ready when its write enable came.
    for (size_t i = 0; i < pages.size(); ++i) {
        if ((statuses[i] & spi::kStatusBusy) != 0) {
            return i + 1;
        }
    }
    return pages.size();
}

bool SpiFlash::program(uint32_t address, std::span<const uint8_t> data) {
    const size_t headerLength = m_fourByte ? 5 : 4;
    const size_t writeLimit = m_transport.maxWriteLength();
    if (writeLimit <= headerLength) {
        return false;
    }
    std::vector<Page> pages;
    for (size_t offset = 0; offset < data.size();) {
        const uint32_t at = address + static_cast<uint32_t>(offset);
        const size_t pageLeft = spi::kPageSize - at % spi::kPageSize;
        const size_t chunk = std::min({pageLeft, data.size() - offset, writeLimit - headerLength});
        const std::span<const uint8_t> bytes = data.subspan(offset, chunk);
        if (std::any_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b != 0xFF; })) {
            pages.push_back({at, bytes});
        }
        offset += chunk;
    }
    std::span<const Page> left(pages);
    while (!left.empty()) {
        const std::optional<size_t> taken = programBatch(left);
        if (!taken) {
            return false;
        }
        // The last page taken may still be busy; it must finish before the next is sent.
        if (!waitReady(m_timing.pageProgramBudgetUs, m_timing.pageProgramPollUs)) {
            return false;
        }
        left = left.subspan(*taken);
    }
    return true;
}

bool SpiFlash::chipErase() {
    if (!simple(spi::kWriteEnable) || !simple(spi::kChipErase)) {
        return false;
    }
    return waitReady(m_timing.eraseBudgetUs, m_timing.erasePollUs);
}

std::optional<uint8_t> fourByteEraseOpcode(uint8_t opcode) {
    switch (opcode) {
        case spi::kErase4K:
            return spi::kErase4K4Byte;
        case spi::kErase32K:
            return spi::kErase32K4Byte;
        case spi::kErase64K:
            return spi::kErase64K4Byte;
        default:
            return std::nullopt;
    }
}

bool SpiFlash::eraseBlock(uint8_t opcode, uint32_t address) {
    std::array<uint8_t, kMaxHeader> header{};
    const std::optional<uint8_t> opcode4 = fourByteEraseOpcode(opcode);
    const bool modeChange = m_fourByte && !opcode4 && !m_fourByteOnly;
    size_t length = 0;
    if (m_fourByte && !opcode4) {
        header = {opcode, static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16),
                  static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
        length = 5;
    } else {
        length = putAddress(header.data(), opcode, opcode4.value_or(opcode), address);
    }
    if (modeChange && !simple(spi::kEnter4ByteMode)) {
        return false;
    }
    const bool sent = simple(spi::kWriteEnable) && m_transport.command({header.data(), length}, {});
    const bool ready = sent && waitReady(m_timing.blockEraseBudgetUs, m_timing.blockErasePollUs);
    // Reads and programs go on with their own four-byte opcodes from 3-byte mode.
    if (modeChange && !simple(spi::kExit4ByteMode)) {
        return false;
    }
    return ready;
}

bool SpiFlash::writeStatus(uint8_t value) {
    const std::array<uint8_t, 2> frame{spi::kWriteStatus, value};
    if (!simple(spi::kWriteEnable) || !m_transport.command(frame, {})) {
        return false;
    }
    return waitReady(m_timing.statusWriteBudgetUs, m_timing.statusWritePollUs);
}

}  // namespace velmor
