#include "platform/DeviceMonitor.h"

#if defined(FLASH_HAVE_UDEV)
#include <fcntl.h>
#include <libudev.h>
#endif

DeviceMonitor::~DeviceMonitor() {
    Stop();
}

#if defined(FLASH_HAVE_UDEV)

namespace {
udev* Udev(void* p) {
    return static_cast<udev*>(p);
}
udev_monitor* Monitor(void* p) {
    return static_cast<udev_monitor*>(p);
}
}  // namespace

bool DeviceMonitor::Start() {
    if (m_monitor != nullptr) return true;
    udev* u = udev_new();
    if (u == nullptr) return false;
    udev_monitor* monitor = udev_monitor_new_from_netlink(u, "udev");
    if (monitor == nullptr || udev_monitor_filter_add_match_subsystem_devtype(monitor, "usb", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        if (monitor != nullptr) udev_monitor_unref(monitor);
        udev_unref(u);
        return false;
    }
    // Drain() must never block the window thread.
    const int fd = udev_monitor_get_fd(monitor);
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
        udev_monitor_unref(monitor);
        udev_unref(u);
        return false;
    }
    m_udev = u;
    m_monitor = monitor;
    return true;
}

void DeviceMonitor::Stop() {
    if (m_monitor != nullptr) udev_monitor_unref(Monitor(m_monitor));
    if (m_udev != nullptr) udev_unref(Udev(m_udev));
    m_monitor = nullptr;
    m_udev = nullptr;
}

int DeviceMonitor::Descriptor() const {
    return m_monitor == nullptr ? -1 : udev_monitor_get_fd(Monitor(m_monitor));
}

int DeviceMonitor::Drain() {
    if (m_monitor == nullptr) return 0;
    int events = 0;
    while (udev_device* device = udev_monitor_receive_device(Monitor(m_monitor))) {
        udev_device_unref(device);
        ++events;
    }
    return events;
}

#else

bool DeviceMonitor::Start() {
    return false;
}
void DeviceMonitor::Stop() {}
int DeviceMonitor::Descriptor() const {
    return -1;
}
int DeviceMonitor::Drain() {
    return 0;
}

#endif
