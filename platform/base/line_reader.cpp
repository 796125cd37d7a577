#include "platform/base/line_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace base {

std::shared_ptr<LineReader> LineReader::watch(int fd, size_t maxLine, Handlers handlers) {
  auto reader = std::make_shared<LineReader>(fd, maxLine, std::move(handlers));
  reader->resume();
  return reader;
}

LineReader::LineReader(int fd, size_t maxLine, Handlers handlers)
    : fd_(fd), splitter_(maxLine), handlers_(std::move(handlers)) {}

void LineReader::pause() { watch_.reset(); }

void LineReader::resume() {
  if (ended_ || stopped_ || watch_.active()) return;
  std::weak_ptr<LineReader> weak = weak_from_this();
  watch_ = RunLoop::main().watchFd(fd_, POLLIN, [weak](short revents) {
    if (auto self = weak.lock()) self->readOnce(revents);
  });
}

void LineReader::stop() {
  stopped_ = true;
  watch_.reset();
}

void LineReader::readOnce(short revents) {
  auto keep = shared_from_this();  // a handler may drop the last owner
  if ((revents & POLLNVAL) != 0) {
    end("the input is closed");
    return;
  }
  char buf[4096];
  const ssize_t n = ::read(fd_, buf, sizeof buf);
  if (n < 0) {
    if (errno != EINTR && errno != EAGAIN)
      end(std::string("cannot read the input: ") + std::strerror(errno));
    return;
  }
  if (n == 0) {
    end({});
    return;
  }
  splitter_.feed(
      std::string_view(buf, static_cast<size_t>(n)),
      [this](std::string line) {
        handlers_.line(std::move(line));
        return !stopped_;
      },
      [this] {
        if (handlers_.overlong) handlers_.overlong();
        return !stopped_;
      });
}

void LineReader::end(const std::string& why) {
  ended_ = true;
  watch_.reset();
  if (auto last = splitter_.finish()) handlers_.line(std::move(*last));
  if (!stopped_ && handlers_.end) handlers_.end(why);
}

}  // namespace base
