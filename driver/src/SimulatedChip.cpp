#include "SimulatedChip.h"

#include <algorithm>
#include <array>

#include "Sfdp.h"
#include "SpiOpcodes.h"

namespace velmor {

namespace {

SfdpInfo sfdpOf(uint32_t size, AddressMode address, uint32_t page, const std::vector<EraseBlock>& erase) {
    SfdpInfo info;
    info.size = size;
    info.page = page;
    info.address = address;
    for (const EraseBlock& block : erase) {
        if (block.size == 4096) {
            info.erase4kOpcode = block.opcode;
        }
        if (info.erase.size() < 4) {
            info.erase.push_back(block);
        }
    }
    return info;
}

}  // namespace

SimulatedChipModel simulatedChipModel(uint32_t jedecId, uint32_t fallbackSize, bool sfdp,
                                      const ChipDatabase& database) {
    SimulatedChipModel model;
    model.jedecId = jedecId;
    if (const ChipRow* row = database.find(jedecId)) {
        model.size = row->size;
        model.address = row->address;
        if (sfdp) {
            model.sfdp = buildSfdp(sfdpOf(row->size, row->address, row->page, row->erase));
        }
        return model;
    }
    model.size = fallbackSize;
    model.address = fallbackSize > spi::kThreeByteLimit ? AddressMode::ThreeOrFour : AddressMode::Three;
    if (sfdp && fallbackSize >= 64 * 1024) {
        model.sfdp = buildSfdp(sfdpOf(fallbackSize, model.address, spi::kPageSize,
                                      {{4096, 0x20}, {32768, 0x52}, {65536, 0xD8}}));
    }
    return model;
}

SimulatedChip::SimulatedChip(SimulatedChipModel model, std::vector<uint8_t> contents, ChipStore* store)
    : m_model(std::move(model)), m_memory(std::move(contents)), m_store(store) {
    if (m_memory.empty()) {
        m_failed = true;
    }
}

SimulatedChip::SimulatedChip(uint32_t jedecId, std::vector<uint8_t> contents, ChipStore* store)
    : SimulatedChip(SimulatedChipModel{}, std::move(contents), store) {
    m_model = simulatedChipModel(jedecId, size(), true, ChipDatabase{});
}

SimulatedChip::~SimulatedChip() {
    flush();
}

bool SimulatedChip::flush() {
    if (m_dirtyEnd > m_dirtyBegin && m_store && !m_failed) {
        const std::span<const uint8_t> changed(m_memory.data() + m_dirtyBegin, m_dirtyEnd - m_dirtyBegin);
        if (!m_store->write(m_dirtyBegin, changed)) {
            m_failed = true;
        }
    }
    m_dirtyBegin = m_dirtyEnd = 0;
    return !m_failed;
}

void SimulatedChip::markChanged(uint32_t begin, uint32_t end) {
    if (m_dirtyEnd > m_dirtyBegin && (end < m_dirtyBegin || begin > m_dirtyEnd)) {
        flush();
    }
    if (m_dirtyEnd > m_dirtyBegin) {
        m_dirtyBegin = std::min(m_dirtyBegin, begin);
        m_dirtyEnd = std::max(m_dirtyEnd, end);
    } else {
        m_dirtyBegin = begin;
        m_dirtyEnd = end;
    }
}

void SimulatedChip::setProtection(uint8_t blockProtect, bool lockedByWpPin) {
    m_protectBits = static_cast<uint8_t>((blockProtect << 2) & spi::kStatusBpMask);
    m_statusLocked = lockedByWpPin;
}

uint8_t SimulatedChip::status() const {
    uint8_t status = m_protectBits;
    if (m_statusLocked) {
        status |= spi::kStatusRegisterProtect;
    }
    if (m_busyUs > 0 || m_stuckNow) {
        status |= spi::kStatusBusy;
    }
    if (m_writeEnabled) {
        status |= spi::kStatusWriteEnabled;
    }
    return status;
}

void SimulatedChip::elapse(uint32_t microseconds) {
    m_busyUs = m_busyUs > microseconds ? m_busyUs - microseconds : 0;
}

void SimulatedChip::startBusy(uint32_t microseconds, bool stuck) {
    m_busyUs = microseconds;
    m_stuckNow = stuck;
}

bool SimulatedChip::isProtected(uint32_t address) const {
    // Block protection as on W25X parts: BP = 1..4 guards the upper 1/16 .. 1/2,
    // 5 and above the whole chip.
    const uint32_t bp = m_protectBits >> 2;
    if (bp == 0) {
        return false;
    }
    if (bp >= 5) {
        return true;
    }
    const uint32_t guarded = size() >> (5 - bp);
    return address >= size() - guarded;
}

uint32_t SimulatedChip::addressOf(std::span<const uint8_t> out, size_t addressBytes) const {
    uint32_t address = 0;
    for (size_t i = 1; i <= addressBytes; ++i) {
        address = (address << 8) | out[i];
    }
    // Address bits above the chip size are not decoded.
    return address % size();
}

SimulatedChip::Event SimulatedChip::transact(std::span<const uint8_t> out, std::span<uint8_t> in) {
    std::fill(in.begin(), in.end(), uint8_t{0xFF});
    if (m_failed || out.empty()) {
        return Event::None;
    }
    const uint8_t opcode = out[0];
    if (opcode == spi::kReadStatus) {
        std::fill(in.begin(), in.end(), status());
        return Event::None;
    }
    if (m_busyUs > 0 || m_stuckNow) {
        return Event::None;
    }
    const bool fourByteCapable = m_model.address != AddressMode::Three;
    const size_t addressBytes = fourByteAddresses() ? 4 : 3;
    switch (opcode) {
        case spi::kJedecId: {
            const uint32_t jedecId = m_model.jedecId;
            const std::array<uint8_t, 3> id{static_cast<uint8_t>(jedecId >> 16),
                                            static_cast<uint8_t>(jedecId >> 8),
                                            static_cast<uint8_t>(jedecId)};
            std::copy_n(id.begin(), std::min(in.size(), id.size()), in.begin());
            return Event::None;
        }
        case spi::kReadSfdp:
            // Three address bytes and a dummy byte; past the table the bus floats high.
            if (out.size() >= 5) {
                const uint32_t address = uint32_t{out[1]} << 16 | uint32_t{out[2]} << 8 | out[3];
                for (size_t i = 0; i < in.size() && address + i < m_model.sfdp.size(); ++i) {
                    in[i] = m_model.sfdp[address + i];
                }
            }
            return Event::None;
        case spi::kEnter4ByteMode:
            if (out.size() == 1 && fourByteCapable) {
                m_fourByteMode = true;
            }
            return Event::None;
        case spi::kExit4ByteMode:
            if (out.size() == 1 && m_model.address == AddressMode::ThreeOrFour) {
                m_fourByteMode = false;
            }
            return Event::None;
        case spi::kWriteEnable:
            if (out.size() == 1) {
                m_writeEnabled = true;
            }
            return Event::None;
        case spi::kWriteDisable:
            if (out.size() == 1) {
                m_writeEnabled = false;
            }
            return Event::None;
        case spi::kWriteStatus:
            return writeStatus(out);
        case spi::kRead:
            read(out, in, addressBytes);
            return Event::None;
        case spi::kRead4Byte:
            if (fourByteCapable) {
                read(out, in, 4);
            }
            return Event::None;
        case spi::kPageProgram:
            return pageProgram(out, addressBytes);
        case spi::kPageProgram4Byte:
            return fourByteCapable ? pageProgram(out, 4) : Event::None;
        case spi::kChipErase:
        case spi::kChipEraseAlt:
            return chipErase(out);
        case spi::kErase4K:
            return blockErase(out, addressBytes, 4 * 1024, m_timing.erase4kBusyUs);
        case spi::kErase32K:
            return blockErase(out, addressBytes, 32 * 1024, m_timing.erase32kBusyUs);
        case spi::kErase64K:
            return blockErase(out, addressBytes, 64 * 1024, m_timing.erase64kBusyUs);
        case spi::kErase4K4Byte:
            return fourByteCapable ? blockErase(out, 4, 4 * 1024, m_timing.erase4kBusyUs) : Event::None;
        case spi::kErase32K4Byte:
            return fourByteCapable ? blockErase(out, 4, 32 * 1024, m_timing.erase32kBusyUs) : Event::None;
        case spi::kErase64K4Byte:
            return fourByteCapable ? blockErase(out, 4, 64 * 1024, m_timing.erase64kBusyUs) : Event::None;
        default:
            return Event::None;
    }
}

void SimulatedChip::read(std::span<const uint8_t> out, std::span<uint8_t> in, size_t addressBytes) {
    if (out.size() < 1 + addressBytes) {
        return;
    }
    m_bytesRead += in.size();
    // Sequential reads run on past the last byte from address 0.
    uint32_t address = addressOf(out, addressBytes);
    size_t done = 0;
    while (done < in.size()) {
        const size_t run = std::min<size_t>(in.size() - done, size() - address);
        std::copy_n(m_memory.begin() + address, run, in.begin() + static_cast<ptrdiff_t>(done));
        done += run;
        address = 0;
    }
}

SimulatedChip::Event SimulatedChip::pageProgram(std::span<const uint8_t> out, size_t addressBytes) {
    const size_t header = 1 + addressBytes;
    if (out.size() <= header || !m_writeEnabled) {
        return Event::None;
    }
    m_writeEnabled = false;
    const uint32_t address = addressOf(out, addressBytes);
    if (isProtected(address)) {
        return Event::None;
    }
    const uint32_t pageBase = address - address % spi::kPageSize;
    const uint32_t start = address % spi::kPageSize;
    const uint8_t* data = out.data() + header;
    const size_t length = out.size() - header;
    uint8_t* page = m_memory.data() + pageBase;
    if (start + length <= spi::kPageSize) {
        for (size_t i = 0; i < length; ++i) {
            page[start + i] &= data[i];
        }
    } else {
        // The page latch keeps the last 256 bytes sent, wrapping within the page.
        std::array<uint8_t, spi::kPageSize> latch;
        latch.fill(0xFF);
        for (size_t i = 0; i < length; ++i) {
            latch[(start + i) % spi::kPageSize] = data[i];
        }
        for (uint32_t i = 0; i < spi::kPageSize; ++i) {
            page[i] &= latch[i];
        }
    }
    markChanged(pageBase, pageBase + spi::kPageSize);
    startBusy(m_timing.programBusyUs, m_stuck == StuckBusy::Program);
    return Event::Programmed;
}

SimulatedChip::Event SimulatedChip::chipErase(std::span<const uint8_t> out) {
    if (out.size() != 1 || !m_writeEnabled) {
        return Event::None;
    }
    m_writeEnabled = false;
    // A chip erase is refused while any block is protected.
    if (m_protectBits != 0) {
        return Event::None;
    }
    std::fill(m_memory.begin(), m_memory.end(), uint8_t{0xFF});
    markChanged(0, size());
    startBusy(m_timing.eraseBusyUs, m_stuck == StuckBusy::Erase);
    return Event::Erased;
}

SimulatedChip::Event SimulatedChip::blockErase(std::span<const uint8_t> out, size_t addressBytes,
                                               uint32_t blockSize, uint32_t busyUs) {
    // The command ends exactly after its address; anything else is not an erase.
    if (out.size() != 1 + addressBytes || !m_writeEnabled) {
        return Event::None;
    }
    m_writeEnabled = false;
    const uint32_t size = std::min(blockSize, this->size());
    const uint32_t begin = addressOf(out, addressBytes) / size * size;
    // A block erase is refused when any of its bytes is protected.
    if (isProtected(begin) || isProtected(begin + size - 1)) {
        return Event::None;
    }
    std::fill_n(m_memory.begin() + begin, size, uint8_t{0xFF});
    markChanged(begin, begin + size);
    m_lastBlockErased = size;
    startBusy(busyUs, m_stuck == StuckBusy::Erase);
    return Event::BlockErased;
}

SimulatedChip::Event SimulatedChip::writeStatus(std::span<const uint8_t> out) {
    if (out.size() < 2 || !m_writeEnabled) {
        return Event::None;
    }
    m_writeEnabled = false;
    if (m_statusLocked) {
        return Event::None;
    }
    m_protectBits = out[1] & spi::kStatusBpMask;
    startBusy(m_timing.statusBusyUs, false);
    return Event::StatusWritten;
}

}  // namespace velmor
