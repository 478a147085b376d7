#include "UsbTestSupport.h"

namespace velmor::usbtest {

std::unique_ptr<SimulatedChip> chip(uint32_t jedecId, uint32_t size) {
    return std::make_unique<SimulatedChip>(jedecId, std::vector<uint8_t>(size, 0xFF), nullptr);
}

std::shared_ptr<emulator::Ch341aEmulator> ch341a(const std::string& location, uint32_t jedec, uint32_t size) {
    return std::make_shared<emulator::Ch341aEmulator>(location, chip(jedec, size));
}

std::shared_ptr<emulator::Ch347Emulator> ch347(const std::string& location, uint16_t productId,
                                               uint32_t jedec, uint32_t size) {
    return std::make_shared<emulator::Ch347Emulator>(location, productId, chip(jedec, size));
}

namespace {

uint8_t mirror(uint8_t b) {
    uint8_t r = 0;
    for (int i = 0; i < 8; ++i) {
        r = static_cast<uint8_t>(r | (((b >> i) & 1) << (7 - i)));
    }
    return r;
}

}  // namespace

std::vector<std::vector<uint8_t>> mosiCycles(const std::vector<std::vector<uint8_t>>& transfers,
                                             bool ch341a) {
    std::vector<std::vector<uint8_t>> cycles;
    bool selected = false;
    const auto setSelected = [&](bool now) {
        if (now && !selected) {
            cycles.emplace_back();
        }
        selected = now;
    };
    for (const auto& t : transfers) {
        if (ch341a) {
            for (size_t at = 0; at < t.size(); at += 32) {
                const size_t end = std::min(t.size(), at + 32);
                if (t[at] == 0xA8 && selected) {
                    for (size_t i = at + 1; i < end; ++i) {
                        cycles.back().push_back(mirror(t[i]));
                    }
                } else if (t[at] == 0xAB) {
                    for (size_t i = at + 1; i < end && t[i] != 0x20; ++i) {
                        if ((t[i] & 0xC0) == 0x80) {
                            setSelected((t[i] & 0x01) == 0);
                        }
                    }
                }
            }
            continue;
        }
        for (size_t at = 0; at + 3 <= t.size();) {
            const size_t length = t[at + 1] | (size_t{t[at + 2]} << 8);
            if (t[at] == 0xC1 && length >= 1 && (t[at + 3] & 0x80) != 0) {
                setSelected((t[at + 3] & 0x40) == 0);
            } else if (t[at] == 0xC4 && selected) {
                cycles.back().insert(cycles.back().end(), t.begin() + static_cast<ptrdiff_t>(at + 3),
                                     t.begin() + static_cast<ptrdiff_t>(at + 3 + length));
            }
            at += 3 + length;
        }
    }
    return cycles;
}

std::vector<std::vector<uint8_t>> Tap::snapshot() {
    std::lock_guard lock(mutex);
    return out;
}

void Tap::clear() {
    std::lock_guard lock(mutex);
    out.clear();
    in.clear();
}

class TappedPort : public UsbPort {
public:
    TappedPort(TapBus& bus, std::string location, std::shared_ptr<Tap> tap, std::unique_ptr<UsbPort> inner)
        : m_bus(bus), m_location(std::move(location)), m_tap(std::move(tap)), m_inner(std::move(inner)) {}

    bool submitOut(std::span<const uint8_t> data) override {
        m_bus.pass(m_location);
        {
            std::lock_guard lock(m_tap->mutex);
            m_tap->out.emplace_back(data.begin(), data.end());
        }
        return m_inner->submitOut(data);
    }
    bool submitIn(std::span<uint8_t> buffer) override {
        {
            std::lock_guard lock(m_tap->mutex);
            m_tap->in.push_back(buffer.size());
        }
        return m_inner->submitIn(buffer);
    }
    UsbCompletion reap(uint32_t timeoutMs) override { return m_inner->reap(timeoutMs); }
    size_t pending() const override { return m_inner->pending(); }
    void delayUs(uint32_t microseconds) override { m_inner->delayUs(microseconds); }

private:
    TapBus& m_bus;
    std::string m_location;
    std::shared_ptr<Tap> m_tap;
    std::unique_ptr<UsbPort> m_inner;
};

std::unique_ptr<UsbPort> TapBus::open(const UsbDeviceInfo& device, const UsbEndpoints& endpoints) {
    std::unique_ptr<UsbPort> inner = m_inner->open(device, endpoints);
    if (!inner) {
        return nullptr;
    }
    return std::make_unique<TappedPort>(*this, device.location, tap(device.location), std::move(inner));
}

std::shared_ptr<Tap> TapBus::tap(const std::string& location) {
    std::lock_guard lock(m_mutex);
    for (auto& [where, tap] : m_taps) {
        if (where == location) {
            return tap;
        }
    }
    m_taps.emplace_back(location, std::make_shared<Tap>());
    return m_taps.back().second;
}

void TapBus::closeGate(const std::string& location) {
    std::lock_guard lock(m_mutex);
    m_gated = location;
}

void TapBus::openGate() {
    std::lock_guard lock(m_mutex);
    m_gated.clear();
    m_changed.notify_all();
}

bool TapBus::waiting() {
    std::lock_guard lock(m_mutex);
    return m_waiting;
}

void TapBus::pass(const std::string& location) {
    std::unique_lock lock(m_mutex);
    while (!m_gated.empty() && m_gated == location) {
        m_waiting = true;
        m_changed.wait(lock);
    }
    m_waiting = false;
}

}  // namespace velmor::usbtest
