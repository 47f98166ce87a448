#include "standard_descriptors.h"

namespace platform {

void OpenClosedStandardDescriptors() {}

}  // namespace platform
