#include "platform/ble/line_channel.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

namespace ble {
namespace {

constexpr size_t kReadChunk = 16 * 1024;
// Bytes read in one turn of the loop, so that one busy phone cannot starve
// the others or the display timer.
constexpr size_t kReadPerTurn = 256 * 1024;

// The other end closed, perhaps leaving unread what was sent to it (the
// system then says the connection was reset): it left, nothing failed.
bool peerLeft(int error) { return error == EPIPE || error == ECONNRESET; }

// The end of input that a recv returning `n` (errno set when negative, and
// not EINTR) shows, if any.
std::optional<LineChannel::CloseReason> endShownBy(ssize_t n) {
  if (n > 0 || (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))) return std::nullopt;
  if (n == 0 || peerLeft(errno)) return LineChannel::CloseReason::peerClosed;
  return LineChannel::CloseReason::ioError;
}

}  // namespace

std::shared_ptr<LineChannel> LineChannel::adopt(int fd, Limits limits, LineHandler onLine,
                                                CloseHandler onClose) {
  std::shared_ptr<LineChannel> channel(
      new LineChannel(fd, limits, std::move(onLine), std::move(onClose)));
  channel->watch();
  return channel;
}

LineChannel::LineChannel(int fd, Limits limits, LineHandler onLine, CloseHandler onClose)
    : fd_(fd),
      limits_(limits),
      onLine_(std::move(onLine)),
      onClose_(std::move(onClose)),
      lines_(limits.maxLine) {
  const int flags = ::fcntl(fd_, F_GETFL);
  if (flags >= 0) ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
  ::fcntl(fd_, F_SETFD, FD_CLOEXEC);
}

LineChannel::~LineChannel() { close(); }

std::string_view LineChannel::describe(CloseReason reason) {
  switch (reason) {
    case CloseReason::peerClosed:
      return "the connection was closed";
    case CloseReason::lineTooLong:
      return "a line is longer than the limit";
    case CloseReason::outputFull:
      return "it does not read what is sent to it";
    case CloseReason::inputFull:
      return "it sends more than can wait while its earlier messages are handled";
    case CloseReason::ioError:
      return "the connection failed";
  }
  return "the connection failed";
}

void LineChannel::watch() {
  if (fd_ < 0) return;
  const bool wantOutput = queuedBytes() > 0;
  if (paused_ && !wantOutput) {
    watch_.reset();
    return;
  }
  if (watch_.active() && wantOutput == watchingOutput_) return;
  watchingOutput_ = wantOutput;
  std::weak_ptr<LineChannel> weak = weak_from_this();
  const short events = static_cast<short>((paused_ ? 0 : POLLIN) | (wantOutput ? POLLOUT : 0));
  watch_ = base::RunLoop::main().watchFd(fd_, events, [weak](short revents) {
    if (auto self = weak.lock()) self->onReady(revents);
  });
}

void LineChannel::pauseReading(bool paused) {
  if (paused == paused_) return;
  paused_ = paused;
  watch_.reset();  // the events watched change
  watch();
  if (!paused_ && !ready_.empty()) postDelivery();
}

void LineChannel::close() {
  closeSocket();
  ready_.clear();
  readyBytes_ = 0;
  ended_.reset();
}

void LineChannel::closeSocket() {
  watch_.reset();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  lines_.clear();  // a line cut off by the end is not a line
  out_.clear();
  outSent_ = 0;
}

void LineChannel::fail(CloseReason reason, bool later) {
  if (fd_ < 0) return;
  close();
  if (!onClose_) return;
  if (!later) {
    onClose_(reason);
    return;
  }
  std::weak_ptr<LineChannel> weak = weak_from_this();
  base::RunLoop::main().post([weak, reason] {
    if (auto self = weak.lock(); self && self->onClose_) self->onClose_(reason);
  });
}

bool LineChannel::send(std::string_view line) {
  if (fd_ < 0 || !writable_) return false;
  if (queuedBytes() + line.size() + 1 > limits_.maxQueued) {
    fail(CloseReason::outputFull, true);
    return false;
  }
  if (outSent_ > 0 && outSent_ == out_.size()) {
    out_.clear();
    outSent_ = 0;
  }
  out_.append(line);
  out_.push_back('\n');
  flush();
  watch();
  return writable_;
}

