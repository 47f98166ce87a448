#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include "child_process.h"
#include "stop.h"

extern char** environ;

namespace platform {

struct SharedInput::Handles {
  int memory = -1;  // a memfd holding the text
};

SharedInput::SharedInput(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}

SharedInput::~SharedInput() { ::close(handles_->memory); }

std::unique_ptr<SharedInput> SharedInput::Create(const std::string& text, std::string& problem) {
  auto handles = std::make_unique<Handles>();
  handles->memory = ::memfd_create("usb-corvane-input", MFD_CLOEXEC);
  for (std::size_t written = 0; handles->memory >= 0 && written < text.size();) {
    const ssize_t n = ::write(handles->memory, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(handles->memory);
      handles->memory = -1;
      break;
    }
    written += static_cast<std::size_t>(n);
  }
  if (handles->memory < 0) {
    problem = std::strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<SharedInput>(new SharedInput(std::move(handles)));
}

struct ChildProcess::Handles {
  pid_t pid = -1;
  int output = -1;  // the read end of the child's standard output
  // Once reaped, never signalled: its number may already be another process's.
  bool waited = false;
  Exit exit;
};

ChildProcess::ChildProcess(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}

ChildProcess::~ChildProcess() {
  Signal(SIGTERM);  // unwinds like a Ctrl-C: break cleared, port released
  Wait();
  if (handles_->output >= 0) ::close(handles_->output);
}

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                                                  std::string& problem, const SharedInput* input) {
  // Opened anew, so that this child reads from the start at its own pace.
  int inputFd = -1;
  if (input) {
    inputFd = ::open(("/proc/self/fd/" + std::to_string(input->handles_->memory)).c_str(), O_RDONLY | O_CLOEXEC);
    if (inputFd < 0) {
      problem = std::strerror(errno);
      return nullptr;
    }
  }
  int ends[2];
  // Close-on-exec, so that no other child holds this one's pipe open and its
  // end is seen when it ends.
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    problem = std::strerror(errno);
    if (inputFd >= 0) ::close(inputFd);
    return nullptr;
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
  if (inputFd >= 0) posix_spawn_file_actions_adddup2(&actions, inputFd, STDIN_FILENO);
  auto handles = std::make_unique<Handles>();
  const int failed = ::posix_spawn(&handles->pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(ends[1]);
  if (inputFd >= 0) ::close(inputFd);
  if (failed != 0) {
    ::close(ends[0]);
    problem = std::strerror(failed);
    return nullptr;
  }
  handles->output = ends[0];
  ::fcntl(ends[0], F_SETFL, ::fcntl(ends[0], F_GETFL) | O_NONBLOCK);  // read as it comes, by one poll()
  return std::unique_ptr<ChildProcess>(new ChildProcess(std::move(handles)));
}

ChildProcess::Output ChildProcess::ReadAvailable(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(handles_->output, buffer, size);
    if (n > 0) return {static_cast<std::size_t>(n), false};
    if (n < 0 && errno == EINTR) continue;
    return {0, n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)};
  }
}

void WaitForOutput(const std::vector<ChildProcess*>& children, std::chrono::milliseconds atMost) {
  std::vector<pollfd> watched;
  watched.reserve(children.size() + 1);
  for (const ChildProcess* child : children) watched.push_back({child->handles_->output, POLLIN, 0});
  // A stop already requested keeps its handle readable: it woke the caller once.
  if (!StopRequested() && StopWakeHandle() >= 0) watched.push_back({StopWakeHandle(), POLLIN, 0});
  ::poll(watched.data(), watched.size(), static_cast<int>(atMost.count()));  // EINTR: the caller looks again
}

void ChildProcess::Signal(int signal) {
  if (!handles_->waited) ::kill(handles_->pid, signal);
}

ChildProcess::Exit ChildProcess::Wait() {
  if (handles_->waited) return handles_->exit;
  int status = 0;
  while (::waitpid(handles_->pid, &status, 0) < 0 && errno == EINTR) {
  }
  handles_->waited = true;
  handles_->exit = WIFSIGNALED(status) ? Exit{true, WTERMSIG(status)} : Exit{false, WEXITSTATUS(status)};
  return handles_->exit;
}

std::string OwnProgramPath() {
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path);
  return n > 0 && static_cast<std::size_t>(n) < sizeof path ? std::string(path, static_cast<std::size_t>(n)) : "";
}

}  // namespace platform
