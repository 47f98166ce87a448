#include <csignal>
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

}  // namespace cli
