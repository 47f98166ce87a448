#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "interrupts.h"
#include "stop.h"

namespace cli {
namespace {

void OnSignal(int signal) { platform::RequestStop(signal); }

}  // namespace

void HandleInterrupts() {
  platform::PrepareStop();
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a blocking call returns to look at the request
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    // One ignored at the start stays ignored: SIGHUP under nohup, SIGINT in
    // a background job. The runs inherit it so.
    struct sigaction inherited {};
    if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
  std::signal(SIGPIPE, SIG_IGN);
}

std::string SignalName(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: break;
  }
  const char* abbreviation = sigabbrev_np(signal);  // "KILL"
  return abbreviation ? std::string("SIG") + abbreviation : "signal " + std::to_string(signal);
}

int ExitBySignal(int signal) {
  std::fflush(nullptr);  // the process ends without running exit()
  std::signal(signal, SIG_DFL);
  sigset_t only{};
  sigemptyset(&only);
  sigaddset(&only, signal);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  std::raise(signal);
  return 128 + signal;
}

}  // namespace cli
