// The program's one way of pausing while the window stays alive.
#pragma once

#include <cstdint>

class TTimedWait {
 public:
  TTimedWait();  // pumps messages

  // Whether the window's messages run while the wait goes.
  bool PumpMessages;

  void Delay(std::int32_t milliseconds);
};

extern TTimedWait TimedWait;
