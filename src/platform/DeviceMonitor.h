#pragma once

// Device-change notices of the system: a udev monitor on the "usb" subsystem.
// The window watches Descriptor() and calls Drain() when it becomes readable;
// each event drained is one notice. Without udev it reports no notices.
class DeviceMonitor {
public:
    DeviceMonitor() = default;
    ~DeviceMonitor();
    DeviceMonitor(const DeviceMonitor&) = delete;
    DeviceMonitor& operator=(const DeviceMonitor&) = delete;

    // False when no monitor could be set up (no udev, no netlink access).
    bool Start();
    void Stop();
    bool IsActive() const { return m_monitor != nullptr; }
    // Readable when events wait; -1 while inactive.
    int Descriptor() const;
    // Reads every waiting event without blocking; returns how many there were.
    int Drain();

private:
    void* m_udev = nullptr;
    void* m_monitor = nullptr;
};
