#include <charconv>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

#include "command_watch.h"
#include "stop.h"

namespace platform {

// Not one a user or the shell sends, and never ignored by a job control, so
// that the run hears of its command's death whatever it inherited.
const int kCommandEnded = SIGUSR1;

namespace {

void OnCommandEnded(int) { RequestStop(kCommandEnded); }

}  // namespace

std::string CommandToken() { return std::to_string(::getpid()); }

bool StopWhenCommandEnds(const std::string& token) {
  pid_t command = 0;
  const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), command);
  if (error != std::errc() || end != token.data() + token.size() || command <= 1) return false;
  PrepareStop();
  struct sigaction action {};
  action.sa_handler = OnCommandEnded;
  sigemptyset(&action.sa_mask);
  if (::sigaction(kCommandEnded, &action, nullptr) != 0) return false;
  if (::prctl(PR_SET_PDEATHSIG, kCommandEnded) != 0) return false;
  // A command that died before the signal was set has left this run to
  // another parent.
  if (::getppid() != command) RequestStop(kCommandEnded);
  return true;
}

}  // namespace platform
