/* A stand-in driver library that exports only three of the eleven entry points. */
#include <velmor.h>

VELMOR_EXPORT int32_t VELMOR_CALL QuovixEnum(void) {
    return 3;
}
VELMOR_EXPORT int32_t VELMOR_CALL QuovixOpen(int32_t index) {
    return 100 + index;
}
VELMOR_EXPORT int32_t VELMOR_CALL QuovixClose(int32_t handle) {
    return handle;
}
