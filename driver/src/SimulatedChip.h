#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "ChipDatabase.h"
#include "ChipStore.h"

namespace velmor {

// Which operation leaves the chip busy for good (fault injection).
enum class StuckBusy { None, Program, Erase };

// What a simulated chip answers about itself: its id (9F), its address mode
// and its SFDP area (5A; empty when it has none). One model serves the
// simulated programmer and the USB emulators.
struct SimulatedChipModel {
    uint32_t jedecId = 0xFFFFFF;
    uint32_t size = 0;
    AddressMode address = AddressMode::Three;
    std::vector<uint8_t> sfdp;
};

// The chip that answers `jedecId`: a database row gives size, address mode and
// erase blocks; an id without a row keeps `fallbackSize`. With `sfdp` the chip
// answers an SFDP table made from that.
SimulatedChipModel simulatedChipModel(uint32_t jedecId, uint32_t fallbackSize, bool sfdp,
                                      const ChipDatabase& database);

// A 25-series NOR flash chip at the level of its pins: one chip-select cycle at
// a time. Erasing sets bytes to 0xFF, programming can only clear bits, a page
// program wraps within its 256-byte page, and programs, erases and status writes
// need the write-enable latch, which each of them clears. While busy the chip
// answers only the status read. Time passes only through elapse(), so runs are
// reproducible.
class SimulatedChip {
public:
    // What a cycle started, so the programmer can charge its duration.
    enum class Event { None, Programmed, Erased, BlockErased, StatusWritten };

    struct Timing {
        uint32_t programBusyUs = 100;
        uint32_t eraseBusyUs = 5'000;
        uint32_t statusBusyUs = 200;
        // Block erases (20/21, 52/5C, D8/DC); a W25Q64's typical 45, 120 and 150 ms.
        uint32_t erase4kBusyUs = 45'000;
        uint32_t erase32kBusyUs = 120'000;
        uint32_t erase64kBusyUs = 150'000;
    };

    // `contents.size()` is the chip size. `store`, when given, receives every
    // change: neighbouring pages are gathered and written by flush(), before a
    // change elsewhere, and when the chip goes away.
    SimulatedChip(SimulatedChipModel model, std::vector<uint8_t> contents, ChipStore* store);
    // A chip with its size's usual model: SFDP answered, 4-byte commands above 16 MiB.
    SimulatedChip(uint32_t jedecId, std::vector<uint8_t> contents, ChipStore* store);
    ~SimulatedChip();
    SimulatedChip(const SimulatedChip&) = delete;
    SimulatedChip& operator=(const SimulatedChip&) = delete;

    Event transact(std::span<const uint8_t> out, std::span<uint8_t> in);
    // Writes the changes not yet in the store; false (and a dead chip) when that fails.
    bool flush();
    void elapse(uint32_t microseconds);

    void setStuckBusy(StuckBusy stuck) { m_stuck = stuck; }
    void setTiming(const Timing& timing) { m_timing = timing; }
    // Block-protect bits BP2..BP0 (0..7), and whether the WP pin locks the
    // status register (status register protect set, WP held low): then status
    // writes are ignored and the protection cannot be cleared.
    void setProtection(uint8_t blockProtect, bool lockedByWpPin);

    uint8_t status() const;
    // Whether 0x03 and 0x02 take four address bytes now (4-byte-only part, or B7 given).
    bool fourByteAddresses() const { return m_model.address == AddressMode::Four || m_fourByteMode; }
    uint32_t size() const { return static_cast<uint32_t>(m_memory.size()); }
    std::span<const uint8_t> contents() const { return m_memory; }
    // A chip whose store failed stops driving the bus, like a dead part.
    bool failed() const { return m_failed; }
    // Data bytes the chip has clocked out to reads (0x03/0x13) since it was made.
    uint64_t bytesRead() const { return m_bytesRead; }
    // Bytes the last block erase covered.
    uint32_t lastBlockErased() const { return m_lastBlockErased; }

private:
    bool isProtected(uint32_t address) const;
    Event pageProgram(std::span<const uint8_t> out, size_t addressBytes);
    Event chipErase(std::span<const uint8_t> out);
    Event blockErase(std::span<const uint8_t> out, size_t addressBytes, uint32_t blockSize, uint32_t busyUs);
    Event writeStatus(std::span<const uint8_t> out);
    void read(std::span<const uint8_t> out, std::span<uint8_t> in, size_t addressBytes);
    uint32_t addressOf(std::span<const uint8_t> out, size_t addressBytes) const;
    void startBusy(uint32_t microseconds, bool stuck);
    void markChanged(uint32_t begin, uint32_t end);

    SimulatedChipModel m_model;
    bool m_fourByteMode = false;
    std::vector<uint8_t> m_memory;
    ChipStore* m_store;
    Timing m_timing;
    StuckBusy m_stuck = StuckBusy::None;
    bool m_writeEnabled = false;
    bool m_stuckNow = false;
    uint8_t m_protectBits = 0;
    bool m_statusLocked = false;
    uint32_t m_busyUs = 0;
    bool m_failed = false;
    // Changed bytes not yet in the store: [m_dirtyBegin, m_dirtyEnd).
    uint32_t m_dirtyBegin = 0;
    uint32_t m_dirtyEnd = 0;
    uint64_t m_bytesRead = 0;
    uint32_t m_lastBlockErased = 0;
};

}  // namespace velmor
