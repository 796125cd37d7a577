#include "sim/console_input.h"

#include <unistd.h>

#include <cerrno>

#include "platform/base/log.h"

namespace sim {

std::shared_ptr<ConsoleInput> ConsoleInput::watch(int fd, LineHandler onLine) {
  std::shared_ptr<ConsoleInput> input(new ConsoleInput(fd, std::move(onLine)));
  std::weak_ptr<ConsoleInput> weak = input;
  input->watch_ = base::RunLoop::main().watchFd(fd, POLLIN, [weak](short /*revents*/) {
    if (auto self = weak.lock()) self->readAvailable();
  });
  return input;
}

void ConsoleInput::readAvailable() {
  auto keep = shared_from_this();  // the handler may drop the last owner
  char buf[1024];
  const ssize_t n = ::read(fd_, buf, sizeof buf);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
  if (n <= 0) {
    watch_.reset();  // end of input: commands are optional
    if (!pending_.empty() && !skipping_) onLine_(pending_);
    pending_.clear();
    return;
  }
  pending_.append(buf, static_cast<size_t>(n));
  for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
    const std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    if (skipping_) {
      skipping_ = false;
      continue;
    }
    onLine_(line);
    if (!watch_.active()) return;
  }
  if (pending_.size() > kMaxLine) {
    if (!skipping_) base::printError("tovelin-phone: skipped a command line that is too long");
    skipping_ = true;
    pending_.clear();
  }
}

}  // namespace sim
