#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "ChipCatalog.h"
#include "ChipDatabase.h"
#include "InstalledChipDatabase.h"
#include "ProgrammerBackend.h"
#include "SpiFlash.h"

namespace velmor {

// The state behind the eleven entry points: one connection per opened
// programmer index, argument checks, the driver faults of the back end, and
// the chip operations on the flash layer. Each connection has its own mutex,
// held for a whole call on it, so two threads sharing a handle take turns
// while connections to different programmers run side by side; the table of
// connections is locked only to look a handle up, add or remove one.
class Driver {
public:
    static constexpr uint32_t kMaxTransfer = 8192;
    static constexpr int32_t kFlashKind = 5;

    // Gives the chip database a connection identifies chips with; read at every open.
    using DatabaseSource = std::function<std::shared_ptr<const ChipDatabase>()>;

    explicit Driver(std::unique_ptr<ProgrammerBackend> backend,
                    DatabaseSource database = installedChipDatabase);
    ~Driver();
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    int32_t enumerate();
    int32_t open(int32_t index);
    int32_t close(int32_t handle);
    int32_t selfTest(int32_t handle);
    int32_t setBp1(int32_t handle, int32_t value);
    int32_t setFlashInfo(int32_t handle, int32_t kind, int32_t size);
    int32_t setWriteTime(int32_t handle, int32_t time);
    int32_t initFlash(int32_t handle);
    int32_t program(int32_t handle, const uint8_t* data, uint32_t length, uint32_t address, uint32_t* done);
    int32_t read(int32_t handle, uint8_t* buffer, uint32_t length, uint32_t address, uint32_t* done);
    int32_t getFlashInfo(int32_t handle, int32_t* kind, int32_t* code);
    // The identity found by the last connection check (identifying afresh when there was none).
    int32_t chipIdentity(int32_t handle, ChipInfo* info);
    // The caller will read the chip back itself: erase and program skip their read-backs.
    int32_t setVerifyLater(int32_t handle, int32_t value);
    // Erases [address, address + length) by the chip's erase blocks, largest that
    // fits first; *done = bytes erased before the block that failed.
    int32_t eraseRange(int32_t handle, uint32_t address, uint32_t length, uint32_t* done);

private:
    struct Connection {
        std::mutex mutex;
        int32_t handle = 0;
        int32_t index = 0;
        bool closed = false;
        OpenedProgrammer programmer;
        std::unique_ptr<SpiFlash> flash;
        // Addresses the chip accepts; set by a successful QuovixSetFlashInfo.
        std::optional<uint32_t> chipSize;
        std::shared_ptr<const ChipDatabase> database;
        std::optional<ChipInfo> identity;
        uint32_t programCalls = 0;
        uint32_t readCalls = 0;
        uint32_t eraseCalls = 0;
        uint32_t erasedBlocks = 0;
        bool verifyLater = false;
        std::vector<uint8_t> scratch;
    };

    // Runs `call` on the open connection `handle` under its mutex; 0 when the
    // handle is not open. A connection whose programmer went away is closed.
    template <typename Call>
    int32_t with(int32_t handle, Call&& call);
    void retire(const std::shared_ptr<Connection>& connection);

    // Transfer arguments allowed on the connection.
    static bool transferAllowed(const Connection& c, const void* data, uint32_t length, uint32_t address,
                                const uint32_t* done);
    static std::optional<uint32_t> chipId(Connection& connection);
    // Reads the id and, when the database has no row for it, the SFDP table;
    // reuses the stored identity while the id stays the same. nullopt: no chip.
    static std::optional<ChipInfo> identifyOn(Connection& connection);
    static bool isBlank(Connection& connection, uint32_t address, uint32_t size);
    // Clears the chip's block protection before it is changed (one status read
    // when there is none); false when it stays set.
    static bool ensureWritable(Connection& connection);
    int32_t programOn(Connection& c, const uint8_t* data, uint32_t length, uint32_t address, uint32_t* done);
    int32_t readOn(Connection& c, uint8_t* buffer, uint32_t length, uint32_t address, uint32_t* done);

    std::mutex m_mutex;  // guards the members below
    std::unique_ptr<ProgrammerBackend> m_backend;
    DatabaseSource m_database;
    std::map<int32_t, std::shared_ptr<Connection>> m_connections;
    std::set<int32_t> m_busyIndexes;  // opened or being opened
    int32_t m_lastHandle = 0;
};

}  // namespace velmor
