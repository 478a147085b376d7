#include "Driver.h"

#include <algorithm>
#include <cstring>

#include <velmor.h>

#include "ChipCatalog.h"
#include "InstalledChipDatabase.h"
#include "LastFailure.h"
#include "SpiOpcodes.h"

namespace velmor {

namespace {

constexpr uint32_t kVerifyChunk = 64 * 1024;
constexpr int32_t kMinWriteTimeMs = 5;
constexpr int32_t kMaxWriteTimeMs = 10'000;

}  // namespace

Driver::Driver(std::unique_ptr<ProgrammerBackend> backend, DatabaseSource database)
    : m_backend(std::move(backend)), m_database(std::move(database)) {}

Driver::~Driver() = default;

template <typename Call>
int32_t Driver::with(int32_t handle, Call&& call) {
    std::shared_ptr<Connection> c;
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_connections.find(handle);
        if (found == m_connections.end()) {
            return 0;
        }
        c = found->second;
    }
    std::lock_guard lock(c->mutex);
    if (c->closed) {
        return 0;
    }
    const int32_t result = call(*c);
    if (!c->programmer.transport->present()) {
        // The programmer was unplugged or stopped answering: the handle is closed.
        retire(c);
        return 0;
    }
    return result;
}

// Called with the connection's mutex held.
void Driver::retire(const std::shared_ptr<Connection>& c) {
    {
        std::lock_guard lock(m_mutex);
        m_connections.erase(c->handle);
        m_busyIndexes.erase(c->index);
    }
    c->closed = true;
    c->flash.reset();
    c->programmer.transport.reset();
}

int32_t Driver::enumerate() {
    return std::max(m_backend->count(), 0);
}

int32_t Driver::open(int32_t index) {
    setLastFailure(VELMOR_REASON_NONE);
    {
        std::lock_guard lock(m_mutex);
        // One connection per programmer.
        if (index < 0 || !m_busyIndexes.insert(index).second) {
            return -1;
        }
    }
    std::optional<OpenedProgrammer> opened;
    try {
        opened = m_backend->open(index);
    } catch (...) {
        std::lock_guard lock(m_mutex);
        m_busyIndexes.erase(index);
        throw;
    }
    std::lock_guard lock(m_mutex);
    if (!opened || !opened->transport) {
        m_busyIndexes.erase(index);
        return -1;
    }
    auto connection = std::make_shared<Connection>();
    do {
        m_lastHandle = m_lastHandle == INT32_MAX ? 1 : m_lastHandle + 1;
    } while (m_connections.count(m_lastHandle) != 0);
    connection->handle = m_lastHandle;
    connection->index = index;
    connection->programmer = std::move(*opened);
    connection->flash = std::make_unique<SpiFlash>(*connection->programmer.transport);
    connection->database = m_database ? m_database() : nullptr;
    if (!connection->database) {
        connection->database = std::make_shared<const ChipDatabase>();
    }
    connection->scratch.resize(kVerifyChunk);
    m_connections.emplace(m_lastHandle, std::move(connection));
    return m_lastHandle;
}

int32_t Driver::close(int32_t handle) {
    std::shared_ptr<Connection> c;
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_connections.find(handle);
        if (found == m_connections.end()) {
            return 0;
        }
        c = found->second;
    }
    // Waits for a call still running on the connection.
    std::lock_guard lock(c->mutex);
    if (c->closed) {
        return 0;
    }
    retire(c);
    return 1;
}

int32_t Driver::selfTest(int32_t handle) {
    return with(handle, [](Connection& c) { return c.programmer.transport->selfTest() ? 1 : 0; });
}

std::optional<uint32_t> Driver::chipId(Connection& connection) {
    const std::optional<uint32_t> id = connection.flash->readJedecId();
    if (!id || isNoChipAnswer(*id)) {
        return std::nullopt;
    }
    return id;
}

std::optional<ChipInfo> Driver::identifyOn(Connection& c) {
    const std::optional<uint32_t> id = chipId(c);
    if (!id) {
        c.identity.reset();
        return std::nullopt;
    }
    if (c.identity && c.identity->id == *id) {
        return c.identity;
    }
    std::optional<SfdpInfo> sfdp;
    if (!c.database->find(*id)) {
        std::array<uint8_t, kSfdpReadLength> table{};
        if (c.flash->readSfdp(table)) {
            sfdp = parseSfdp(table);
        }
    }
    c.identity = identifyChip(*id, *c.database, sfdp);
    return c.identity;
}

