#include "platform/console/application_main.h"

#include <unistd.h>

#include <string>
#include <vector>

#include "platform/base/bundle.h"
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
    ble::Radio::shared().setAdapterState(*state);
    return base::ok();
  });
}

}  // namespace

int ApplicationMain(int argc, char** argv) {
  std::vector<std::string> args;
  args.reserve(static_cast<size_t>(argc > 0 ? argc : 0));
  for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] != nullptr ? argv[i] : "");
  if (auto parsed = base::parsePlatformOptions(args, base::platformOptions()); !parsed) {
    base::printError(parsed.error().message);
    return 2;
  }

  // The bundle may have been asked for before the options were read.
  if (const auto& dir = base::platformOptions().bundleDir)
    base::Bundle::main() = base::Bundle(*dir);
  const auto& bundle = base::Bundle::main();
  const auto name = bundle.infoString("MainInterfaceFile");
  if (!name || name->empty()) {
    base::printError("the bundle's information file (" + bundle.resourcePath() +
                     "/Info.json) names no MainInterfaceFile");
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
  auto signals =
      base::TerminationSignals::catchOn(base::RunLoop::main(), [&app, &exitStatus](int signo) {
        if (exitStatus != 0) return;
        base::printError("received " + base::TerminationSignals::name(signo) + "; quitting");
        exitStatus = 128 + signo;
        app.terminate(nullptr);
      });
  if (!signals) base::printError(signals.error().message);

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
  base::flushErrors(500);  // what a slow reader of standard error has not taken yet
  return exitStatus;
}

}  // namespace ui
