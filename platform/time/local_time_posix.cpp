#include "clock.h"

namespace platform {

bool LocalTime(std::time_t seconds, std::tm& local) { return localtime_r(&seconds, &local) != nullptr; }

}  // namespace platform
