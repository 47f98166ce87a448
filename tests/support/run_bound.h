// The longest a run can take: every wait at its length and every read at its
// deadline plus one read time-out (250 ms), after which it returns.
#pragma once

#include <chrono>

namespace run_bound {

using std::chrono::milliseconds;

inline constexpr milliseconds kReadTimeOut{250};
inline constexpr milliseconds kDialogue =
    milliseconds(12 * 100) + (milliseconds(100) + kReadTimeOut) + milliseconds(100) +  // break, entry
    (milliseconds(200) + kReadTimeOut) +                                                // entry reply
    3 * (milliseconds(500) + kReadTimeOut) +                                            // version, mode, reset delay
    milliseconds(500) + (milliseconds(250) + kReadTimeOut) + milliseconds(500);         // final

// Waiting for the card adds one second a try, and half a second once it is out.
inline constexpr milliseconds Total(int tries) {
  return kDialogue + milliseconds(1000) * (tries > 0 ? tries : 0) + milliseconds(500);
}

}  // namespace run_bound
