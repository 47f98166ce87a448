// A file held open for appending, which no other writer may open meanwhile.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

class AppendFile {
 public:
  enum class State { NotOpened, Failed, Open };

  AppendFile() = default;
  ~AppendFile();
  AppendFile(AppendFile&& other) noexcept;
  AppendFile& operator=(AppendFile&& other) noexcept;
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Creates the file when missing, opens it exclusively and moves to its end.
  // A pipe without a reader fails at once instead of waiting for one.
  static AppendFile OpenExclusive(const std::string& path);

  State CurrentState() const { return state_; }
  bool IsNotOpened() const { return state_ == State::NotOpened; }
  bool Write(std::string_view data);
  // The errno of the open or of the first write that failed; 0 when none did.
  int Problem() const { return problem_; }

 private:
  static constexpr std::intptr_t kClosed = -1;
  void Close();

  State state_ = State::NotOpened;
  std::intptr_t native_ = kClosed;  // a descriptor on POSIX, a HANDLE on Windows
  int problem_ = 0;
};

}  // namespace platform