int32_t Driver::setFlashInfo(int32_t handle, int32_t kind, int32_t size) {
    return with(handle, [&](Connection& c) -> int32_t {
        c.chipSize.reset();
        if (kind != kFlashKind || size < 0) {
            return 0;
        }
        const std::optional<ChipInfo> identity = identifyOn(c);
        if (!identity) {
            return 0;
        }
        // The chip's own size bounds every address; the caller's size only stands in
        // for a chip nobody knows.
        uint32_t limit = spi::kThreeByteLimit;
        if (identity->size != 0) {
            limit = identity->size;
        } else if (size > 0) {
            limit = static_cast<uint32_t>(size);
        }
        c.flash->setFourByteAddressing(needsFourByteAddress(identity->address, limit));
        c.flash->setFourByteOnly(identity->address == AddressMode::Four);
        c.chipSize = limit;
        return 1;
    });
}

int32_t Driver::setWriteTime(int32_t handle, int32_t time) {
    return with(handle, [&](Connection& c) {
        const int32_t ms = std::clamp(time, kMinWriteTimeMs, kMaxWriteTimeMs);
        c.flash->timing().pageProgramBudgetUs = static_cast<uint32_t>(ms) * 1000;
        return 1;
    });
}

int32_t Driver::setBp1(int32_t handle, int32_t value) {
    return with(handle, [&](Connection& c) -> int32_t {
        if (!chipId(c)) {
            return 0;
        }
        const std::optional<uint8_t> status = c.flash->readStatus();
        if (!status) {
            return 0;
        }
        uint8_t wanted = *status & spi::kStatusBpMask;
        wanted = value != 0 ? (wanted | spi::kStatusBp1) : (wanted & ~spi::kStatusBp1);
        if (!c.flash->writeStatus(wanted)) {
            return 0;
        }
        const std::optional<uint8_t> after = c.flash->readStatus();
        return after && (*after & spi::kStatusBpMask) == wanted ? 1 : 0;
    });
}

bool Driver::ensureWritable(Connection& c) {
    const std::optional<uint8_t> status = c.flash->readStatus();
    if (!status) {
        return false;
    }
    if ((*status & spi::kStatusProtectMask) != 0) {
        // Keep the status register protect bit and whatever else the chip holds there.
        const uint8_t cleared =
            *status & ~(spi::kStatusProtectMask | spi::kStatusBusy | spi::kStatusWriteEnabled);
        if (!c.flash->writeStatus(cleared)) {
            return false;
        }
        // A WP pin holding the register locked leaves the bits set.
        const std::optional<uint8_t> after = c.flash->readStatus();
        if (!after || (*after & spi::kStatusProtectMask) != 0) {
            if (after) {
                setLastFailure(VELMOR_REASON_WRITE_PROTECTED);
            }
            return false;
        }
    }
    return true;
}

bool Driver::isBlank(Connection& c, uint32_t address, uint32_t size) {
    for (uint32_t at = address; at - address < size; at += kVerifyChunk) {
        const uint32_t n = std::min(kVerifyChunk, size - (at - address));
        const std::span<uint8_t> chunk(c.scratch.data(), n);
        if (!c.flash->read(at, chunk)) {
            return false;
        }
        // Blank when the chunk equals itself shifted by one byte and starts with 0xFF.
        if (chunk[0] != 0xFF || std::memcmp(chunk.data(), chunk.data() + 1, n - 1) != 0) {
            return false;
        }
    }
    return true;
}

int32_t Driver::initFlash(int32_t handle) {
    setLastFailure(VELMOR_REASON_NONE);
    return with(handle, [&](Connection& c) -> int32_t {
        ++c.eraseCalls;
        if (!c.chipSize || c.eraseCalls == c.programmer.faults.failEraseCall) {
            return 0;
        }
        if (!ensureWritable(c)) {
            return 0;
        }
        const bool erased = c.flash->chipErase();
        if (!c.programmer.transport->flush() || !erased) {
            return 0;
        }
        // The erase ended with the busy bit clear; the caller's own read is the check.
        if (c.verifyLater) {
            return 1;
        }
        return isBlank(c, 0, *c.chipSize) ? 1 : 0;
    });
}

int32_t Driver::eraseRange(int32_t handle, uint32_t address, uint32_t length, uint32_t* done) {
    setLastFailure(VELMOR_REASON_NONE);
    return with(handle, [&](Connection& c) -> int32_t {
        if (!done) {
            return 0;
        }
        *done = 0;
        if (!c.chipSize || !c.identity || c.identity->erase.empty() || length == 0) {
            return 0;
        }
        const std::vector<EraseBlock>& blocks = c.identity->erase;
        const uint32_t smallest = blocks.front().size;
        if (address % smallest != 0 || length % smallest != 0 || uint64_t{address} + length > *c.chipSize) {
            return 0;
        }
        if (!ensureWritable(c)) {
            return 0;
        }
        const uint32_t end = address + length;
        for (uint32_t at = address; at < end;) {
            // The largest block that starts here and does not reach past the end.
            const EraseBlock* chosen = &blocks.front();
            for (const EraseBlock& block : blocks) {
                if (at % block.size == 0 && block.size <= end - at && block.size > chosen->size) {
                    chosen = &block;
                }
            }
            ++c.erasedBlocks;
            const bool erased = c.erasedBlocks != c.programmer.faults.failEraseBlock &&
                                c.flash->eraseBlock(chosen->opcode, at);
            // Without the caller's promise each block is read back: these chips report no failed erase.
            if (!erased || !c.programmer.transport->flush() ||
                (!c.verifyLater && !isBlank(c, at, chosen->size))) {
                c.programmer.transport->flush();
                return 0;
            }
            at += chosen->size;
            *done = at - address;
        }
        return 1;
    });
}

