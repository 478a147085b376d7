#include "UsbPort.h"

namespace velmor {

UsbCompletion UsbPort::bulkOut(std::span<const uint8_t> data, uint32_t timeoutMs) {
    if (!submitOut(data)) {
        return {UsbStatus::Error, 0};
    }
    return reap(timeoutMs);
}

UsbCompletion UsbPort::bulkIn(std::span<uint8_t> buffer, uint32_t timeoutMs) {
    if (!submitIn(buffer)) {
        return {UsbStatus::Error, 0};
    }
    return reap(timeoutMs);
}

}  // namespace velmor
