#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Ch341aEmulator.h"
#include "Ch347Emulator.h"
#include "usb/UsbPort.h"

namespace velmor::usbtest {

// A chip the emulators can hold: all 0xFF, no file behind it.
std::unique_ptr<SimulatedChip> chip(uint32_t jedecId, uint32_t size);

std::shared_ptr<emulator::Ch341aEmulator> ch341a(const std::string& location, uint32_t jedec = 0xEF4017,
                                                 uint32_t size = 8u << 20);
std::shared_ptr<emulator::Ch347Emulator> ch347(const std::string& location, uint16_t productId = 0x55DB,
                                               uint32_t jedec = 0xEF4017, uint32_t size = 8u << 20);

// The SPI cycles (MOSI bytes from chip select low to high) that a CH341A's
// (`ch341a` true) or a CH347's OUT transfers carry, decoded independently of
// the transports. A CH341A's cycles include the filler bytes clocked while
// reading; a CH347's do not.
std::vector<std::vector<uint8_t>> mosiCycles(const std::vector<std::vector<uint8_t>>& transfers, bool ch341a);

// Everything a port was asked to do, as the device would see it.
struct Tap {
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> out;  // each OUT transfer
    std::vector<size_t> in;                 // each IN transfer's length
    std::vector<std::vector<uint8_t>> snapshot();
    void clear();
};

// A bus in front of another that records the transfers of the ports it opens
// and can hold OUT transfers at a gate (to show what waits for what).
class TapBus : public UsbBus {
public:
    explicit TapBus(std::shared_ptr<UsbBus> inner) : m_inner(std::move(inner)) {}

    std::vector<UsbDeviceInfo> devices() override { return m_inner->devices(); }
    std::unique_ptr<UsbPort> open(const UsbDeviceInfo& device, const UsbEndpoints& endpoints) override;

    // Tap of the device at `location` (created on first use).
    std::shared_ptr<Tap> tap(const std::string& location);
    // While closed, OUT transfers to `location` wait; `waiting()` tells when one does.
    void closeGate(const std::string& location);
    void openGate();
    bool waiting();

private:
    friend class TappedPort;
    void pass(const std::string& location);

    std::shared_ptr<UsbBus> m_inner;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::pair<std::string, std::shared_ptr<Tap>>> m_taps;
    std::string m_gated;
    bool m_waiting = false;
};

}  // namespace velmor::usbtest
