#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "SimulatedChip.h"
#include "SpiWire.h"
#include "usb/UsbPort.h"

namespace velmor::emulator {

// The bus side of an emulated programmer, with a modelled clock.
//
// Time model (microseconds, virtual): the host submits transfers at its own
// time; an OUT transfer reaches the device after its bytes' wire time, and the
// device works through transfers in order, one at a time, spending the SPI
// clock's time on every byte it clocks and any waits it is told to make. An
// answer is ready once the device has produced it and its bytes have crossed
// the wire. Reaping a transfer that is not yet complete makes the host wait
// for it, up to the start of the next bus frame (1 ms at full speed, 125 us
// at high speed): a transfer that waits for an answer costs at least a frame.
class EmulatedUsbDevice {
public:
    struct BusModel {
        double frameUs;        // 1000 full speed, 125 high speed
        double wireUsPerByte;  // payload time on the bus
    };

    struct Statistics {
        uint64_t transfersOut = 0;
        uint64_t transfersIn = 0;
        uint64_t bytesOut = 0;
        uint64_t bytesIn = 0;
        // OUT transfers that found the device idle, waiting for the host: the
        // turns a transport pays a frame for when it does not keep work in flight.
        uint64_t roundTrips = 0;
    };

    EmulatedUsbDevice(const UsbDeviceInfo& info, const UsbEndpoints& endpoints, const BusModel& bus,
                      std::unique_ptr<SimulatedChip> chip);
    virtual ~EmulatedUsbDevice() = default;

    const UsbDeviceInfo& info() const { return m_info; }
    const UsbEndpoints& endpoints() const { return m_endpoints; }
    SimulatedChip* chip() { return m_chip.get(); }

    // Faults, counted in OUT transfers from the first after the call; 0 = never.
    // The device leaves the bus after that many transfers.
    void vanishAfter(uint64_t outTransfers);
    // The device takes that many transfers and then answers nothing more.
    void hangAfter(uint64_t outTransfers);
    // The next answer after that many transfers is one byte short.
    void shortenAnswerAfter(uint64_t outTransfers);

    // Listed on the bus, but libusb_open is refused, as for a user without the udev rule.
    void denyAccess(bool denied) { m_accessDenied = denied; }
    bool accessDenied() const { return m_accessDenied; }

    bool attached() const;
    double hostUs() const;
    Statistics statistics() const;
    void resetStatistics();

    // Port side (called by EmulatedPort with the device's lock taken by the call).
    bool hostSubmitOut(std::span<const uint8_t> data, double& completeAtUs);
    struct Answer {
        std::vector<uint8_t> bytes;
        double readyAtUs;
    };
    // The next answer frame, if the device produced one.
    bool takeAnswer(Answer& answer);
    void hostWaitUntil(double us, bool roundToFrame);
    void hostDelay(double us);
    bool claim();
    void release();

protected:
    // Decodes one OUT transfer (called in device time).
    virtual void receive(std::span<const uint8_t> data) = 0;
    // Clocks one byte through the wire at the SPI clock and returns MISO.
    uint8_t spiByte(uint8_t mosi);
    void spendUs(double us);
    void answer(std::vector<uint8_t> bytes);
    void setSpiByteUs(double us) { m_spiByteUs = us; }
    // Chip select low (true) or high; a command takes effect when it rises.
    void chipSelect(bool selected);
    SpiWire& wire() { return m_wire; }

private:
    void syncChip();

    mutable std::mutex m_mutex;
    UsbDeviceInfo m_info;
    UsbEndpoints m_endpoints;
    BusModel m_bus;
    std::unique_ptr<SimulatedChip> m_chip;
    SpiWire m_wire;
    double m_spiByteUs = 1.0;
    double m_hostUs = 0;
    double m_deviceUs = 0;  // when the device is free
    double m_chipUs = 0;    // how far the chip's own time has been moved
    double m_outWireFreeUs = 0;
    std::deque<Answer> m_answers;
    bool m_attached = true;
    bool m_claimed = false;
    std::atomic<bool> m_accessDenied{false};
    uint64_t m_outCount = 0;
    uint64_t m_vanishAt = 0;
    uint64_t m_hangAt = 0;
    uint64_t m_shortAt = 0;
    Statistics m_stats;
};

// Emulated programmers on one bus. Thread-safe: two connections may drive two
// of its devices from two threads.
class EmulatedUsbBus : public UsbBus {
public:
    void attach(std::shared_ptr<EmulatedUsbDevice> device);
    // Also lists a device of another id, e.g. a CH341 in serial mode.
    void attachOther(const UsbDeviceInfo& device);

    std::vector<UsbDeviceInfo> devices() override;
    std::unique_ptr<UsbPort> open(const UsbDeviceInfo& device, const UsbEndpoints& endpoints) override;

private:
    std::mutex m_mutex;
    std::vector<std::shared_ptr<EmulatedUsbDevice>> m_devices;
    std::vector<UsbDeviceInfo> m_others;
};

}  // namespace velmor::emulator
