// The console front end: it stands in for the menu bar and for modal alerts.
//
// It reads commands, one a line, from an input descriptor (standard input)
// through the run loop, and writes everything it shows to its output
// (standard error): standard output stays for the system's diagnostic lines.
// Lines are read as they come and queued; they run one at a time, and each
// command's effects (posted callbacks, socket traffic) get a turn of the run
// loop before the next line runs. While `wait` runs, further lines wait.
//
// It is also the modal presenter: a running alert is printed and the next
// line answers it ("OK: 1234", "OK:", "Cancel"). When alerts are open on top
// of one another, each line answers the innermost, then the next line the one
// below, and commands run again once all are answered. End of input during
// alerts dismisses each without its first button; end of input otherwise leaves
// the application running. On a terminal it shows a prompt.
//
// The parts: base::LineReader reads the lines, AlertAnswers answers alerts,
// console_commands.cpp holds what each command does; this class queues the
// lines and gives each its turn.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "platform/base/line_reader.h"
#include "platform/base/result.h"
#include "platform/base/run_loop.h"
#include "platform/console/alert_answers.h"
#include "platform/console/command.h"

namespace ui {
class Alert;
class Menu;
}  // namespace ui

namespace console {

class Console : public std::enable_shared_from_this<Console> {
 public:
  using Output = std::function<void(const std::string& line)>;
  // Sets the computer's Bluetooth switch to a word ("on", "off", ...), or
  // says why it cannot. The entry point registers it; without one the
  // `bluetooth` command says there is no switch.
  using BluetoothSwitch = std::function<base::Result<void>(const std::string& word)>;
  static void setBluetoothSwitch(BluetoothSwitch bluetoothSwitch);

  static constexpr size_t kMaxLine = 4096;
  static constexpr size_t kMaxQueued = 256;

  // `inputFd` stays owned by the caller. Output defaults to standard error.
  static std::shared_ptr<Console> make(int inputFd, Output output = {});
  Console(int inputFd, Output output);
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // Starts reading and installs the console as the alerts' presenter.
  void start();
  // Stops reading and removes the presenter (if it is still this console's).
  void stop();

  // No line queued or running, no `wait` running, no alert waiting for an answer.
  [[nodiscard]] bool idle() const;
  // The input has ended (end of file or a read error).
  [[nodiscard]] bool inputEnded() const { return input_ && input_->ended(); }

  // Runs one command line now (what a queued line does when its turn comes).
  void runLine(const std::string& line);

  // Called by the presenter.
  void present(ui::Alert& alert);

 private:
  void takeLine(std::string line);
  void endInput(const std::string& why);
  void schedulePump();
  void pump();
  void prompt();
  void print(const std::string& line) const;

  // The commands.
  void run(const Command& command);
  [[nodiscard]] std::shared_ptr<ui::Menu> statusMenu() const;
  void showMenu();
  void click();
  void open(const Command& command);
  void choose(const Command& command);
  void listWindows();
  void closeWindow(const Command& command);
  void press(const Command& command);
  void snapshot(const Command& command);
  void bluetooth(const Command& command);
  void startWait(double seconds);

  int inputFd_;
  Output output_;
  bool terminal_ = false;
  std::shared_ptr<base::LineReader> input_;
  std::deque<std::string> queue_;
  bool running_ = false;  // a command line is executing
  base::Handle waitTimer_;
  AlertAnswers answers_;
  bool started_ = false;
  bool pumpScheduled_ = false;
  bool prompted_ = false;
};

}  // namespace console