void LineChannel::flush() {
  while (outSent_ < out_.size()) {
    const ssize_t n =
        ::send(fd_, out_.data() + outSent_, out_.size() - outSent_, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) writeFailed(errno);
      return;
    }
    outSent_ += static_cast<size_t>(n);
  }
  if (outSent_ == out_.size()) {
    out_.clear();
    outSent_ = 0;
  } else if (outSent_ > limits_.maxQueued) {
    // Drop what was sent so the buffer does not grow with the total sent.
    out_.erase(0, outSent_);
    outSent_ = 0;
  }
}

// Output to an end that is gone can never arrive, so it is dropped; what
// that end sent is read on until its end, which is reported as usual. Any
// other failure ends the input too, after the lines already read.
void LineChannel::writeFailed(int error) {
  writable_ = false;
  out_.clear();
  outSent_ = 0;
  if (peerLeft(error)) return;
  endInput(CloseReason::ioError);
  postDelivery();  // reported on a later turn, never from inside send()
}

void LineChannel::onReady(short revents) {
  auto keep = shared_from_this();  // a handler may drop the last owner
  // An end that left may show only as a hang-up or an error: the write then
  // fails and gives up the output, and reading goes on.
  if (queuedBytes() > 0 && (revents & (POLLOUT | POLLHUP | POLLERR)) != 0) {
    flush();
    watch();
  }
  if (!paused_ && (revents & (POLLIN | POLLHUP | POLLERR)) != 0) readAvailable();
}

void LineChannel::readNow() {
  auto keep = shared_from_this();  // a handler may drop the last owner
  if (!paused_) {
    readAvailable();
    return;
  }
  // A held channel is not read: its lines wait in the socket, where the
  // other end feels it. Only an end with nothing left unread is taken, so
  // that a phone that left does not keep its place.
  if (fd_ < 0) return;
  char byte = 0;
  ssize_t n = 0;
  do {
    n = ::recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  if (const auto end = endShownBy(n)) endInput(*end);
  deliverReady();  // held: reports the end once nothing waits
}

void LineChannel::readAvailable() {
  size_t total = 0;
  char chunk[kReadChunk];
  std::optional<CloseReason> ended;
  while (fd_ >= 0 && total < kReadPerTurn && !ended) {
    const ssize_t n = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ended = endShownBy(n);
      break;
    }
    total += static_cast<size_t>(n);
    lines_.feed(
        std::string_view(chunk, static_cast<size_t>(n)),
        [this, &ended](std::string line) {
          if (readyBytes_ + line.size() > limits_.maxWaiting) {
            ended = CloseReason::inputFull;
            return false;
          }
          readyBytes_ += line.size();
          ready_.push_back(std::move(line));
          return true;
        },
        [&ended] {
          ended = CloseReason::lineTooLong;
          return false;
        });
  }
  // Lines that cannot wait go with the channel, unhandled.
  if (ended == CloseReason::inputFull) {
    fail(*ended, false);
    return;
  }
  if (ended) endInput(*ended);
  deliverReady();
}

// Nothing more is read, but what came before the end is still handled, in
// order (it may wait behind open handlers, or for reading to resume), and
// the end is reported after it.
void LineChannel::endInput(CloseReason reason) {
  if (fd_ < 0) return;
  closeSocket();
  ended_ = reason;
}

void LineChannel::deliverReady() {
  // A handler may run the loop nested (a modal alert): this channel's later
  // lines are then delivered from there, in order, by a posted task, up to
  // kMaxNestedLines handlers deep; deeper, they wait until the open handlers
  // return and this loop (or an outer one) takes them. Every line read is
  // queued before any is handled, and each is taken off the queue once.
  while ((fd_ >= 0 || ended_) && !ready_.empty() && !paused_ && handling_ < kMaxNestedLines) {
    const std::string line = std::move(ready_.front());
    ready_.pop_front();
    readyBytes_ -= line.size();
    // After the last line an ended channel still has its end to report.
    if (!ready_.empty() || ended_) postDelivery();
    ++handling_;
    onLine_(line);
    --handling_;
  }
  if (ended_ && ready_.empty()) {
    const CloseReason reason = *ended_;
    ended_.reset();
    if (onClose_) onClose_(reason);
  }
}

void LineChannel::postDelivery() {
  if (deliveryPosted_) return;
  deliveryPosted_ = true;
  std::weak_ptr<LineChannel> weak = weak_from_this();
  base::RunLoop::main().post([weak] {
    if (auto self = weak.lock()) {
      self->deliveryPosted_ = false;
      self->deliverReady();
    }
  });
}

}  // namespace ble
