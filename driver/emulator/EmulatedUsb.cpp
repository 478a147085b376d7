#include "EmulatedUsb.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <velmor.h>

#include "LastFailure.h"

namespace velmor::emulator {

namespace {

// A claimed interface of an emulated device.
class EmulatedPort : public UsbPort {
public:
    explicit EmulatedPort(std::shared_ptr<EmulatedUsbDevice> device) : m_device(std::move(device)) {}
    ~EmulatedPort() override { m_device->release(); }

    bool submitOut(std::span<const uint8_t> data) override {
        double completeAt = 0;
        if (!m_device->hostSubmitOut(data, completeAt)) {
            return false;
        }
        m_queue.push_back({true, {}, data.size(), completeAt});
        return true;
    }

    bool submitIn(std::span<uint8_t> buffer) override {
        if (!m_device->attached()) {
            return false;
        }
        m_queue.push_back({false, buffer, 0, 0});
        return true;
    }

    UsbCompletion reap(uint32_t timeoutMs) override {
        if (m_queue.empty()) {
            return {UsbStatus::Error, 0};
        }
        const Pending oldest = m_queue.front();
        m_queue.pop_front();
        if (!m_device->attached()) {
            m_queue.clear();
            return {UsbStatus::Gone, 0};
        }
        if (oldest.out) {
            m_device->hostWaitUntil(oldest.completeAtUs, true);
            return {UsbStatus::Ok, oldest.length};
        }
        EmulatedUsbDevice::Answer answer;
        if (!m_device->takeAnswer(answer)) {
            m_device->hostDelay(timeoutMs * 1000.0);
            m_queue.clear();
            return {UsbStatus::Timeout, 0};
        }
        m_device->hostWaitUntil(answer.readyAtUs, true);
        if (answer.bytes.size() > oldest.buffer.size()) {
            return {UsbStatus::Error, 0};  // overflow
        }
        std::memcpy(oldest.buffer.data(), answer.bytes.data(), answer.bytes.size());
        return {UsbStatus::Ok, answer.bytes.size()};
    }

