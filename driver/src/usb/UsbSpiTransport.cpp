#include "UsbSpiTransport.h"

namespace velmor {

bool UsbSpiTransport::command(std::span<const uint8_t> out, std::span<uint8_t> in) {
    const SpiCycle cycle{out, in, 0};
    return run({&cycle, 1});
}

void UsbSpiTransport::delayUs(uint32_t microseconds) {
    if (m_working) {
        m_port->delayUs(microseconds);
    }
}

bool UsbSpiTransport::submitOut(std::span<const uint8_t> data) {
    if (!m_working || !m_port->submitOut(data)) {
        fail();
        return false;
    }
    m_expected.push_back(data.size());
    return true;
}

bool UsbSpiTransport::submitIn(std::span<uint8_t> buffer) {
    if (!m_working || !m_port->submitIn(buffer)) {
        fail();
        return false;
    }
    m_expected.push_back(buffer.size());
    return true;
}

bool UsbSpiTransport::reapAll() {
    bool ok = m_working;
    for (size_t i = 0; i < m_expected.size() && m_port->pending() > 0; ++i) {
        const UsbCompletion done = m_port->reap(kTimeoutMs);
        if (done.status != UsbStatus::Ok || done.length != m_expected[i]) {
            ok = false;
            break;
        }
    }
    m_expected.clear();
    if (!ok) {
        fail();
    }
    return ok;
}

}  // namespace velmor
