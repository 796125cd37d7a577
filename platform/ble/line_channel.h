// One end of a radio connection: a non-blocking stream socket read and
// written as lines of text.
//
// The radio and the phone simulator both talk through it. Everything is
// bounded, because the other end is another program: a line longer than the
// limit closes the channel, and so does output that piles up past its limit
// because the other end does not read. Callbacks come from the run loop; a
// channel that closes itself because a send failed reports it on a later
// turn, never from inside send().
//
// A line handler may run the loop nested (a modal alert waits for its
// answer), and the channel's next lines may then arrive and be handled
// inside it. That nesting is bounded per channel: past kMaxNestedLines
// handlers open at once, further lines wait for the open ones to return,
// and what waits is bounded too (Limits::maxWaiting); past it the channel
// closes. The owner may also pause reading (the program's output is not
// being taken): lines then wait in the socket, where the other end feels it.
//
// When the other end leaves (or the channel gives up on it for a reason of
// its own) nothing more is read, but the lines read before are still handled,
// in order, and the close handler hears of the end after the last of them.
// Only a channel closed for inputFull loses what waits. A write that finds
// the other end gone gives up only the output, which can never arrive: what
// the other end sent before leaving is still read to its end, as above.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/line_splitter.h"
#include "platform/base/run_loop.h"

namespace ble {

class LineChannel : public std::enable_shared_from_this<LineChannel> {
 public:
  enum class CloseReason { peerClosed, lineTooLong, outputFull, inputFull, ioError };
  struct Limits {
    size_t maxLine = 64 * 1024;       // bytes of one line, line feed not counted
    size_t maxQueued = 256 * 1024;    // bytes waiting for the other end to read
    size_t maxWaiting = 1024 * 1024;  // bytes of lines read, waiting to be handled
  };
  // Line handlers of one channel running at once, one inside another.
  static constexpr size_t kMaxNestedLines = 4;
  using LineHandler = std::function<void(const std::string& line)>;
  using CloseHandler = std::function<void(CloseReason reason)>;

  // Takes ownership of the connected socket `fd` (made non-blocking here).
  static std::shared_ptr<LineChannel> adopt(int fd, Limits limits, LineHandler onLine,
                                            CloseHandler onClose);
  LineChannel(const LineChannel&) = delete;
  LineChannel& operator=(const LineChannel&) = delete;
  ~LineChannel();

  // Queues `line` and a line feed. Returns false when the channel is closed,
  // when writing to the other end has failed (nothing more is written), or
  // when the output limit is passed: the channel then closes and reports
  // outputFull later.
  bool send(std::string_view line);
  // Reads what has arrived, as the loop would when the socket is readable:
  // lines reach the line handler and an end seen closes the channel. A
  // paused channel is not read: only an end with nothing left unread is
  // seen.
  void readNow();
  // Stops reading and handling lines until called again with false. Lines
  // already read wait; nothing is lost.
  void pauseReading(bool paused);
  // Closes without calling the close handler.
  void close();
  [[nodiscard]] bool isOpen() const { return fd_ >= 0; }
  [[nodiscard]] size_t queuedBytes() const { return out_.size() - outSent_; }

  static std::string_view describe(CloseReason reason);

 private:
  LineChannel(int fd, Limits limits, LineHandler onLine, CloseHandler onClose);
  void watch();
  void onReady(short revents);
  void readAvailable();
  void closeSocket();  // what is read and not handled yet stays
  void endInput(CloseReason reason);
  void deliverReady();
  void postDelivery();
  void flush();
  void writeFailed(int error);
  void fail(CloseReason reason, bool later);

  int fd_;
  Limits limits_;
  LineHandler onLine_;
  CloseHandler onClose_;
  base::LineSplitter lines_;
  std::deque<std::string> ready_;  // lines read, not yet handled
  size_t readyBytes_ = 0;
  bool deliveryPosted_ = false;
  size_t handling_ = 0;  // line handlers running, one inside another
  bool paused_ = false;
  std::optional<CloseReason> ended_;  // the end seen, reported after the lines before it
  std::string out_;
  size_t outSent_ = 0;
  bool watchingOutput_ = false;
  bool writable_ = true;  // false once a write failed: output is dropped
  base::Handle watch_;
};

}  // namespace ble
