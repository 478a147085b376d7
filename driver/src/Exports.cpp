// The C entry points: the eleven, QuovixLastFailure, QuovixGetChipIdentity, QuovixSetVerifyLater,
// QuovixGetEraseBlocks and QuovixEraseRange. Each
// forwards to the one Driver and never lets an exception cross into the caller.
#include <velmor.h>

#include <libusb.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "Driver.h"
#include "LastFailure.h"

namespace {

velmor::Driver& driver() {
    static velmor::Driver instance(velmor::createProgrammerBackend());
    return instance;
}

template <typename Call>
int32_t guarded(int32_t onFailure, Call&& call) noexcept {
    try {
        return call();
    } catch (...) {
        return onFailure;
    }
}

// Copies `text` into `out` (NUL-terminated); a list longer than the field is cut at a comma.
template <size_t N>
void copyText(char (&out)[N], std::string text) {
    if (text.size() >= N) {
        const size_t comma = text.rfind(',', N - 1);
        text.resize(comma == std::string::npos ? N - 1 : comma);
    }
    std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
}

int32_t fillIdentity(const velmor::ChipInfo& info, VelmorChipIdentity* out) {
    *out = VelmorChipIdentity{};
    out->jedec_id = info.id;
    out->source = info.source == velmor::IdentitySource::Database ? VELMOR_IDENTITY_DATABASE
                  : info.source == velmor::IdentitySource::Sfdp   ? VELMOR_IDENTITY_SFDP
                                                                  : VELMOR_IDENTITY_UNKNOWN;
    copyText(out->maker, info.maker);
    copyText(out->parts, info.parts);
    out->size = info.size;
    out->page_size = info.page;
    out->erase_size = info.eraseSize;
    out->erase_opcode = info.eraseOpcode;
    out->millivolts = info.source == velmor::IdentitySource::Database ? (info.lowVoltage ? 1800 : 3300) : 0;
    out->address_bytes = info.address == velmor::AddressMode::Three         ? 3
                         : info.address == velmor::AddressMode::ThreeOrFour ? 34
                                                                            : 4;
    return 1;
}

int32_t fillEraseBlocks(const velmor::ChipInfo& info, VelmorEraseBlocks* out) {
    *out = VelmorEraseBlocks{};
    const size_t count = std::min<size_t>(info.erase.size(), std::size(out->size));
    out->count = static_cast<uint32_t>(count);
    for (size_t i = 0; i < count; ++i) {
        out->size[i] = info.erase[i].size;
        out->opcode[i] = info.erase[i].opcode;
    }
    out->chip_erase_ms = info.chipEraseMs;
    return 1;
}

}  // namespace

extern "C" {

VELMOR_EXPORT int32_t VELMOR_CALL QuovixEnum(void) {
    return guarded(0, [] { return driver().enumerate(); });
}

VELMOR_EXPORT int32_t VELMOR_CALL QuovixOpen(int32_t index) {
    return guarded(-1, [&] { return driver().open(index); });
}

VELMOR_EXPORT int32_t VELMOR_CALL QuovixClose(int32_t handle) {
    return guarded(0, [&] { return driver().close(handle); });
}

VELMOR_EXPORT int32_t VELMOR_CALL QuovixUsbSelfTest(int32_t handle) {
    return guarded(0, [&] { return driver().selfTest(handle); });
}

VELMOR_EXPORT int32_t VELMOR_CALL QuovixSetBP1(int32_t handle, int32_t value) {
    return guarded(0, [&] { return driver().setBp1(handle, value); });
}

VELMOR_EXPORT int32_t VELMOR_CALL QuovixSetFlashInfo(int32_t handle, int32_t kind, int32_t size) {
    return guarded(0, [&] { return driver().setFlashInfo(handle, kind, size); });
}

VELMOR_EXPORT int32_t VELMOR_CALL QuovixSetWriteTime(int32_t handle, int32_t time) {
    return guarded(0, [&] { return driver().setWriteTime(handle, time); });
}

VELMOR_EXPORT int32_t VELMOR_CALL QuovixInitFlash(int32_t handle) {
    return guarded(0, [&] { return driver().initFlash(handle); });
}

VELMOR_EXPORT int32_t VELMOR_CALL QuovixProgram(int32_t handle, const uint8_t* data, uint32_t length,
                                                uint32_t address, uint32_t* done) {
    return guarded(0, [&] { return driver().program(handle, data, length, address, done); });
}

VELMOR_EXPORT int32_t VELMOR_CALL QuovixRead(int32_t handle, uint8_t* buffer, uint32_t length,
                                             uint32_t address, uint32_t* done) {
    return guarded(0, [&] { return driver().read(handle, buffer, length, address, done); });
}

VELMOR_EXPORT int32_t VELMOR_CALL QuovixGetFlashInfo(int32_t handle, int32_t* kind, int32_t* code) {
    return guarded(0, [&] { return driver().getFlashInfo(handle, kind, code); });
}

VELMOR_EXPORT int32_t VELMOR_CALL QuovixLastFailure(void) {
    return velmor::lastFailure();
}

VELMOR_EXPORT int32_t VELMOR_CALL QuovixGetChipIdentity(int32_t handle, VelmorChipIdentity* identity) {
    return guarded(0, [&] {
        velmor::ChipInfo info;
        if (!identity || driver().chipIdentity(handle, &info) == 0) {
            return 0;
        }
        return fillIdentity(info, identity);
    });
}

VELMOR_EXPORT int32_t VELMOR_CALL QuovixSetVerifyLater(int32_t handle, int32_t value) {
    return guarded(0, [&] { return driver().setVerifyLater(handle, value); });
}

VELMOR_EXPORT int32_t VELMOR_CALL QuovixGetEraseBlocks(int32_t handle, VelmorEraseBlocks* blocks) {
    return guarded(0, [&] {
        velmor::ChipInfo info;
        if (!blocks || driver().chipIdentity(handle, &info) == 0) {
            return 0;
        }
        return fillEraseBlocks(info, blocks);
    });
}

VELMOR_EXPORT int32_t VELMOR_CALL QuovixEraseRange(int32_t handle, uint32_t address, uint32_t length,
                                                   uint32_t* done) {
    return guarded(0, [&] { return driver().eraseRange(handle, address, length, done); });
}

VELMOR_EXPORT int32_t VELMOR_CALL QuovixGetVersion(char* buffer, int32_t size) {
    const libusb_version* usb = libusb_get_version();
    char text[96];
    const int length = std::snprintf(text, sizeof text, "%s\t%u.%u.%u.%u", VELMOR_VERSION, usb->major,
                                     usb->minor, usb->micro, usb->nano);
    if (buffer == nullptr || length < 0 || length >= size) return 0;
    std::memcpy(buffer, text, static_cast<size_t>(length) + 1);
    return 1;
}

}  // extern "C"
