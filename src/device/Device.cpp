#include "device/Device.h"

#include "device/CheckObserver.h"
#include "device/ChipModel.h"

namespace {
// The chip kind the program works with, passed to and expected from the driver.
constexpr int32_t kSpiFlashKind = 5;
constexpr int32_t kProbeWriteTime = 5;
}  // namespace

Device::Device(const DriverApi& api, ChipModelSelection& model) : m_api(api), m_model(model) {}

int Device::CheckDevice() {
    if (m_observer) m_observer->CheckStarting();
    if (m_handle != 0) CloseDevice();
    const int state = OpenAndPrepare();
    if (m_observer) m_observer->CheckEnded(state);
    return state;
}

int Device::Probe() {
    if (m_observer) m_observer->CheckStarting();
    if (m_handle != 0) CloseDevice();
    const int state = OpenAndPrepare();
    CloseDevice();
    if (m_observer) {
        m_observer->IdentityFound(m_identity);
        m_observer->CheckEnded(state);
    }
    return state;
}

void Device::CloseDevice() {
    const int32_t handle = m_handle;
    if (handle != 0 && m_api.QuovixClose) m_api.QuovixClose(handle);
    m_handle = 0;
}

int Device::OpenAndPrepare() {
    m_identity.reset();
    if (!m_api.QuovixEnum || m_api.QuovixEnum() <= m_index) return NoProgrammer;
    if (!m_api.QuovixOpen) return NoProgrammer;
    // Kept even when negative: the following CloseDevice passes it back once.
    m_handle = m_api.QuovixOpen(m_index);
    if (m_handle < 0) return NoProgrammer;
    if (!m_api.QuovixUsbSelfTest || m_api.QuovixUsbSelfTest(m_handle) == 0) return NoProgrammer;
    if (!SetFlashInfo(kSpiFlashKind, 0)) return NoChip;
    if (!SetWriteTime(kProbeWriteTime)) return NoChip;
    QueryChip();
    QueryIdentity();
    return ChipReady;
}

void Device::QueryChip() {
    if (m_forcedRow >= 0) {
        SelectRow(m_forcedRow);
        return;
    }
    if (!m_api.QuovixGetFlashInfo) return;
    int32_t kind = 0;
    int32_t code = 0;
    if (m_api.QuovixGetFlashInfo(m_handle, &kind, &code) == 0) return;
    if (kind != kSpiFlashKind) return;
    const int c = code & 255;
    // Codes up to the largest row (25X01G); anything larger stays unknown to the window.
    if (c < kSmallestChipCode || c > kLargestChipCode) return;
    SelectRow(c - kSmallestChipCode);
}

void Device::SelectRow(int row) {
    m_model.ApplyChipModel(row);
    if (m_observer) m_observer->ModelRowSelected(row);
}

void Device::QueryIdentity() {
    m_identity.reset();
    if (!m_api.QuovixGetChipIdentity) return;
    VelmorChipIdentity identity{};
    if (m_api.QuovixGetChipIdentity(m_handle, &identity) == 0) return;
    // The library promises NUL-terminated texts; a foreign one gets them anyway.
    identity.maker[sizeof identity.maker - 1] = '\0';
    identity.parts[sizeof identity.parts - 1] = '\0';
    m_identity = identity;
}

bool Device::SetFlashInfo(int32_t kind, int32_t size) {
    return m_api.QuovixSetFlashInfo && m_api.QuovixSetFlashInfo(m_handle, kind, size) != 0;
}

bool Device::SetWriteTime(int32_t time) {
    return m_api.QuovixSetWriteTime && m_api.QuovixSetWriteTime(m_handle, time) != 0;
}

bool Device::InitFlash() {
    return m_api.QuovixInitFlash && m_api.QuovixInitFlash(m_handle) != 0;
}

bool Device::SetVerifyLater(bool value) {
    return m_api.QuovixSetVerifyLater && m_api.QuovixSetVerifyLater(m_handle, value ? 1 : 0) != 0;
}

int64_t Device::Program(const uint8_t* data, uint32_t length, uint32_t address) {
    if (!m_api.QuovixProgram) return -1;
    uint32_t done = address;  // the driver expects the address here on entry
    if (m_api.QuovixProgram(m_handle, data, length, address, &done) == 0) return -1;
    return done;
}

int64_t Device::Read(uint8_t* buffer, uint32_t length, uint32_t address) {
    if (!m_api.QuovixRead) return -1;
    uint32_t done = address;
    if (m_api.QuovixRead(m_handle, buffer, length, address, &done) == 0) return -1;
    return done;
}
