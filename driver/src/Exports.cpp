// The eleven C entry points and QuovixLastFailure. Each forwards to the one Driver and never lets an
// exception cross into the caller.
#include <velmor.h>

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

}  // extern "C"
