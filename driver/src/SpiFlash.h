#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "SpiTransport.h"

namespace velmor {

// A 25-series SPI NOR flash chip reached through a transport: JEDEC id, read,
// page program, chip erase and the status register. Every wait for the busy
// bit is bounded, so a chip that never finishes cannot hang the caller.
class SpiFlash {
public:
    // How long a command may keep the chip busy, and how often to look.
    struct Timing {
        uint32_t pageProgramBudgetUs = 5'000;
        // Expected time of one page program (a W25Q64's typical 0.7 ms): the
        // wait placed between a page and the status read that follows it.
        uint32_t pageProgramTypicalUs = 700;
        uint32_t pageProgramPollUs = 50;
        uint32_t eraseBudgetUs = 200'000'000;
        uint32_t erasePollUs = 1'000;
        // A 64 KiB block takes 2 s at most on a W25Q64; larger or slower blocks get room.
        uint32_t blockEraseBudgetUs = 10'000'000;
        uint32_t blockErasePollUs = 1'000;
        uint32_t statusWriteBudgetUs = 100'000;
        uint32_t statusWritePollUs = 100;
    };

    explicit SpiFlash(SpiTransport& transport);

    // Manufacturer, memory type and capacity bytes as 0xMMTTCC; nullopt when
    // the transport failed. An absent chip reads as 0xFFFFFF or 0x000000.
    std::optional<uint32_t> readJedecId();
    std::optional<uint8_t> readStatus();
    // The SFDP area from address 0, out.size() bytes in one command.
    bool readSfdp(std::span<uint8_t> out);

    // Chips above 16 MiB take four address bytes (commands 0x13 and 0x12).
    void setFourByteAddressing(bool on) { m_fourByte = on; }
    bool fourByteAddressing() const { return m_fourByte; }
    // A part that takes four address bytes with every opcode needs no mode
    // change for an erase opcode that has no four-byte form.
    void setFourByteOnly(bool on) { m_fourByteOnly = on; }

    Timing& timing() { return m_timing; }

    // One batch of read commands of at most the transport's read length.
    bool read(uint32_t address, std::span<uint8_t> out);
    // Splits at 256-byte page ends and skips pages whose bytes are all 0xFF
    // (programming cannot change an erased byte, nor leave a programmed one
    // at 0xFF). The pages go out as one batch: write enable, page program, the
    // typical page time, status read, for each; the status read before a page
    // shows whether the chip was ready to take it. From the first page sent
    // while the chip was still busy on, the rest is sent again after waiting.
    bool program(uint32_t address, std::span<const uint8_t> data);
    bool chipErase();
    // Erases the block at `address` with its 3-byte-address `opcode` and waits
    // for the chip. With four-byte addressing the opcode's four-byte form
    // (20 -> 21, 52 -> 5C, D8 -> DC) goes out; an opcode without one is sent
    // with four address bytes, inside B7 .. E9 unless the part takes four
    // bytes anyway.
    bool eraseBlock(uint8_t opcode, uint32_t address);
    bool writeStatus(uint8_t value);

private:
    bool simple(uint8_t opcode);
    bool waitReady(uint32_t budgetUs, uint32_t pollUs);
    size_t putAddress(uint8_t* header, uint8_t opcode3, uint8_t opcode4, uint32_t address) const;
    struct Page {
        uint32_t address;
        std::span<const uint8_t> data;
    };
    // Sends `pages` in one batch; returns how many were certainly taken by the
    // chip (the rest must go again), or nullopt when the transport failed.
    std::optional<size_t> programBatch(std::span<const Page> pages);

    SpiTransport& m_transport;
    Timing m_timing;
    bool m_fourByte = false;
    bool m_fourByteOnly = false;
};

// The four-byte-address form of a block erase opcode; nullopt when it has none.
std::optional<uint8_t> fourByteEraseOpcode(uint8_t opcode);

// True when a JEDEC answer is what a missing chip puts on the bus.
bool isNoChipAnswer(uint32_t jedecId);

}  // namespace velmor
