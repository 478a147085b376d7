#include "LastFailure.h"

#include <velmor.h>

namespace velmor {

namespace {
thread_local int32_t t_lastFailure = VELMOR_REASON_NONE;
}

int32_t lastFailure() {
    return t_lastFailure;
}

void setLastFailure(int32_t reason) {
    t_lastFailure = reason;
}

}  // namespace velmor
