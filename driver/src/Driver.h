#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "ProgrammerBackend.h"
#include "SpiFlash.h"

namespace velmor {

// The state behind the eleven entry points: one programmer connection at a
// time, argument checks, the driver faults of the back end, and the chip
// operations on the flash layer. Every call holds one mutex for its whole run.
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
        int32_t handle = 0;
        OpenedProgrammer programmer;
        std::unique_ptr<SpiFlash> flash;
        // Addresses the chip accepts; set by a successful QuovixSetFlashInfo.
        std::optional<uint32_t> chipSize;
        uint32_t programCalls = 0;
        uint32_t readCalls = 0;
        uint32_t eraseCalls = 0;
        std::vector<uint8_t> scratch;
    };

    Connection* find(int32_t handle);
    // The connection when a transfer of `length` bytes from `address` may start
    // on it: the arguments are sound and `address` lies on the chip.
    Connection* transferTarget(int32_t handle, const void* data, uint32_t length, uint32_t address,
                               const uint32_t* done);
    std::optional<uint32_t> chipId(Connection& connection);
    bool isBlank(Connection& connection, uint32_t size);

    std::mutex m_mutex;
    std::unique_ptr<ProgrammerBackend> m_backend;
    std::unique_ptr<Connection> m_connection;
    int32_t m_lastHandle = 0;
};

}  // namespace velmor
