#include "platform/base/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace base {
namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

// The write end, for the handler. -1 while nothing catches the signals.
volatile sig_atomic_t gWriteFd = -1;

extern "C" void onTerminationSignal(int signo) {
  const int saved = errno;
  const int fd = gWriteFd;
  if (fd >= 0) {
    const auto byte = static_cast<unsigned char>(signo);
    (void)!::write(fd, &byte, 1);  // a full pipe already holds a pending signal
  }
  errno = saved;
}

void setHandlers(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;  // NOLINT(cppcoreguidelines-pro-type-union-access)
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signo : kSignals) ::sigaction(signo, &action, nullptr);
}

}  // namespace

Result<std::unique_ptr<TerminationSignals>> TerminationSignals::catchOn(RunLoop& loop,
                                                                        Callback onSignal) {
  if (gWriteFd >= 0) return fail("termination signals are already caught");
  int fds[2];
  if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
    return fail(std::string("cannot make the signal pipe: ") + std::strerror(errno));
  }
  std::unique_ptr<TerminationSignals> signals(new TerminationSignals(fds[0], std::move(onSignal)));
  gWriteFd = fds[1];
  setHandlers(onTerminationSignal);
  TerminationSignals* self = signals.get();
  signals->watch_ = loop.watchFd(fds[0], POLLIN, [self](short /*revents*/) { self->drain(); });
  return signals;
}

TerminationSignals::TerminationSignals(int readFd, Callback onSignal)
    : readFd_(readFd), onSignal_(std::move(onSignal)) {}

TerminationSignals::~TerminationSignals() {
  setHandlers(SIG_DFL);
  const int writeFd = gWriteFd;
  gWriteFd = -1;
  watch_.reset();
  ::close(writeFd);
  ::close(readFd_);
}

void TerminationSignals::drain() {
  unsigned char byte = 0;
  while (::read(readFd_, &byte, 1) == 1) onSignal_(byte);
}

std::string TerminationSignals::name(int signo) {
  switch (signo) {
    case SIGTERM:
      return "SIGTERM";
    case SIGINT:
      return "SIGINT";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "signal " + std::to_string(signo);
  }
}

}  // namespace base
