// The program's one way of pausing while the window stays alive.
#pragma once

#include <cstdint>

class TTimedWait {
 public:
  TTimedWait();

  bool PumpMessages = false;

  void Delay(std::int32_t milliseconds);
};

extern TTimedWait TimedWait;
