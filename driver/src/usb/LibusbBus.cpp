#include "LibusbBus.h"

#include <libusb.h>
#include <velmor.h>

#include <chrono>
#include <cstring>
#include <deque>
#include <thread>

#include "LastFailure.h"

namespace velmor {

namespace {

struct ContextDeleter {
    void operator()(libusb_context* context) const { libusb_exit(context); }
};
using Context = std::unique_ptr<libusb_context, ContextDeleter>;

Context makeContext() {
    libusb_context* context = nullptr;
    if (libusb_init(&context) != 0) {
        return nullptr;
    }
    return Context(context);
}

std::string locationOf(libusb_device* device) {
    uint8_t ports[8] = {};
    const int depth = libusb_get_port_numbers(device, ports, sizeof ports);
    std::string location = std::to_string(libusb_get_bus_number(device)) + "-";
    for (int i = 0; i < depth; ++i) {
        location += (i ? "." : "") + std::to_string(ports[i]);
    }
    return location;
}

// One transfer in flight; its completion flag is set by libusb's callback.
struct Transfer {
    libusb_transfer* handle = nullptr;
    std::vector<uint8_t> outData;
    int done = 0;
    ~Transfer() { libusb_free_transfer(handle); }
};

void LIBUSB_CALL markDone(libusb_transfer* transfer) {
    *static_cast<int*>(transfer->user_data) = 1;
}

UsbStatus statusOf(libusb_transfer_status status) {
    switch (status) {
        case LIBUSB_TRANSFER_COMPLETED:
            return UsbStatus::Ok;
        case LIBUSB_TRANSFER_TIMED_OUT:
            return UsbStatus::Timeout;
        case LIBUSB_TRANSFER_NO_DEVICE:
            return UsbStatus::Gone;
        default:
            return UsbStatus::Error;
    }
}

class LibusbPort : public UsbPort {
public:
    LibusbPort(Context context, libusb_device_handle* handle, const UsbEndpoints& endpoints, bool reattach)
        : m_context(std::move(context)), m_handle(handle), m_endpoints(endpoints), m_reattach(reattach) {}

    ~LibusbPort() override {
        cancelAll();
        libusb_release_interface(m_handle, m_endpoints.interfaceNumber);
        if (m_reattach) {
            libusb_attach_kernel_driver(m_handle, m_endpoints.interfaceNumber);
        }
        libusb_close(m_handle);
    }

    bool submitOut(std::span<const uint8_t> data) override {
        auto transfer = std::make_unique<Transfer>();
        transfer->outData.assign(data.begin(), data.end());
        uint8_t* bytes = transfer->outData.data();
        return submit(std::move(transfer), m_endpoints.out, bytes, data.size());
    }

    bool submitIn(std::span<uint8_t> buffer) override {
        return submit(std::make_unique<Transfer>(), m_endpoints.in, buffer.data(), buffer.size());
    }

    UsbCompletion reap(uint32_t timeoutMs) override {
        if (m_queue.empty()) {
            return {UsbStatus::Error, 0};
        }
        Transfer& oldest = *m_queue.front();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!oldest.done) {
            const auto left = deadline - std::chrono::steady_clock::now();
            if (left <= std::chrono::steady_clock::duration::zero()) {
                cancelAll();
                return {UsbStatus::Timeout, 0};
            }
            const auto us = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
            timeval tv{static_cast<time_t>(us / 1'000'000), static_cast<suseconds_t>(us % 1'000'000)};
            const int rc = libusb_handle_events_timeout_completed(m_context.get(), &tv, &oldest.done);
            if (rc == LIBUSB_ERROR_NO_DEVICE) {
                cancelAll();
                return {UsbStatus::Gone, 0};
            }
        }
        const UsbCompletion result{statusOf(oldest.handle->status),
                                   static_cast<size_t>(oldest.handle->actual_length)};
        m_queue.pop_front();
        if (result.status == UsbStatus::Timeout || result.status == UsbStatus::Gone) {
            cancelAll();
        }
        return result;
    }

