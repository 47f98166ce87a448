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

struct SharedInput::Handles {
  std::string path;       // a temporary file, deleted once the last handle to it closes
  HANDLE file = nullptr;  // this process's, written with the text
};

SharedInput::SharedInput(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}

SharedInput::~SharedInput() { CloseHandle(handles_->file); }

std::unique_ptr<SharedInput> SharedInput::Create(const std::string& text, std::string& problem) {
  char folder[MAX_PATH + 1];
  char path[MAX_PATH + 1];
  if (GetTempPathA(sizeof folder, folder) == 0 || GetTempFileNameA(folder, "usc", 0, path) == 0) {
    problem = WindowsErrorText(GetLastError());
    return nullptr;
  }
  auto handles = std::make_unique<Handles>();
  handles->path = path;
  handles->file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  DWORD written = 0;
  if (handles->file == INVALID_HANDLE_VALUE ||
      !WriteFile(handles->file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      written != text.size()) {
    problem = WindowsErrorText(GetLastError());
    if (handles->file != INVALID_HANDLE_VALUE) CloseHandle(handles->file);
    DeleteFileA(path);
    return nullptr;
  }
  return std::unique_ptr<SharedInput>(new SharedInput(std::move(handles)));
}

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
                                                  std::string& problem, const SharedInput* input) {
  // Opened anew, so that this child reads from the start at its own pace.
  HANDLE inputFile = nullptr;
  if (input) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    inputFile = CreateFileA(input->handles_->path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherited, OPEN_EXISTING, 0,
                            nullptr);
    if (inputFile == INVALID_HANDLE_VALUE) {
      problem = WindowsErrorText(GetLastError());
      return nullptr;
    }
  }
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, nullptr, 0)) {
    problem = WindowsErrorText(GetLastError());
    if (inputFile) CloseHandle(inputFile);
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
  startup.hStdInput = inputFile ? inputFile : GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION started{};
  const BOOL ok = CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                 &startup, &started);
  const DWORD error = GetLastError();
  CloseHandle(writeEnd);
  if (inputFile) CloseHandle(inputFile);
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
