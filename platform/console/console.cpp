#include "platform/console/console.h"

#include <unistd.h>

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

Console::Console(int inputFd, Output output)
    : inputFd_(inputFd),
      output_(output ? std::move(output) : [](const std::string& line) { base::printReply(line); }),
      terminal_(::isatty(inputFd_) == 1),
      answers_([this](const std::string& line) { print(line); }) {}

Console::~Console() {
  if (input_) input_->stop();
}

void Console::start() {
  std::weak_ptr<Console> weak = weak_from_this();
  started_ = true;
  if (!input_) {
    input_ = base::LineReader::watch(inputFd_, kMaxLine,
                                     {.line =
                                          [weak](std::string line) {
                                            if (auto self = weak.lock())
                                              self->takeLine(std::move(line));
                                          },
                                      .overlong =
                                          [weak] {
                                            if (auto self = weak.lock()) {
                                              self->print("console: a line longer than " +
                                                          std::to_string(kMaxLine) +
                                                          " bytes is ignored");
                                            }
                                          },
                                      .end =
                                          [weak](const std::string& why) {
                                            if (auto self = weak.lock()) self->endInput(why);
                                          }});
  } else {
    input_->resume();
  }
  ui::Alert::setPresenter(std::make_shared<Presenter>(weak));
  schedulePump();
}

void Console::stop() {
  started_ = false;
  if (input_) input_->pause();
  waitTimer_.reset();
  auto presenter = std::dynamic_pointer_cast<Presenter>(ui::Alert::presenter());
  if (presenter && presenter->belongsTo(this)) ui::Alert::setPresenter(nullptr);
}

bool Console::idle() const {
  return queue_.empty() && !running_ && !waitTimer_.active() && ui::Alert::modalAlert() == nullptr;
}

void Console::takeLine(std::string line) {
  queue_.push_back(std::move(line));
  // Stop reading while the queue is full; pumping resumes it.
  if (queue_.size() >= kMaxQueued) input_->pause();
  schedulePump();
}

void Console::endInput(const std::string& why) {
  if (!why.empty()) print("console: " + why);
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
  if (queue_.size() < kMaxQueued / 2) input_->resume();
  if (waitTimer_.active()) return;  // wait: no line is read until it ends

  if (ui::Alert* alert = answers_.running()) {
    if (!answers_.showed(alert)) return;  // another presenter's alert
    if (!queue_.empty()) {
      prompted_ = false;
      std::string line = std::move(queue_.front());
      queue_.pop_front();
      answers_.answer(*alert, line);
      schedulePump();
    } else if (inputEnded()) {
      answers_.dismiss(*alert);
      schedulePump();  // the next one below, if any
    } else {
      prompt();
    }
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
  auto parsed = parseCommand(line);
  if (!parsed) {
    print(parsed.error().message);
    return;
  }
  if (!*parsed) return;  // a blank line
  running_ = true;
  run(**parsed);
  running_ = false;
}

void Console::present(ui::Alert& alert) {
  prompted_ = false;
  answers_.present(alert, terminal_);
  schedulePump();
}

void Console::prompt() {
  if (!terminal_ || prompted_ || inputEnded()) return;
  prompted_ = true;
  const char* text = ui::Alert::modalAlert() != nullptr ? "answer> " : "> ";
  // A prompt stays on the line the person types on: no line feed.
  base::printPrompt(text);
}

void Console::print(const std::string& line) const { output_(line); }

}  // namespace console
