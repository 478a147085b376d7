#pragma once

#include "UsbPort.h"

namespace velmor {

// The USB bus through libusb-1.0. Every opened port has its own libusb
// context, so connections to different programmers never wait for each other.
class LibusbBus : public UsbBus {
public:
    std::vector<UsbDeviceInfo> devices() override;
    std::unique_ptr<UsbPort> open(const UsbDeviceInfo& device, const UsbEndpoints& endpoints) override;
};

}  // namespace velmor
