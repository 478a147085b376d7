#pragma once

#include <cstdint>

namespace velmor {

// Why the calling thread's last open, erase or program failed: one of the
// VELMOR_REASON_* values of velmor.h. Per thread, as errno, so that jobs on
// several programmers each read their own.
int32_t lastFailure();
void setLastFailure(int32_t reason);

}  // namespace velmor
