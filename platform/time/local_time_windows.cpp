#include "clock.h"

namespace platform {

bool LocalTime(std::time_t seconds, std::tm& local) { return localtime_s(&local, &seconds) == 0; }

}  // namespace platform
