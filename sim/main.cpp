// tovelin-phone: a simulated phone on the virtual radio.
#include <unistd.h>

#include <csignal>
#include <memory>

#include "platform/base/command_line.h"
#include "platform/base/line_reader.h"
#include "platform/base/log.h"
#include "platform/base/options.h"
#include "platform/base/run_loop.h"
#include "platform/ble/radio_socket.h"
#include "sim/motion.h"
#include "sim/phone_options.h"
#include "sim/simulated_phone.h"

namespace {
constexpr size_t kMaxCommandLine = 4096;
}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  auto parsed = sim::parsePhoneOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed)
    return base::refuseCommandLine("tovelin-phone", parsed.error().message, sim::kPhoneUsage);
  const auto& options = *parsed;
  if (options.help) return base::printUsage(sim::kPhoneUsage);

  std::unique_ptr<sim::MotionSource> motion;
  if (options.trace) {
    auto trace = sim::TraceMotion::load(*options.trace);
    if (!trace) {
      base::printError("tovelin-phone: " + trace.error().message);
      return 2;
    }
    motion = std::make_unique<sim::TraceMotion>(*std::move(trace));
  } else {
    motion = std::make_unique<sim::BuiltInDrive>();
  }

  if (options.radioPath) base::platformOptions().radioPath = options.radioPath;
  auto& loop = base::RunLoop::main();
  auto phone = sim::SimulatedPhone::make(options, ble::resolveRadioPath(), std::move(motion),
                                         [&loop] { loop.stop(); });
  // Commands on standard input are optional: at its end the phone drives on.
  auto input = base::LineReader::watch(
      STDIN_FILENO, kMaxCommandLine,
      {.line =
           [&loop, &phone](const std::string& line) {
             if (!phone->command(line)) loop.stop();
           },
       .overlong =
           [] { base::printError("tovelin-phone: skipped a command line that is too long"); },
       .end =
           [](const std::string& why) {
             if (!why.empty()) base::printError("tovelin-phone: commands: " + why);
           }});
  phone->start();
  loop.run();
  return 0;
}