bool Driver::transferAllowed(const Connection& c, const void* data, uint32_t length, uint32_t address,
                             const uint32_t* done) {
    if (!data || !done || length == 0 || length > kMaxTransfer || !c.chipSize) {
        return false;
    }
    // A transfer may start anywhere on the chip; reads stop at its end.
    return address < *c.chipSize;
}

int32_t Driver::program(int32_t handle, const uint8_t* data, uint32_t length, uint32_t address,
                        uint32_t* done) {
    setLastFailure(VELMOR_REASON_NONE);
    return with(handle, [&](Connection& c) { return programOn(c, data, length, address, done); });
}

int32_t Driver::programOn(Connection& c, const uint8_t* data, uint32_t length, uint32_t address,
                          uint32_t* done) {
    ++c.programCalls;
    // What is sent is programmed whole or not at all: nothing is dropped at the chip's end.
    if (!transferAllowed(c, data, length, address, done) || uint64_t{address} + length > *c.chipSize) {
        return 0;
    }
    const FaultPlan& faults = c.programmer.faults;
    if (c.programCalls == faults.failProgramCall) {
        return 0;
    }
    if (faults.zeroProgram) {
        *done = 0;
        return 1;
    }
    const uint32_t n = faults.shortProgram != 0 ? std::min(length, faults.shortProgram) : length;
    const std::span<const uint8_t> source(data, n);
    const std::span<uint8_t> back(c.scratch.data(), n);
    if (!ensureWritable(c)) {
        return 0;
    }
    const bool programmed = c.flash->program(address, source);
    if (!c.programmer.transport->flush() || !programmed) {
        return 0;
    }
    // A NOR chip can only clear bits: what does not read back was not programmed.
    // A caller that reads the chip back afterwards finds that out itself.
    if (!c.verifyLater &&
        (!c.flash->read(address, back) || std::memcmp(source.data(), back.data(), n) != 0)) {
        return 0;
    }
    *done = n + (faults.extraProgram ? FaultPlan::kExtraReported : 0);
    return 1;
}

int32_t Driver::read(int32_t handle, uint8_t* buffer, uint32_t length, uint32_t address, uint32_t* done) {
    return with(handle, [&](Connection& c) { return readOn(c, buffer, length, address, done); });
}

int32_t Driver::readOn(Connection& c, uint8_t* buffer, uint32_t length, uint32_t address, uint32_t* done) {
    ++c.readCalls;
    if (!transferAllowed(c, buffer, length, address, done)) {
        return 0;
    }
    const FaultPlan& faults = c.programmer.faults;
    if (c.readCalls == faults.failReadCall) {
        return 0;
    }
    if (faults.zeroRead) {
        *done = 0;
        return 1;
    }
    // A read that runs past the chip's end brings what lies before the end; never
    // more than the caller's `length` bytes reach the buffer, whatever is reported.
    uint32_t n = std::min(length, *c.chipSize - address);
    if (faults.shortRead != 0) {
        n = std::min(n, faults.shortRead);
    }
    if (!c.flash->read(address, {buffer, n})) {
        return 0;
    }
    *done = n + (faults.extraRead ? FaultPlan::kExtraReported : 0);
    return 1;
}

int32_t Driver::getFlashInfo(int32_t handle, int32_t* kind, int32_t* code) {
    return with(handle, [&](Connection& c) -> int32_t {
        if (!kind || !code || c.programmer.faults.failFlashInfo) {
            return 0;
        }
        const std::optional<ChipInfo> identity = identifyOn(c);
        if (!identity) {
            return 0;
        }
        const FlashInfoCode answer = flashInfoCode(*identity);
        *kind = c.programmer.faults.forcedKind.value_or(answer.kind);
        *code = c.programmer.faults.forcedCode.value_or(answer.code);
        return 1;
    });
}

int32_t Driver::chipIdentity(int32_t handle, ChipInfo* info) {
    return with(handle, [&](Connection& c) -> int32_t {
        if (!info) {
            return 0;
        }
        if (!c.identity) {
            identifyOn(c);
        }
        if (!c.identity) {
            return 0;
        }
        *info = *c.identity;
        return 1;
    });
}

int32_t Driver::setVerifyLater(int32_t handle, int32_t value) {
    return with(handle, [&](Connection& c) {
        c.verifyLater = value != 0;
        return 1;
    });
}

}  // namespace velmor