    size_t pending() const override { return m_queue.size(); }

    void delayUs(uint32_t microseconds) override {
        std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
    }

private:
    bool submit(std::unique_ptr<Transfer> transfer, uint8_t endpoint, uint8_t* data, size_t length) {
        transfer->handle = libusb_alloc_transfer(0);
        if (!transfer->handle) {
            return false;
        }
        // Each reap bounds its own wait; the transfer itself does not time out.
        libusb_fill_bulk_transfer(transfer->handle, m_handle, endpoint, data, static_cast<int>(length),
                                  markDone, &transfer->done, 0);
        if (libusb_submit_transfer(transfer->handle) != 0) {
            return false;
        }
        m_queue.push_back(std::move(transfer));
        return true;
    }

    // Cancels every queued transfer and waits until libusb has let go of them.
    void cancelAll() {
        for (auto& transfer : m_queue) {
            if (!transfer->done) {
                libusb_cancel_transfer(transfer->handle);
            }
        }
        for (auto& transfer : m_queue) {
            while (!transfer->done) {
                timeval tv{0, 100'000};
                if (libusb_handle_events_timeout_completed(m_context.get(), &tv, &transfer->done) < 0) {
                    break;
                }
            }
        }
        m_queue.clear();
    }

    Context m_context;
    libusb_device_handle* m_handle;
    UsbEndpoints m_endpoints;
    bool m_reattach;
    std::deque<std::unique_ptr<Transfer>> m_queue;
};

}  // namespace

std::vector<UsbDeviceInfo> LibusbBus::devices() {
    std::vector<UsbDeviceInfo> found;
    Context context = makeContext();
    if (!context) {
        return found;
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context.get(), &list);
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) != 0) {
            continue;
        }
        found.push_back({descriptor.idVendor, descriptor.idProduct, libusb_get_bus_number(list[i]),
                         libusb_get_device_address(list[i]), locationOf(list[i])});
    }
    if (count >= 0) {
        libusb_free_device_list(list, 1);
    }
    return found;
}

std::unique_ptr<UsbPort> LibusbBus::open(const UsbDeviceInfo& wanted, const UsbEndpoints& endpoints) {
    Context context = makeContext();
    if (!context) {
        return nullptr;
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context.get(), &list);
    libusb_device_handle* handle = nullptr;
    for (ssize_t i = 0; i < count && !handle; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) == 0 &&
            descriptor.idVendor == wanted.vendorId && descriptor.idProduct == wanted.productId &&
            libusb_get_bus_number(list[i]) == wanted.bus &&
            libusb_get_device_address(list[i]) == wanted.address) {
            const int opened = libusb_open(list[i], &handle);
            if (opened != 0) {
                // Without the udev rule the device node is root's: the user must hear why.
                if (opened == LIBUSB_ERROR_ACCESS) {
                    setLastFailure(VELMOR_REASON_ACCESS_DENIED);
                }
                handle = nullptr;
                break;
            }
        }
    }
    if (count >= 0) {
        libusb_free_device_list(list, 1);
    }
    if (!handle) {
        return nullptr;
    }
    // A kernel driver (ch341 serial, for instance) bound to the interface is detached for the
    // connection and bound again when it ends.
    bool reattach = false;
    if (libusb_kernel_driver_active(handle, endpoints.interfaceNumber) == 1) {
        reattach = libusb_detach_kernel_driver(handle, endpoints.interfaceNumber) == 0;
    }
    if (libusb_claim_interface(handle, endpoints.interfaceNumber) != 0) {
        if (reattach) {
            libusb_attach_kernel_driver(handle, endpoints.interfaceNumber);
        }
        libusb_close(handle);
        return nullptr;
    }
    return std::make_unique<LibusbPort>(std::move(context), handle, endpoints, reattach);
}

}  // namespace velmor
