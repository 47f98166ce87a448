// The settings file parser against arbitrary bytes: it never crashes or
// hangs, and whatever it accepts is written back to a file that reads back
// to the same key.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "registry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace platform::registry;
  KeyFile key;
  const auto error = ParseKeyFile(std::string_view(reinterpret_cast<const char*>(data), size), key);
  if (error) {
    if (error->message.empty()) std::abort();
    return 0;
  }
  const std::string text = FormatKeyFile(key);
  KeyFile again;
  if (ParseKeyFile(text, again)) std::abort();
  if (again.values != key.values) std::abort();
  // Paths with brackets or line breaks would not survive; accepted ones do.
  if (again.path != key.path) std::abort();
  return 0;
}
