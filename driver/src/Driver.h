#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "ProgrammerBackend.h"
#include "SpiFlash.h"

namespace velmor {

// The state behind the eleven entry points: one connection per attached
// programmer, argument checks, the driver faults of the back end, and the chip
// operations on the flash layer. Every call on a handle holds that connection's
// mutex for its whole run, so calls on one connection run one after another
// while connections to different programmers never wait for each other. The
// table of connections has its own mutex, held only to find, add or remove one.
class Driver {
public:
    static constexpr uint32_t kMaxTransfer = 8192;
    static constexpr int32_t kFlashKind = 5;

    explicit Driver(std::unique_ptr<ProgrammerBackend> backend);
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

private:
    struct Connection {
        std::mutex mutex;
        int32_t handle = 0;
        int32_t index = 0;
        OpenedProgrammer programmer;
        std::unique_ptr<SpiFlash> flash;
        // Addresses the chip accepts; set by a successful QuovixSetFlashInfo.
        std::optional<uint32_t> chipSize;
        uint32_t programCalls = 0;
        uint32_t readCalls = 0;
        uint32_t eraseCalls = 0;
        std::vector<uint8_t> scratch;
    };

    // A connection held for one call: alive and locked until the call ends, even
    // when another thread closes the handle meanwhile.
    class Held {
    public:
        Held() = default;
        explicit Held(std::shared_ptr<Connection> c) : m_connection(std::move(c)), m_lock(m_connection->mutex) {}
        Connection* operator->() const { return m_connection.get(); }
        Connection& operator*() const { return *m_connection; }
        explicit operator bool() const { return m_connection != nullptr; }

    private:
        std::shared_ptr<Connection> m_connection;
        std::unique_lock<std::mutex> m_lock;
    };

    // The open connection of `handle`, locked; empty when the handle is not open.
    Held find(int32_t handle);
    // True when a transfer of `length` bytes from `address` may start on `c`:
    // the arguments are sound and `address` lies on the chip.
    static bool transferAllowed(const Connection& c, const void* data, uint32_t length, uint32_t address,
                                const uint32_t* done);
    std::optional<uint32_t> chipId(Connection& connection);
    bool isBlank(Connection& connection, uint32_t size);

    std::mutex m_tableMutex;
    std::unique_ptr<ProgrammerBackend> m_backend;
    std::map<int32_t, std::shared_ptr<Connection>> m_connections;  // by handle
    std::set<int32_t> m_openIndices;
    int32_t m_lastHandle = 0;
};

}  // namespace velmor
