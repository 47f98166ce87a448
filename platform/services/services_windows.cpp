#include "services.h"

namespace platform {

// Windows' own services stand in for the POSIX fields: the kernel's calls,
// SetupAPI, the registry; a test replaces them with the record's other fields.
void InstallSystemServices(const Services&) {}

}  // namespace platform
