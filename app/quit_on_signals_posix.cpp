#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <iterator>
#include <sys/socket.h>
#include <unistd.h>

#include "quit_on_signals.h"

// As Qt's "Calling Qt Functions From Unix Signal Handlers" describes: the
// handler writes a byte to a socket pair, the event loop reads it.
namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
int sockets[2] = {-1, -1};
struct sigaction previous[std::size(kSignals)];

void OnSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(sockets[0], &byte, 1);
  errno = saved;
}

}  // namespace

class TQuitOnSignals::Watch {
 public:
  explicit Watch(int socket) : notifier(socket, QSocketNotifier::Read) {}
  QSocketNotifier notifier;
};

TQuitOnSignals::TQuitOnSignals(std::function<void()> close) : close_(std::move(close)) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, sockets) != 0) return;
  watch_ = std::make_unique<Watch>(sockets[1]);
  QObject::connect(&watch_->notifier, &QSocketNotifier::activated, this, [this] {
    char buffer[16];
    while (::read(sockets[1], buffer, sizeof buffer) > 0) {
    }
    close_();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    sigaction(kSignals[i], nullptr, &previous[i]);
    // One ignored at the start stays ignored: SIGHUP under nohup.
    if (previous[i].sa_handler != SIG_IGN) sigaction(kSignals[i], &action, nullptr);
  }
}

TQuitOnSignals::~TQuitOnSignals() {
  if (!watch_) return;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &previous[i], nullptr);
  watch_.reset();
  ::close(sockets[0]);
  ::close(sockets[1]);
  sockets[0] = sockets[1] = -1;
}
