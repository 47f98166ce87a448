// Another program started by this one, its standard output on a pipe that
// this one reads, its standard input and error this one's (or its input a
// text shared by several). Owned: a child
// still running when its owner goes is asked to stop and waited for, so none
// is left behind. One thread starts, reads, signals and waits for them all
// (WaitForOutput).
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Text that several children read whole as their standard input, kept once
// however many read it: in memory (Linux: a memfd), or in a temporary file
// that goes with its last reader (Windows). Each child reads it from the start.
class SharedInput {
 public:
  // Null, with `problem` said, when it cannot be made.
  static std::unique_ptr<SharedInput> Create(const std::string& text, std::string& problem);
  ~SharedInput();
  SharedInput(const SharedInput&) = delete;
  SharedInput& operator=(const SharedInput&) = delete;

 private:
  friend class ChildProcess;
  struct Handles;
  explicit SharedInput(std::unique_ptr<Handles> handles);
  std::unique_ptr<Handles> handles_;
};

class ChildProcess {
 public:
  struct Exit {
    bool bySignal = false;  // ended by a signal (POSIX)
    int code = 0;           // its exit status, or the signal's number
  };

  // Starts `program` with `arguments` (its own name not among them), its
  // standard input `input` when given; null, with `problem` said, when it
  // cannot be started.
  static std::unique_ptr<ChildProcess> Start(const std::string& program, const std::vector<std::string>& arguments,
                                             std::string& problem, const SharedInput* input = nullptr);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  struct Output {
    std::size_t count = 0;  // bytes read into the buffer
    bool closed = false;    // its output is closed (it ended) or unreadable
  };
  // What the child has written, without blocking.
  Output ReadAvailable(char* buffer, std::size_t size);
  // Passes a stop request on as the signal would (POSIX). On Windows the
  // console's control events already reach every process attached to it.
  void Signal(int signal);
  // Blocks until the child has ended.
  Exit Wait();

 private:
  friend void WaitForOutput(const std::vector<ChildProcess*>& children, std::chrono::milliseconds atMost);
  struct Handles;
  explicit ChildProcess(std::unique_ptr<Handles> handles);
  std::unique_ptr<Handles> handles_;
};

// Blocks until one of `children` has written or closed its output, a stop
// is requested (platform/time/stop.h; one requested before the call no
// longer wakes it), or `atMost` has passed: one waiting thread for any
// number of children.
void WaitForOutput(const std::vector<ChildProcess*>& children, std::chrono::milliseconds atMost);

// The path of the running program, for starting more of itself; empty when
// the system cannot say.
std::string OwnProgramPath();

}  // namespace platform
