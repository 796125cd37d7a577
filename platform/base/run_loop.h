// The main thread's run loop.
//
// Everything the platform delivers (Bluetooth callbacks, menu actions, the GPU
// view's frames, players' clocks, console input) runs here, one task at a
// time, on the one thread. The loop runs posted tasks in order, fires timers
// on a monotonic clock and watches file descriptors; with nothing due it
// sleeps in poll(2), so an idle application costs no processor time.
//
// Modal work (an alert waiting for its answer) runs the same loop nested with
// runUntil(); stop() ends the outermost run() and every nested run with it.
// Timers and watches are owned through handles: dropping the handle cancels
// it, so a destroyed owner is never called back.
#pragma once

#include <poll.h>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace base {

using Clock = std::chrono::steady_clock;

class RunLoop;

// Cancels its timer or watch when destroyed or reset. Move-only.
class Handle {
 public:
  Handle() = default;
  Handle(RunLoop* loop, uint64_t id) : loop_(loop), id_(id) {}
  Handle(Handle&& other) noexcept;
  Handle& operator=(Handle&& other) noexcept;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle();

  void reset();
  [[nodiscard]] bool active() const;

 private:
  RunLoop* loop_ = nullptr;
  uint64_t id_ = 0;
};

class RunLoop {
 public:
  using Task = std::function<void()>;
  using FdCallback = std::function<void(short revents)>;

  RunLoop();
  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;
  ~RunLoop();

  // The loop of the main thread.
  static RunLoop& main();

  [[nodiscard]] Clock::time_point now() const { return Clock::now(); }

  // Runs `task` on a later turn of the loop, after the tasks posted before it.
  void post(Task task);

  // Runs `task` once the loop has run the tasks posted before it and then
  // looked at its descriptors: at the end of the next turn that polls, after
  // that poll's callbacks (the poll does not wait while such a task is
  // queued). What was posted or arrived on a socket before has had its turn.
  void afterIo(Task task);

  // Calls `fn` after `interval`, then every `interval` while `repeats`. A
  // repeating timer that falls behind skips the ticks it missed rather than
  // firing them in a burst.
  [[nodiscard]] Handle addTimer(Clock::duration interval, bool repeats, Task fn);

  // Calls `fn` with the poll(2) revents whenever `fd` is ready for `events`
  // (POLLIN, POLLOUT). Errors and hang-ups are reported as revents too.
  [[nodiscard]] Handle watchFd(int fd, short events, FdCallback fn);

  // Runs until stop(). Returns at once if stop() was already called.
  void run();
  // Ends run() and every nested runUntil().
  void stop();
  [[nodiscard]] bool stopped() const { return stopped_; }
  // Clears a previous stop() so that run() can be used again (tests).
  void reset();

  // Runs the loop until `done()` is true, the timeout passes or stop() is
  // called; returns `done()`. Usable from inside a task (modal runs).
  bool runUntil(const std::function<bool()>& done,
                Clock::duration timeout = Clock::duration::max());
  // Runs the loop for `duration`.
  void runFor(Clock::duration duration);

  // One turn: runs the posted tasks and the due timers, then serves the ready
  // descriptors, waiting for one until `deadline` (or the next timer) only
  // when nothing ran. However long a timer's handler takes, every turn
  // serves the descriptors.
  void runOnce(Clock::time_point deadline);

  // Number of timers and watches alive (for tests of cancellation).
  [[nodiscard]] size_t timerCount() const { return timers_.size(); }

 private:
  friend class Handle;
  struct Timer {
    Clock::time_point due;
    Clock::duration interval;
    bool repeats;
    std::shared_ptr<Task> fn;
  };
  struct Watch {
    int fd;
    short events;
    std::shared_ptr<FdCallback> fn;
  };

  void cancel(uint64_t id);
  bool isActive(uint64_t id) const;
  bool runDueTimers();
  bool runPostedTasks();
  void dispatch(std::vector<pollfd>& fds, const std::vector<uint64_t>& ids);

  uint64_t nextId_ = 1;
  std::deque<Task> tasks_;
  std::deque<std::pair<uint64_t, Task>> afterIo_;  // in the order queued, numbered
  uint64_t nextAfterIo_ = 0;
  std::map<uint64_t, Timer> timers_;
  std::map<uint64_t, Watch> watches_;
  bool stopped_ = false;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
};

}  // namespace base
