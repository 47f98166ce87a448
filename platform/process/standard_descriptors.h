// A program started with standard input, output or error closed (`<&- >&-`)
// would hand those numbers to the first pipe or file it opens, and write its
// report into that. Both programs call this first.
#pragma once

namespace platform {

// Opens each closed standard descriptor on the null device, the wrong way
// round (input for writing, output for reading), so that the program's own
// use of it fails with EBADF and is reported, as the shell's would be, while
// no later pipe or file can take its number. Nothing to do on Windows, where
// a missing standard handle takes no number from a later file.
void OpenClosedStandardDescriptors();

}  // namespace platform
