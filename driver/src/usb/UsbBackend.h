#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ProgrammerBackend.h"
#include "UsbPort.h"

namespace velmor {

// The USB programmers the library drives.
enum class UsbProgrammerKind { Ch347, Ch341a };

struct UsbProgrammer {
    UsbProgrammerKind kind;
    UsbDeviceInfo device;
};

// Finds CH347 and CH341A programmers on a USB bus and opens them. Index order
// is every CH347 (by place on the bus), then every CH341A (likewise), limited
// to the kinds asked for; so with one programmer of each attached, index 0 is
// the CH347.
class UsbBackend : public ProgrammerBackend {
public:
    struct Settings {
        bool ch347 = true;
        bool ch341a = true;
        uint32_t ch347ClockKhz = 15'000;
    };

    UsbBackend(std::shared_ptr<UsbBus> bus, const Settings& settings);

    int32_t count() override;
    std::optional<OpenedProgrammer> open(int32_t index) override;

    // The attached programmers in index order. A CH341 in serial mode
    // (1a86:5523) is left out and reported once on standard error.
    std::vector<UsbProgrammer> programmers();

private:
    std::shared_ptr<UsbBus> m_bus;
    Settings m_settings;
};

}  // namespace velmor
