// How ShellExecuteA opens an address on POSIX: through the desktop, unless a
// test has put its own opener in place.
#pragma once

#include <functional>
#include <string>

namespace platform::shell {

using Opener = std::function<bool(const std::string& target)>;
// Replaces the desktop opener; an empty function restores it.
void SetOpener(Opener opener);

}  // namespace platform::shell
