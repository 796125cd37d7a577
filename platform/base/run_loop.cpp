#include "platform/base/run_loop.h"

#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace base {

Handle::Handle(Handle&& other) noexcept : loop_(other.loop_), id_(other.id_) {
  other.loop_ = nullptr;
  other.id_ = 0;
}

Handle& Handle::operator=(Handle&& other) noexcept {
  if (this != &other) {
    reset();
    loop_ = other.loop_;
    id_ = other.id_;
    other.loop_ = nullptr;
    other.id_ = 0;
  }
  return *this;
}

Handle::~Handle() { reset(); }

void Handle::reset() {
  if (loop_ != nullptr) loop_->cancel(id_);
  loop_ = nullptr;
  id_ = 0;
}

bool Handle::active() const { return loop_ != nullptr && loop_->isActive(id_); }

RunLoop::RunLoop() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
  }
}

RunLoop::~RunLoop() {
  if (wakeRead_ >= 0) ::close(wakeRead_);
  if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

RunLoop& RunLoop::main() {
  static RunLoop loop;
  return loop;
}

void RunLoop::post(Task task) { tasks_.push_back(std::move(task)); }

Handle RunLoop::addTimer(Clock::duration interval, bool repeats, Task fn) {
  const uint64_t id = nextId_++;
  interval = std::max(interval, Clock::duration::zero());
  timers_[id] = Timer{now() + interval, interval, repeats, std::make_shared<Task>(std::move(fn))};
  return Handle(this, id);
}

Handle RunLoop::watchFd(int fd, short events, FdCallback fn) {
  const uint64_t id = nextId_++;
  watches_[id] = Watch{fd, events, std::make_shared<FdCallback>(std::move(fn))};
  return Handle(this, id);
}

void RunLoop::cancel(uint64_t id) {
  timers_.erase(id);
  watches_.erase(id);
}

bool RunLoop::isActive(uint64_t id) const { return timers_.contains(id) || watches_.contains(id); }

void RunLoop::stop() {
  stopped_ = true;
  if (wakeWrite_ >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &byte, 1);
  }
}

void RunLoop::reset() { stopped_ = false; }

void RunLoop::run() {
  while (!stopped_) runOnce(Clock::time_point::max());
}

bool RunLoop::runUntil(const std::function<bool()>& done, Clock::duration timeout) {
  const auto start = now();
  const auto deadline =
      timeout >= Clock::time_point::max() - start ? Clock::time_point::max() : start + timeout;
  while (!done() && !stopped_ && now() < deadline) runOnce(deadline);
  return done();
}

void RunLoop::runFor(Clock::duration duration) {
  const auto deadline = now() + duration;
  while (!stopped_ && now() < deadline) runOnce(deadline);
}

bool RunLoop::runPostedTasks() {
  // Only the tasks already queued: a task that posts another yields first.
  size_t count = tasks_.size();
  bool ran = false;
  while (count-- > 0 && !tasks_.empty()) {
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    task();
    ran = true;
  }
  return ran;
}

bool RunLoop::runDueTimers() {
  const auto t = now();
  std::vector<uint64_t> due;
  for (const auto& [id, timer] : timers_) {
    if (timer.due <= t) due.push_back(id);
  }
  std::sort(due.begin(), due.end(),
            [this](uint64_t a, uint64_t b) { return timers_.at(a).due < timers_.at(b).due; });
  for (const uint64_t id : due) {
    auto it = timers_.find(id);
    if (it == timers_.end()) continue;  // cancelled by an earlier timer
    std::shared_ptr<Task> fn = it->second.fn;
    if (it->second.repeats && it->second.interval > Clock::duration::zero()) {
      auto next = it->second.due + it->second.interval;
      if (next <= t) {
        // Fell behind: skip the missed ticks, keep the phase.
        const auto behind = (t - next) / it->second.interval + 1;
        next += behind * it->second.interval;
      }
      it->second.due = next;
    } else {
      timers_.erase(it);
    }
    (*fn)();
  }
  return !due.empty();
}

void RunLoop::afterIo(Task task) { afterIo_.emplace_back(nextAfterIo_++, std::move(task)); }

void RunLoop::runOnce(Clock::time_point deadline) {
  // Every turn polls, even one that ran tasks or timers: a timer whose
  // handler takes longer than its interval (a slow frame) is due on every
  // turn, and the descriptors (input, phones, the signal pipe) must still be
  // served once a turn. The poll waits only when nothing ran and nothing is
  // queued; otherwise it just looks.
  const bool ranTasks = runPostedTasks();
  const bool ranTimers = runDueTimers();
  const bool busy = ranTasks || ranTimers || !tasks_.empty() || !afterIo_.empty();

  // Sleep until the next timer, the deadline, or a ready fd.
  auto wake = busy ? now() : deadline;
  for (const auto& [id, timer] : timers_) wake = std::min(wake, timer.due);
  // ppoll takes the timeout to the nanosecond, so 60 Hz timers keep their period.
  timespec timeout{};
  timespec* timeoutPtr = nullptr;
  if (wake != Clock::time_point::max()) {
    const auto left = std::max(wake - now(), Clock::duration::zero());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
    timeout.tv_nsec = static_cast<long>(ns % 1000000000);
    timeoutPtr = &timeout;
  }

  std::vector<pollfd> fds;
  std::vector<uint64_t> ids;
  fds.reserve(watches_.size() + 1);
  if (wakeRead_ >= 0) fds.push_back(pollfd{wakeRead_, POLLIN, 0});
  for (const auto& [id, watch] : watches_) {
    fds.push_back(pollfd{watch.fd, watch.events, 0});
    ids.push_back(id);
  }
  // Tasks queued during the callbacks (or during these tasks) wait for the
  // next poll. They stay in the loop's queue meanwhile: a callback may run
  // the loop nested (a modal alert), and its polls run them there.
  const uint64_t queuedBefore = nextAfterIo_;
  const int n = ::ppoll(fds.data(), fds.size(), timeoutPtr, nullptr);
  if (n > 0) dispatch(fds, ids);
  while (!afterIo_.empty() && afterIo_.front().first < queuedBefore) {
    Task task = std::move(afterIo_.front().second);
    afterIo_.pop_front();
    task();
  }
}

void RunLoop::dispatch(std::vector<pollfd>& fds, const std::vector<uint64_t>& ids) {
  size_t first = 0;
  if (wakeRead_ >= 0) {
    if ((fds[0].revents & POLLIN) != 0) {
      char buf[64];
      while (::read(wakeRead_, buf, sizeof buf) > 0) {
      }
    }
    first = 1;
  }
  for (size_t i = first; i < fds.size(); ++i) {
    if (fds[i].revents == 0) continue;
    auto it = watches_.find(ids[i - first]);
    if (it == watches_.end()) continue;  // cancelled by an earlier callback
    std::shared_ptr<FdCallback> fn = it->second.fn;
    (*fn)(fds[i].revents);
  }
}

}  // namespace base
