// What appending files share on every platform: ownership of the handle.
#include <utility>

#include "append_file.h"

namespace platform {

AppendFile::~AppendFile() { Close(); }

AppendFile::AppendFile(AppendFile&& other) noexcept
    : state_(std::exchange(other.state_, State::NotOpened)),
      native_(std::exchange(other.native_, kClosed)),
      problem_(std::exchange(other.problem_, 0)) {}

AppendFile& AppendFile::operator=(AppendFile&& other) noexcept {
  if (this != &other) {
    Close();
    state_ = std::exchange(other.state_, State::NotOpened);
    native_ = std::exchange(other.native_, kClosed);
    problem_ = std::exchange(other.problem_, 0);
  }
  return *this;
}

}  // namespace platform
