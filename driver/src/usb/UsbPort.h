#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace velmor {

// How a USB transfer ended.
enum class UsbStatus { Ok, Timeout, Gone, Error };

struct UsbCompletion {
    UsbStatus status = UsbStatus::Error;
    size_t length = 0;  // bytes moved
};

// One claimed interface of a USB device with a bulk OUT and a bulk IN
// endpoint. Transfers are submitted without waiting and reaped in the order
// they were submitted, so a transport can keep many of them in flight. libusb
// stands behind it in the library; tests and the benchmark put an emulator
// there instead.
class UsbPort {
public:
    virtual ~UsbPort() = default;

    // Queues `data` (copied) for the OUT endpoint.
    virtual bool submitOut(std::span<const uint8_t> data) = 0;
    // Queues a read of up to `buffer.size()` bytes from the IN endpoint; the
    // buffer must stay valid until the transfer is reaped.
    virtual bool submitIn(std::span<uint8_t> buffer) = 0;
    // Waits for the oldest transfer not yet reaped. On Timeout or Gone the
    // transfers still queued are cancelled and count as reaped.
    virtual UsbCompletion reap(uint32_t timeoutMs) = 0;
    // Number of transfers submitted and not yet reaped.
    virtual size_t pending() const = 0;
    // Waits on the host side (between status polls).
    virtual void delayUs(uint32_t microseconds) = 0;

    // Submit and reap one transfer.
    UsbCompletion bulkOut(std::span<const uint8_t> data, uint32_t timeoutMs);
    UsbCompletion bulkIn(std::span<uint8_t> buffer, uint32_t timeoutMs);
};

// A device on the bus, as enumeration finds it.
struct UsbDeviceInfo {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint8_t bus = 0;
    uint8_t address = 0;
    std::string location;  // "bus-port.port", stable while the device stays plugged in
};

// Endpoints and interface a programmer is driven through.
struct UsbEndpoints {
    int interfaceNumber = 0;
    uint8_t out = 0;
    uint8_t in = 0;
};

// The bus: lists devices and opens one by its place on the bus.
class UsbBus {
public:
    virtual ~UsbBus() = default;
    virtual std::vector<UsbDeviceInfo> devices() = 0;
    // Claims the interface (a kernel driver bound to it is detached and given
    // back when the port is destroyed); null when the device cannot be opened.
    virtual std::unique_ptr<UsbPort> open(const UsbDeviceInfo& device, const UsbEndpoints& endpoints) = 0;
};

}  // namespace velmor
