#include "platform/console/console.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/base/log.h"
#include "platform/ui/alert.h"
#include "platform/ui/application.h"

namespace console {
namespace {

// Answers alerts through a console that may be gone by then.
class Presenter : public ui::ModalPresenter {
 public:
  explicit Presenter(std::weak_ptr<Console> console) : console_(std::move(console)) {}
  void present(ui::Alert& alert) override {
    if (auto console = console_.lock()) {
      console->present(alert);
      return;
    }
    ui::Alert* target = &alert;
    base::RunLoop::main().post([target] {
      if (ui::Alert::modalAlert() == target) target->respond(ui::ModalResponseAbort);
    });
  }
  [[nodiscard]] bool belongsTo(const Console* console) const {
    return console_.lock().get() == console;
  }

 private:
  std::weak_ptr<Console> console_;
};

}  // namespace

std::shared_ptr<Console> Console::make(int inputFd, Output output) {
  return std::make_shared<Console>(inputFd, std::move(output));
}

Console::Console(int inputFd, Output output) : inputFd_(inputFd), output_(std::move(output)) {
  if (!output_) output_ = [](const std::string& line) { base::printReply(line); };
  terminal_ = ::isatty(inputFd_) == 1;
}

Console::~Console() { inputWatch_.reset(); }

void Console::start() {
  std::weak_ptr<Console> weak = weak_from_this();
  started_ = true;
  if (!ended_) {
    inputWatch_ = base::RunLoop::main().watchFd(inputFd_, POLLIN, [weak](short revents) {
      if (auto self = weak.lock()) self->onReadable(revents);
    });
  }
  ui::Alert::setPresenter(std::make_shared<Presenter>(weak));
  schedulePump();
}

void Console::stop() {
  started_ = false;
  inputWatch_.reset();
  waitTimer_.reset();
  auto presenter = std::dynamic_pointer_cast<Presenter>(ui::Alert::presenter());
  if (presenter && presenter->belongsTo(this)) ui::Alert::setPresenter(nullptr);
}

bool Console::idle() const {
  return queue_.empty() && !running_ && !waitTimer_.active() && ui::Alert::modalAlert() == nullptr;
}

void Console::onReadable(short revents) {
  if ((revents & POLLNVAL) != 0) {
    endInput("console: the input is closed");
    return;
  }
  // One read per wake-up: it cannot block, and the descriptor's own mode (a
  // terminal shared with the shell) is left alone.
  char buf[4096];
  const ssize_t n = ::read(inputFd_, buf, sizeof buf);
  if (n > 0) {
    takeBytes(buf, static_cast<size_t>(n));
  } else if (n == 0) {
    endInput({});
  } else if (errno != EINTR && errno != EAGAIN) {
    endInput(std::string("console: cannot read the input: ") + std::strerror(errno));
  }
}

void Console::takeBytes(const char* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    const char c = data[i];
    if (c == '\n') {
      if (!discarding_) queue_.push_back(std::move(partial_));
      partial_.clear();
      discarding_ = false;
      continue;
    }
    if (discarding_) continue;
    if (partial_.size() >= kMaxLine) {
      print("console: a line longer than " + std::to_string(kMaxLine) + " bytes is ignored");
      partial_.clear();
      discarding_ = true;
      continue;
    }
    partial_ += c;
  }
  // Stop reading while the queue is full; pumping resumes it.
  if (queue_.size() >= kMaxQueued) inputWatch_.reset();
  schedulePump();
}

void Console::endInput(const std::string& why) {
  if (!why.empty()) print(why);
  if (!partial_.empty() && !discarding_) queue_.push_back(std::move(partial_));
  partial_.clear();
  ended_ = true;
  inputWatch_.reset();
  schedulePump();
}

void Console::schedulePump() {
  if (pumpScheduled_ || !started_) return;
  pumpScheduled_ = true;
  // After I/O: by then what the previous command posted has run and sockets
  // had a turn.
  std::weak_ptr<Console> weak = weak_from_this();
  base::RunLoop::main().afterIo([weak] {
    if (auto self = weak.lock()) {
      self->pumpScheduled_ = false;
      if (self->started_) self->pump();
    }
  });
}

void Console::pump() {
  if (ui::Application::shared().isTerminating()) return;
  if (!ended_ && !inputWatch_.active() && queue_.size() < kMaxQueued / 2 && started_) {
    std::weak_ptr<Console> weak = weak_from_this();
    inputWatch_ = base::RunLoop::main().watchFd(inputFd_, POLLIN, [weak](short revents) {
      if (auto self = weak.lock()) self->onReadable(revents);
    });
  }
  if (waitTimer_.active()) return;  // wait: no line is read until it ends

  // Forget alerts that are no longer running (answered, or ended by a stop).
  const auto& running = ui::Alert::modalAlerts();
  std::erase_if(presented_, [&running](const ui::Alert* alert) {
    return std::find(running.begin(), running.end(), alert) == running.end();
  });
  if (ui::Alert* alert = ui::Alert::modalAlert()) {
    if (std::find(presented_.begin(), presented_.end(), alert) == presented_.end()) {
      return;  // not one this console showed
    }
    if (queue_.empty()) {
      if (ended_) {
        print("(end of input: the alert is dismissed)");
        forget(alert);
        alert->respond(ui::ModalResponseAbort);
        schedulePump();  // the next one below, if any
      } else {
        prompt();
      }
      return;
    }
    std::string line = std::move(queue_.front());
    queue_.pop_front();
    answer(*alert, line);
    schedulePump();
    return;
  }
  if (running_) return;
  if (queue_.empty()) {
    prompt();
    return;
  }
  std::string line = std::move(queue_.front());
  queue_.pop_front();
  runLine(line);
  schedulePump();
}

void Console::runLine(const std::string& line) {
  prompted_ = false;
  Parsed parsed = parseCommand(line);
  if (!parsed.command) {
    if (!parsed.error.empty()) print(parsed.error);
    return;
  }
  running_ = true;
  run(*parsed.command);
  running_ = false;
}

void Console::forget(const ui::Alert* alert) { std::erase(presented_, alert); }

void Console::present(ui::Alert& alert) {
  presented_.push_back(&alert);
  prompted_ = false;
  for (const auto& line : alert.describe()) print(line);
  if (terminal_) print("(answer with a button title, e.g. \"OK\" or \"OK: text\")");
  schedulePump();
}

void Console::answer(ui::Alert& alert, const std::string& line) {
  prompted_ = false;
  for (const auto& reading : readAlertAnswer(line)) {
    if (auto code = alert.responseForButtonTitle(reading.button)) {
      forget(&alert);
      alert.respond(*code, reading.text);
      return;
    }
  }
  std::string buttons;
  for (const auto& button : alert.buttons()) {
    buttons += (buttons.empty() ? "" : ", ") + ("\"" + button->title() + "\"");
  }
  print("no button \"" + escapeText(line) + "\" in the alert (buttons: " + buttons + ")");
}

void Console::prompt() {
  if (!terminal_ || prompted_ || ended_) return;
  prompted_ = true;
  const char* text = ui::Alert::modalAlert() != nullptr ? "answer> " : "> ";
  // A prompt stays on the line the person types on: no line feed.
  base::printPrompt(text);
}

void Console::print(const std::string& line) const { output_(line); }

}  // namespace console
