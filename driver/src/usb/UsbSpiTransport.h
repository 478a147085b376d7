#pragma once

#include <memory>
#include <vector>

#include "SpiTransport.h"
#include "UsbPort.h"

namespace velmor {

// What the CH341A and CH347 transports share: the port, the transfers of a
// batch in flight and their expected lengths, and the rule that a connection
// whose transfers failed (device gone, timeout, short or overlong answer) is
// broken for good: its byte stream may be out of step with the device, so
// every later command fails and the driver closes the handle. Opening the
// programmer again starts clean.
class UsbSpiTransport : public SpiTransport {
public:
    explicit UsbSpiTransport(std::unique_ptr<UsbPort> port) : m_port(std::move(port)) {}

    bool present() const override { return m_working; }
    bool command(std::span<const uint8_t> out, std::span<uint8_t> in) override;
    void delayUs(uint32_t microseconds) override;
    bool flush() override { return m_working; }

    // Bound for each transfer's completion.
    static constexpr uint32_t kTimeoutMs = 2000;

protected:
    bool submitOut(std::span<const uint8_t> data);
    // `buffer.size()` is the exact length expected.
    bool submitIn(std::span<uint8_t> buffer);
    // Reaps every transfer in flight; false (and a broken connection) unless
    // each completed with exactly its expected length.
    bool reapAll();
    void fail() { m_working = false; }
    UsbPort& port() { return *m_port; }

private:
    std::unique_ptr<UsbPort> m_port;
    std::vector<size_t> m_expected;
    bool m_working = true;
};

}  // namespace velmor
