#include "Driver.h"

#include <algorithm>
#include <cstring>

#include "ChipCatalog.h"
#include "SpiOpcodes.h"

namespace velmor {

namespace {

constexpr uint32_t kVerifyChunk = 64 * 1024;
constexpr int32_t kMinWriteTimeMs = 5;
constexpr int32_t kMaxWriteTimeMs = 10'000;

}  // namespace

Driver::Driver(std::unique_ptr<ProgrammerBackend> backend) : m_backend(std::move(backend)) {}

Driver::~Driver() = default;

Driver::Held Driver::find(int32_t handle) {
    std::shared_ptr<Connection> connection;
    {
        std::lock_guard lock(m_tableMutex);
        const auto it = m_connections.find(handle);
        if (it == m_connections.end()) {
            return {};
        }
        connection = it->second;
    }
    Held held(std::move(connection));
    // Closed while this call waited for the connection: the handle is gone.
    if (held->handle == 0) {
        return {};
    }
    return held;
}

int32_t Driver::enumerate() {
    std::lock_guard lock(m_tableMutex);
    return std::max(m_backend->count(), 0);
}

int32_t Driver::open(int32_t index) {
    std::lock_guard lock(m_tableMutex);
    // Each programmer is held by one connection at a time.
    if (index < 0 || m_openIndices.count(index) != 0) {
        return -1;
    }
    std::optional<OpenedProgrammer> opened = m_backend->open(index);
    if (!opened || !opened->transport) {
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
    connection->scratch.resize(kVerifyChunk);
    m_connections.emplace(m_lastHandle, std::move(connection));
    m_openIndices.insert(index);
    return m_lastHandle;
}

int32_t Driver::close(int32_t handle) {
    // Waits for a call running on the connection, so its programmer (and chip
    // file) is let go before the index can be opened again.
    Held c = find(handle);
    if (!c) {
        return 0;
    }
    std::lock_guard lock(m_tableMutex);
    c->handle = 0;
    m_openIndices.erase(c->index);
    m_connections.erase(handle);
    c->flash.reset();
    c->programmer = OpenedProgrammer{};
    return 1;
}

int32_t Driver::selfTest(int32_t handle) {
    Held c = find(handle);
    return c && c->programmer.transport->selfTest() ? 1 : 0;
}

std::optional<uint32_t> Driver::chipId(Connection& connection) {
    const std::optional<uint32_t> id = connection.flash->readJedecId();
    if (!id || isNoChipAnswer(*id)) {
        return std::nullopt;
    }
    return id;
}

int32_t Driver::setFlashInfo(int32_t handle, int32_t kind, int32_t size) {
    Held c = find(handle);
    if (!c) {
        return 0;
    }
    c->chipSize.reset();
    if (kind != kFlashKind || size < 0) {
        return 0;
    }
    const std::optional<uint32_t> id = chipId(*c);
    if (!id) {
        return 0;
    }
    // The chip's own size bounds every address; the caller's size only stands in
    // when the chip does not state one.
    uint32_t limit = spi::kThreeByteLimit;
    if (const std::optional<uint32_t> reported = sizeFromJedec(*id)) {
        limit = *reported;
    } else if (size > 0) {
        limit = static_cast<uint32_t>(size);
    }
    c->flash->setFourByteAddressing(limit > spi::kThreeByteLimit);
    c->chipSize = limit;
    return 1;
}

int32_t Driver::setWriteTime(int32_t handle, int32_t time) {
    Held c = find(handle);
    if (!c) {
        return 0;
    }
    const int32_t ms = std::clamp(time, kMinWriteTimeMs, kMaxWriteTimeMs);
    c->flash->timing().pageProgramBudgetUs = static_cast<uint32_t>(ms) * 1000;
    return 1;
}

int32_t Driver::setBp1(int32_t handle, int32_t value) {
    Held c = find(handle);
    if (!c || !chipId(*c)) {
        return 0;
    }
    const std::optional<uint8_t> status = c->flash->readStatus();
    if (!status) {
        return 0;
    }
    uint8_t wanted = *status & spi::kStatusBpMask;
    wanted = value != 0 ? (wanted | spi::kStatusBp1) : (wanted & ~spi::kStatusBp1);
    if (!c->flash->writeStatus(wanted)) {
        return 0;
    }
    const std::optional<uint8_t> after = c->flash->readStatus();
    return after && (*after & spi::kStatusBpMask) == wanted ? 1 : 0;
}

bool Driver::isBlank(Connection& c, uint32_t size) {
    for (uint32_t at = 0; at < size; at += kVerifyChunk) {
        const uint32_t n = std::min(kVerifyChunk, size - at);
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
    Held c = find(handle);
    if (!c) {
        return 0;
    }
    ++c->eraseCalls;
    if (!c->chipSize || c->eraseCalls == c->programmer.faults.failEraseCall) {
        return 0;
    }
    const bool erased = c->flash->chipErase();
    if (!c->programmer.transport->flush() || !erased) {
        return 0;
    }
    return isBlank(*c, *c->chipSize) ? 1 : 0;
}

bool Driver::transferAllowed(const Connection& c, const void* data, uint32_t length, uint32_t address,
                             const uint32_t* done) {
    if (!data || !done || length == 0 || length > kMaxTransfer || !c.chipSize) {
        return false;
    }
    return address < *c.chipSize;
}

int32_t Driver::program(int32_t handle, const uint8_t* data, uint32_t length, uint32_t address,
                        uint32_t* done) {
    Held c = find(handle);
    if (!c) {
        return 0;
    }
    ++c->programCalls;
    // What is sent is programmed whole or not at all: nothing is dropped at the chip's end.
    if (!transferAllowed(*c, data, length, address, done) || uint64_t{address} + length > *c->chipSize) {
        return 0;
    }
    const FaultPlan& faults = c->programmer.faults;
    if (c->programCalls == faults.failProgramCall) {
        return 0;
    }
    if (faults.zeroProgram) {
        *done = 0;
        return 1;
    }
    const uint32_t n = faults.shortProgram != 0 ? std::min(length, faults.shortProgram) : length;
    const std::span<const uint8_t> source(data, n);
    const std::span<uint8_t> back(c->scratch.data(), n);
    const bool programmed = c->flash->program(address, source);
    if (!c->programmer.transport->flush() || !programmed) {
        return 0;
    }
    // A NOR chip can only clear bits: what does not read back was not programmed.
    if (!c->flash->read(address, back) || std::memcmp(source.data(), back.data(), n) != 0) {
        return 0;
    }
    *done = n + (faults.extraProgram ? FaultPlan::kExtraReported : 0);
    return 1;
}

int32_t Driver::read(int32_t handle, uint8_t* buffer, uint32_t length, uint32_t address, uint32_t* done) {
    Held c = find(handle);
    if (!c) {
        return 0;
    }
    ++c->readCalls;
    if (!transferAllowed(*c, buffer, length, address, done)) {
        return 0;
    }
    const FaultPlan& faults = c->programmer.faults;
    if (c->readCalls == faults.failReadCall) {
        return 0;
    }
    if (faults.zeroRead) {
        *done = 0;
        return 1;
    }
    // A read that runs past the chip's end brings what lies before the end; never
    // more than the caller's `length` bytes reach the buffer, whatever is reported.
    uint32_t n = std::min(length, *c->chipSize - address);
    if (faults.shortRead != 0) {
        n = std::min(n, faults.shortRead);
    }
    if (!c->flash->read(address, {buffer, n})) {
        return 0;
    }
    *done = n + (faults.extraRead ? FaultPlan::kExtraReported : 0);
    return 1;
}

int32_t Driver::getFlashInfo(int32_t handle, int32_t* kind, int32_t* code) {
    Held c = find(handle);
    if (!c || !kind || !code || c->programmer.faults.failFlashInfo) {
        return 0;
    }
    const std::optional<uint32_t> id = chipId(*c);
    if (!id) {
        return 0;
    }
    const ChipIdentity identity = identify(*id);
    *kind = c->programmer.faults.forcedKind.value_or(identity.kind);
    *code = c->programmer.faults.forcedCode.value_or(identity.code);
    return 1;
}

}  // namespace velmor
