#include <algorithm>
#include <thread>

#include "child_process.h"
#include "stop.h"
#include "win32.h"
#include "windows_errors.h"

namespace platform {
namespace {

// One argument as the C runtime's parser reads it back: quoted when it holds
// a space, a tab or a quote, its backslashes doubled only before a quote.
std::string Quoted(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

}  // namespace

struct ChildProcess::Handles {
  HANDLE process = nullptr;
  HANDLE output = nullptr;
};

ChildProcess::ChildProcess(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}

ChildProcess::~ChildProcess() {
  // Its console gets the same events as this one's; a child left running is
  // only waited for.
  Wait();
  CloseHandle(handles_->output);
  CloseHandle(handles_->process);
}

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                                                  std::string& problem) {
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, nullptr, 0)) {
    problem = WindowsErrorText(GetLastError());
    return nullptr;
  }
  // Only the write end goes to the child, and only for the moment it starts.
  SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  std::string commandLine = Quoted(program);
  for (const std::string& argument : arguments) {
    commandLine += ' ';
    commandLine += Quoted(argument);
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION started{};
  const BOOL ok = CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                 &startup, &started);
  const DWORD error = GetLastError();
  CloseHandle(writeEnd);
  if (!ok) {
    CloseHandle(readEnd);
    problem = WindowsErrorText(error);
    return nullptr;
  }
  CloseHandle(started.hThread);
  auto handles = std::make_unique<Handles>();
  handles->process = started.hProcess;
  handles->output = readEnd;
  return std::unique_ptr<ChildProcess>(new ChildProcess(std::move(handles)));
}

ChildProcess::Output ChildProcess::ReadAvailable(char* buffer, std::size_t size) {
  DWORD waiting = 0;
  if (!PeekNamedPipe(handles_->output, nullptr, 0, nullptr, &waiting, nullptr)) return {0, true};
  if (waiting == 0) return {};
  DWORD count = 0;
  const DWORD wanted = static_cast<DWORD>(size < waiting ? size : waiting);
  if (!ReadFile(handles_->output, buffer, wanted, &count, nullptr)) return {0, true};
  return {count, false};
}

// An anonymous pipe cannot be waited on: the pipes are looked at every few
// milliseconds, between waits on the stop's event.
void WaitForOutput(const std::vector<ChildProcess*>& children, std::chrono::milliseconds atMost) {
  constexpr DWORD kLookEveryMs = 10;
  const auto until = std::chrono::steady_clock::now() + atMost;
  const bool stopped = StopRequested();
  for (;;) {
    for (const ChildProcess* child : children) {
      DWORD waiting = 0;
      if (!PeekNamedPipe(child->handles_->output, nullptr, 0, nullptr, &waiting, nullptr) || waiting > 0) return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= until) return;
    const auto next = std::min(until, now + std::chrono::milliseconds(kLookEveryMs));
    // A stop already requested woke the caller once.
    if (stopped) {
      std::this_thread::sleep_until(next);
    } else {
      SleepUntilOrStopped(next);
      if (StopRequested()) return;
    }
  }
}

void ChildProcess::Signal(int) {}

ChildProcess::Exit ChildProcess::Wait() {
  WaitForSingleObject(handles_->process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(handles_->process, &code);
  return {false, static_cast<int>(code)};
}

std::string OwnProgramPath() {
  char path[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  return n > 0 && n < sizeof path ? std::string(path, n) : "";
}

}  // namespace platform
