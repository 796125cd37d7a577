#include "platform/console/application_main.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/base/bundle.h"
#include "platform/base/command_line.h"
#include "platform/base/log.h"
#include "platform/base/options.h"
#include "platform/base/termination_signals.h"
#include "platform/base/user_defaults.h"
#include "platform/ble/radio.h"
#include "platform/console/console.h"
#include "platform/ui/application.h"

namespace ui {
namespace {

// The console's `bluetooth` command turns the radio's adapter on and off.
void registerBluetoothSwitch() {
  console::Console::setBluetoothSwitch([](const std::string& word) -> base::Result<void> {
    const auto state = ble::Radio::parseState(word);
    if (!state) {
      return base::fail("unknown Bluetooth state \"" + word +
                        "\" (on, off, unauthorized, unsupported, resetting, unknown)");
    }
    return ble::Radio::shared().switchAdapter(*state);
  });
}

// The output handlers refer to ApplicationMain's locals: they go with them.
struct OutputHandlersReset {
  OutputHandlersReset() = default;
  OutputHandlersReset(const OutputHandlersReset&) = delete;
  OutputHandlersReset& operator=(const OutputHandlersReset&) = delete;
  ~OutputHandlersReset() {
    base::setOutputFailureHandler({});
    base::setOutputBacklogHandler({});
  }
};

}  // namespace

int ApplicationMain(int argc, char** argv) {
  base::openMissingStandardDescriptors();
  // A write to a closed pipe or socket fails with EPIPE, which the writer
  // handles, instead of killing the program.
  ::signal(SIGPIPE, SIG_IGN);
  // An ignored SIGCHLD survives exec: the children this program starts (the
  // open-URL command) would be reaped by the kernel and could not be waited for.
  ::signal(SIGCHLD, SIG_DFL);
  // The command line is read before anything is opened, created or
  // started: a mistyped option must not leave a file or a socket behind.
  std::vector<std::string> args;
  args.reserve(static_cast<size_t>(argc > 1 ? argc - 1 : 0));
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i] != nullptr ? argv[i] : "");
  if (auto parsed = base::parsePlatformOptions(args, base::platformOptions()); !parsed) {
    return base::refuseCommandLine("tovelin", parsed.error().message, base::kPlatformUsage);
  }
  if (base::platformOptions().help) return base::printUsage(base::kPlatformUsage);

  // The bundle may have been asked for before the options were read.
  if (const auto& dir = base::platformOptions().bundleDir)
    base::Bundle::main() = base::Bundle(*dir);
  const auto& bundle = base::Bundle::main();
  const auto name = bundle.infoString("MainInterfaceFile");
  if (!name || name->empty()) {
    // An information file that could not be read has been reported as such.
    if (bundle.hasInfoFile()) {
      base::printError("the bundle's information file (" + bundle.resourcePath() +
                       "/Info.json) names no MainInterfaceFile");
    }
    return 1;
  }
  if (!bundle.pathForResource(*name, "json")) {
    base::printError("the main interface file \"" + *name + "\" is not in the bundle (" +
                     bundle.resourcePath() + ")");
    return 1;
  }

  // Opening the defaults now clears what a killed save may have left behind.
  (void)base::UserDefaults::standard();

  // A termination signal ends the program the way Quit does, from the loop.
  auto& app = Application::shared();
  int exitStatus = 0;
  const auto quitWith = [&app, &exitStatus](int status, const std::string& why) {
    if (exitStatus != 0) return;
    base::printError(why + "; quitting");
    exitStatus = status;
    app.terminate(nullptr);
  };
  auto signals = base::TerminationSignals::catchOn(base::RunLoop::main(), [&quitWith](int signo) {
    quitWith(128 + signo, "received " + base::TerminationSignals::name(signo));
  });
  if (!signals) base::printError(signals.error().message);

  // Standard output is the program's output. When its reader is gone (the
  // program piped into `head`, say), there is nothing left to do: end as
  // Quit does, with the status a death by SIGPIPE would have given, instead
  // of dying by that signal and leaving the radio's socket behind. Any other
  // failure (a full disk, say) loses lines: end the same way, but say what
  // failed and do not report success.
  const auto quitForOutput = [&quitWith](int error) {
    if (error == EPIPE) {
      quitWith(128 + SIGPIPE, "standard output was closed by its reader");
    } else {
      quitWith(1, std::string("standard output: ") + std::strerror(error));
    }
  };
  base::setOutputFailureHandler(quitForOutput);
  // A reader that does not keep up slows the phones down instead of
  // letting their lines pile up without bound.
  base::setOutputBacklogHandler(
      [](bool backlogged) { ble::Radio::shared().pauseReading(backlogged); });
  const OutputHandlersReset resetAtReturn;

  // The console answers alerts from the start: loading the interface file
  // already runs the controllers' view loading.
  registerBluetoothSwitch();
  auto console = console::Console::make(STDIN_FILENO);
  console->start();

  if (!app.loadMainInterfaceFile(*name)) {  // the loader has said why
    console->stop();
    ble::Radio::shared().shutDown();
    return 1;
  }
  app.finishLaunching();
  app.run();
  app.sendWillTerminate();
  console->stop();
  ble::Radio::shared().shutDown();
  // What slow readers have not taken yet; lines given up on are no success.
  if (base::flushOutput() > 0 && exitStatus == 0) exitStatus = 1;
  // A failure found on the loop's last turn, or by that flush, is not heard
  // from the loop.
  if (const auto error = base::outputFailure(); error && exitStatus == 0) {
    quitForOutput(*error);
    base::flushOutput();
  }
  return exitStatus;
}

}  // namespace ui
