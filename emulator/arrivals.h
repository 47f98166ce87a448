// Bytes on their way to the host, each with the time it arrives, kept as
// runs a fixed time apart (one per reply): a reply of megabytes costs a byte
// per byte and is taken from the front in constant time per byte.
#pragma once

#include <cstddef>
#include <deque>
#include <vector>

#include "clock.h"
#include "win32.h"

namespace emulator {

class Arrivals {
 public:
  // `bytes` arriving at `first`, `first + gap`, ...
  void Push(platform::MonoTime first, platform::Nanos gap, std::vector<BYTE> bytes) {
    if (!bytes.empty()) runs_.push_back({first, gap, std::move(bytes), 0});
  }
  bool empty() const { return runs_.empty(); }
  // When the next byte arrives; only when not empty.
  platform::MonoTime NextAt() const { return runs_.front().At(runs_.front().next); }
  // Up to `max` bytes that have arrived by `now`; the count taken.
  DWORD Take(BYTE* data, DWORD max, platform::MonoTime now) {
    DWORD n = 0;
    while (n < max && !runs_.empty() && NextAt() <= now) {
      Run& run = runs_.front();
      data[n++] = run.bytes[run.next++];
      if (run.next == run.bytes.size()) runs_.pop_front();
    }
    return n;
  }
  void clear() { runs_.clear(); }

 private:
  struct Run {
    platform::MonoTime first;
    platform::Nanos gap;
    std::vector<BYTE> bytes;
    std::size_t next;
    platform::MonoTime At(std::size_t k) const { return first + gap * static_cast<long long>(k); }
  };
  std::deque<Run> runs_;
};

}  // namespace emulator
