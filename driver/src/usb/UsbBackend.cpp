#include "UsbBackend.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <set>

#include "Ch341aProtocol.h"
#include "Ch341aTransport.h"
#include "Ch347Protocol.h"
#include "Ch347Transport.h"

namespace velmor {

namespace {

void reportSerialMode(const UsbDeviceInfo& device) {
    // Once per place on the bus, not at every detection.
    static std::mutex mutex;
    static std::set<std::string> reported;
    std::lock_guard lock(mutex);
    if (!reported.insert(device.location).second) {
        return;
    }
    const std::string line = "velmor: the CH341 at USB " + device.location +
                             " is in serial mode (1a86:5523) and cannot program flash; "
                             "move its mode jumper to the SPI/I2C position and plug it in again\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

bool byPlace(const UsbProgrammer& a, const UsbProgrammer& b) {
    if (a.kind != b.kind) {
        return a.kind < b.kind;
    }
    return a.device.location < b.device.location;
}

}  // namespace

UsbBackend::UsbBackend(std::shared_ptr<UsbBus> bus, const Settings& settings)
    : m_bus(std::move(bus)), m_settings(settings) {}

std::vector<UsbProgrammer> UsbBackend::programmers() {
    std::vector<UsbProgrammer> found;
    for (const UsbDeviceInfo& device : m_bus->devices()) {
        if (device.vendorId != ch347::kVendorId) {
            continue;
        }
        if (m_settings.ch347 &&
            (device.productId == ch347::kProductIdT || device.productId == ch347::kProductIdF)) {
            found.push_back({UsbProgrammerKind::Ch347, device});
        } else if (m_settings.ch341a && device.productId == ch341a::kProductId) {
            found.push_back({UsbProgrammerKind::Ch341a, device});
        } else if (m_settings.ch341a && device.productId == ch341a::kSerialProductId) {
            reportSerialMode(device);
        }
    }
    std::sort(found.begin(), found.end(), byPlace);
    return found;
}

int32_t UsbBackend::count() {
    return static_cast<int32_t>(programmers().size());
}

std::optional<OpenedProgrammer> UsbBackend::open(int32_t index) {
    const std::vector<UsbProgrammer> found = programmers();
    if (index < 0 || static_cast<size_t>(index) >= found.size()) {
        return std::nullopt;
    }
    const UsbProgrammer& chosen = found[static_cast<size_t>(index)];
    if (chosen.kind == UsbProgrammerKind::Ch341a) {
        std::unique_ptr<UsbPort> port = m_bus->open(chosen.device, ch341a::kEndpoints);
        if (!port) {
            return std::nullopt;
        }
        auto transport = std::make_unique<Ch341aTransport>(std::move(port));
        if (!transport->start()) {
            return std::nullopt;
        }
        return OpenedProgrammer{std::move(transport), {}};
    }
    const UsbEndpoints endpoints =
        chosen.device.productId == ch347::kProductIdF ? ch347::kEndpointsF : ch347::kEndpointsT;
    std::unique_ptr<UsbPort> port = m_bus->open(chosen.device, endpoints);
    if (!port) {
        return std::nullopt;
    }
    auto transport = std::make_unique<Ch347Transport>(std::move(port), m_settings.ch347ClockKhz);
    if (!transport->start()) {
        return std::nullopt;
    }
    return OpenedProgrammer{std::move(transport), {}};
}

}  // namespace velmor
