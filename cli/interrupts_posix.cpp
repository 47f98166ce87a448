#include <csignal>
#include <cstdio>
#include <cstring>

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
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

const char* SignalName(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
  }
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