    size_t pending() const override { return m_queue.size(); }
    void delayUs(uint32_t microseconds) override { m_device->hostDelay(microseconds); }

private:
    struct Pending {
        bool out;
        std::span<uint8_t> buffer;
        size_t length;
        double completeAtUs;
    };
    std::shared_ptr<EmulatedUsbDevice> m_device;
    std::deque<Pending> m_queue;
};

}  // namespace

EmulatedUsbDevice::EmulatedUsbDevice(const UsbDeviceInfo& info, const UsbEndpoints& endpoints,
                                     const BusModel& bus, std::unique_ptr<SimulatedChip> chip)
    : m_info(info), m_endpoints(endpoints), m_bus(bus), m_chip(std::move(chip)), m_wire(m_chip.get()) {}

void EmulatedUsbDevice::vanishAfter(uint64_t outTransfers) {
    std::lock_guard lock(m_mutex);
    m_vanishAt = outTransfers == 0 ? 0 : m_outCount + outTransfers;
}

void EmulatedUsbDevice::hangAfter(uint64_t outTransfers) {
    std::lock_guard lock(m_mutex);
    m_hangAt = outTransfers == 0 ? 0 : m_outCount + outTransfers;
}

void EmulatedUsbDevice::shortenAnswerAfter(uint64_t outTransfers) {
    std::lock_guard lock(m_mutex);
    m_shortAt = outTransfers == 0 ? 0 : m_outCount + outTransfers;
}

bool EmulatedUsbDevice::attached() const {
    std::lock_guard lock(m_mutex);
    return m_attached;
}

double EmulatedUsbDevice::hostUs() const {
    std::lock_guard lock(m_mutex);
    return m_hostUs;
}

EmulatedUsbDevice::Statistics EmulatedUsbDevice::statistics() const {
    std::lock_guard lock(m_mutex);
    return m_stats;
}

void EmulatedUsbDevice::resetStatistics() {
    std::lock_guard lock(m_mutex);
    m_stats = {};
}

bool EmulatedUsbDevice::claim() {
    std::lock_guard lock(m_mutex);
    if (m_claimed || !m_attached) {
        return false;
    }
    m_claimed = true;
    return true;
}

void EmulatedUsbDevice::release() {
    std::lock_guard lock(m_mutex);
    m_claimed = false;
}

bool EmulatedUsbDevice::hostSubmitOut(std::span<const uint8_t> data, double& completeAtUs) {
    std::lock_guard lock(m_mutex);
    if (!m_attached) {
        return false;
    }
    ++m_outCount;
    if (m_vanishAt != 0 && m_outCount >= m_vanishAt) {
        m_attached = false;
        return false;
    }
    ++m_stats.transfersOut;
    if (m_deviceUs <= m_hostUs) {
        ++m_stats.roundTrips;
    }
    m_stats.bytesOut += data.size();
    const double arrival =
        std::max(m_hostUs, m_outWireFreeUs) + static_cast<double>(data.size()) * m_bus.wireUsPerByte;
    m_outWireFreeUs = arrival;
    completeAtUs = arrival;
    if (m_hangAt != 0 && m_outCount > m_hangAt) {
        return true;  // taken and never worked on
    }
    m_deviceUs = std::max(m_deviceUs, arrival);
    receive(data);
    return true;
}

bool EmulatedUsbDevice::takeAnswer(Answer& answer) {
    std::lock_guard lock(m_mutex);
    if (m_answers.empty()) {
        return false;
    }
    answer = std::move(m_answers.front());
    m_answers.pop_front();
    ++m_stats.transfersIn;
    m_stats.bytesIn += answer.bytes.size();
    return true;
}

void EmulatedUsbDevice::hostWaitUntil(double us, bool roundToFrame) {
    std::lock_guard lock(m_mutex);
    if (us <= m_hostUs) {
        return;  // already complete: no wait
    }
    m_hostUs = roundToFrame ? std::ceil(us / m_bus.frameUs) * m_bus.frameUs : us;
}

void EmulatedUsbDevice::hostDelay(double us) {
    std::lock_guard lock(m_mutex);
    m_hostUs += us;
}

void EmulatedUsbDevice::syncChip() {
    const double now = std::floor(m_deviceUs);
    if (now > m_chipUs) {
        m_wire.elapse(static_cast<uint32_t>(now - m_chipUs));
        m_chipUs = now;
    }
}

uint8_t EmulatedUsbDevice::spiByte(uint8_t mosi) {
    m_deviceUs += m_spiByteUs;
    syncChip();
    return m_wire.clock(mosi);
}

void EmulatedUsbDevice::chipSelect(bool selected) {
    syncChip();
    if (selected) {
        m_wire.select();
    } else {
        m_wire.deselect();
    }
}

void EmulatedUsbDevice::spendUs(double us) {
    m_deviceUs += us;
    syncChip();
}

void EmulatedUsbDevice::answer(std::vector<uint8_t> bytes) {
    if (m_shortAt != 0 && m_outCount >= m_shortAt && !bytes.empty()) {
        bytes.pop_back();
        m_shortAt = 0;
    }
    const double ready = m_deviceUs + static_cast<double>(bytes.size()) * m_bus.wireUsPerByte;
    m_answers.push_back({std::move(bytes), ready});
}

void EmulatedUsbBus::attach(std::shared_ptr<EmulatedUsbDevice> device) {
    std::lock_guard lock(m_mutex);
    m_devices.push_back(std::move(device));
}

void EmulatedUsbBus::attachOther(const UsbDeviceInfo& device) {
    std::lock_guard lock(m_mutex);
    m_others.push_back(device);
}

std::vector<UsbDeviceInfo> EmulatedUsbBus::devices() {
    std::lock_guard lock(m_mutex);
    std::vector<UsbDeviceInfo> listed = m_others;
    for (const auto& device : m_devices) {
        if (device->attached()) {
            listed.push_back(device->info());
        }
    }
    return listed;
}

std::unique_ptr<UsbPort> EmulatedUsbBus::open(const UsbDeviceInfo& wanted, const UsbEndpoints& endpoints) {
    std::lock_guard lock(m_mutex);
    for (const auto& device : m_devices) {
        const UsbDeviceInfo& info = device->info();
        if (info.location != wanted.location || info.productId != wanted.productId) {
            continue;
        }
        if (device->accessDenied()) {
            setLastFailure(VELMOR_REASON_ACCESS_DENIED);
            return nullptr;
        }
        const UsbEndpoints& own = device->endpoints();
        // The wrong interface or endpoints cannot be claimed on the real device either.
        if (own.interfaceNumber != endpoints.interfaceNumber || own.out != endpoints.out ||
            own.in != endpoints.in || !device->claim()) {
            return nullptr;
        }
        return std::make_unique<EmulatedPort>(device);
    }
    return nullptr;
}

}  // namespace velmor::emulator
