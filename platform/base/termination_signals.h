// SIGTERM, SIGINT and SIGHUP delivered through the run loop.
//
// A signal handler may do almost nothing safely, so the handler only writes
// the signal's number to a pipe; the run loop reads it on its next turn and
// calls the callback there, where ending the program the ordinary way (as
// Quit does) is safe. While the returned handle lives the three signals are
// caught; dropping it restores their default actions.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/base/result.h"
#include "platform/base/run_loop.h"

namespace base {

class TerminationSignals {
 public:
  using Callback = std::function<void(int signo)>;

  // Catches the signals until the object is destroyed. Only one may exist.
  static Result<std::unique_ptr<TerminationSignals>> catchOn(RunLoop& loop, Callback onSignal);
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;
  ~TerminationSignals();

  // "SIGTERM", "SIGINT", "SIGHUP", else "signal N".
  static std::string name(int signo);

 private:
  TerminationSignals(int readFd, Callback onSignal);
  void drain();

  int readFd_;
  Callback onSignal_;
  Handle watch_;
};

}  // namespace base
