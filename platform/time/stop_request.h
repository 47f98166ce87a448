// The flag behind stop.h, for its platform files: a reason, -1 for a request
// without one, 0 for none. Read and written from signal handlers.
#pragma once

#include <atomic>

namespace platform {

std::atomic<int>& RequestedReason();
static_assert(std::atomic<int>::is_always_lock_free, "read and written from signal handlers");

}  // namespace platform
