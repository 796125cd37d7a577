// Test support: a phone scripted by a test, on a real socket to the radio,
// and a delegate that writes down every callback as a line of text.
#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/options.h"
#include "platform/base/run_loop.h"
#include "platform/ble/central_manager.h"
#include "platform/ble/radio.h"
#include "platform/ble/radio_socket.h"

namespace ble::testing {

using namespace std::chrono_literals;

// The link service and characteristic, two phone identifiers, and the
// advertised table of a phone that offers the link service alone.
inline const std::string kLink = "E8BCA012-F851-449B-B759-E4596B11384B";
inline const std::string kChar = "54AA3DEB-4BB3-4251-BC28-DF790499DF37";
inline const std::string kIdA = "11111111-2222-3333-4444-555555555555";
inline const std::string kIdB = "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE";
inline const std::string kLinkTable =
    R"([{"uuid":")" + kLink + R"(","characteristics":[")" + kChar + R"("]}])";

// A fresh radio in a private temporary folder for each test.
class TempRadio {
 public:
  TempRadio() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ble-test-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
    base::platformOptions().radioPath = folder_ + "/radio.sock";
    Radio::shared().setAdapterState(ManagerState::poweredOn);
    Radio::shared().restart();
  }
  ~TempRadio() {
    Radio::shared().stop();
    base::RunLoop::main().runFor(5ms);  // let posted callbacks of the old objects run out
    base::platformOptions().radioPath.reset();
    std::filesystem::remove_all(folder_);
  }
  TempRadio(const TempRadio&) = delete;
  TempRadio& operator=(const TempRadio&) = delete;
  [[nodiscard]] std::string path() const { return folder_ + "/radio.sock"; }

 private:
  std::string folder_;
};

class ScriptedPhone {
 public:
  explicit ScriptedPhone(const std::string& path) {
    auto result = connectToRadio(path);
    if (result) fd_ = *result;
  }
  ~ScriptedPhone() { close(); }
  ScriptedPhone(const ScriptedPhone&) = delete;
  ScriptedPhone& operator=(const ScriptedPhone&) = delete;

  [[nodiscard]] bool connected() const { return fd_ >= 0; }

  // Sends `text` as it is (a test adds the line feed where it wants one).
  void sendRaw(const std::string& text) {
    size_t sent = 0;
    while (fd_ >= 0 && sent < text.size()) {
      const ssize_t n = ::send(fd_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) {
        if (n < 0 && errno == EAGAIN) {
          base::RunLoop::main().runFor(1ms);  // let the radio read
          continue;
        }
        return;
      }
      sent += static_cast<size_t>(n);
    }
  }
  void send(const std::string& line) { sendRaw(line + "\n"); }

  void advertise(const std::string& id, const std::string& nameJson,
                 const std::string& servicesJson) {
    send(R"({"type":"advertise","id":")" + id + R"(","name":)" + nameJson + R"(,"services":)" +
         servicesJson + "}");
  }

  // Reads whatever the radio sent so far; notes when it closed the socket.
  void pump() {
    char buf[4096];
    while (fd_ >= 0) {
      const ssize_t n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
      if (n > 0) {
        pending_.append(buf, static_cast<size_t>(n));
        continue;
      }
      if (n == 0 || (errno != EAGAIN && errno != EINTR)) closedByRadio_ = true;
      break;
    }
    for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
      lines_.push_back(pending_.substr(0, end));
      pending_.erase(0, end + 1);
    }
  }

  // Runs the loop until the radio sent a line equal to `line`.
  bool waitFor(const std::string& line, std::chrono::milliseconds timeout = 2s) {
    // runUntil() asks its predicate once more at the end: keep it free of
    // side effects and take the match afterwards.
    auto find = [&] {
      pump();
      for (size_t i = seen_; i < lines_.size(); ++i) {
        if (lines_[i] == line) return i + 1;
      }
      return size_t{0};
    };
    if (!base::RunLoop::main().runUntil([&] { return find() != 0; }, timeout)) return false;
    seen_ = find();
    return true;
  }
  bool waitForClose(std::chrono::milliseconds timeout = 2s) {
    return base::RunLoop::main().runUntil(
        [&] {
          pump();
          return closedByRadio_;
        },
        timeout);
  }
  // Every line received so far.
  const std::vector<std::string>& lines() {
    pump();
    return lines_;
  }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
  std::string pending_;
  std::vector<std::string> lines_;
  size_t seen_ = 0;
  bool closedByRadio_ = false;
};

// Writes each callback down as one line, e.g. "connect Phone A".
class Recorder : public CentralManagerDelegate, public PeripheralDelegate {
 public:
  std::vector<std::string> events;
  std::vector<std::shared_ptr<Peripheral>> discovered;
  std::shared_ptr<Service> lastService;
  std::vector<std::shared_ptr<Service>> lastInvalidated;

  static std::string nameOf(const std::shared_ptr<Peripheral>& p) {
    return p->name().value_or("unnamed");
  }
  void centralManagerDidUpdateState(const std::shared_ptr<CentralManager>& central) override {
    events.push_back("state " + std::to_string(static_cast<int>(central->state())));
  }
  void centralManagerDidDiscoverPeripheral(const std::shared_ptr<CentralManager>& /*c*/,
                                           const std::shared_ptr<Peripheral>& p,
                                           const AdvertisementData& /*data*/,
                                           int /*rssi*/) override {
    discovered.push_back(p);
    events.push_back("discover " + nameOf(p));
  }
  void centralManagerDidConnectPeripheral(const std::shared_ptr<CentralManager>& /*c*/,
                                          const std::shared_ptr<Peripheral>& p) override {
    events.push_back("connect " + nameOf(p));
  }
  void centralManagerDidDisconnectPeripheral(const std::shared_ptr<CentralManager>& /*c*/,
                                             const std::shared_ptr<Peripheral>& p,
                                             const std::optional<Error>& error) override {
    events.push_back("disconnect " + nameOf(p) +
                     (error ? " (" + error->localizedDescription() + ")" : ""));
  }
  void peripheralDidDiscoverServices(const std::shared_ptr<Peripheral>& p,
                                     const std::optional<Error>& /*error*/) override {
    std::string line = "services";
    if (p->services()) {
      for (const auto& s : *p->services()) line += " " + s->uuid().description().substr(0, 4);
    }
    events.push_back(line);
  }
  void peripheralDidModifyServices(
      const std::shared_ptr<Peripheral>& /*p*/,
      const std::vector<std::shared_ptr<Service>>& invalidated) override {
    lastInvalidated = invalidated;
    events.push_back("modified " + std::to_string(invalidated.size()));
  }
  void peripheralDidDiscoverCharacteristicsForService(const std::shared_ptr<Peripheral>& /*p*/,
                                                      const std::shared_ptr<Service>& s,
                                                      const std::optional<Error>& error) override {
    lastService = s;
    std::string line = "characteristics";
    if (s->characteristics()) {
      for (const auto& c : *s->characteristics())
        line += " " + c->uuid().description().substr(0, 4);
    }
    if (error) line += " (" + error->localizedDescription() + ")";
    events.push_back(line);
  }
  void peripheralDidUpdateValueForCharacteristic(const std::shared_ptr<Peripheral>& /*p*/,
                                                 const std::shared_ptr<Characteristic>& c,
                                                 const std::optional<Error>& /*error*/) override {
    std::string line = "value";
    for (const uint8_t b : c->value().value_or(std::vector<uint8_t>{})) {
      line += " " + std::to_string(b);
    }
    events.push_back(line);
  }

  // Runs the loop until `event` was recorded (after those already matched).
  bool waitFor(const std::string& event, std::chrono::milliseconds timeout = 2s) {
    auto find = [&] {
      for (size_t i = matched_; i < events.size(); ++i) {
        if (events[i] == event) return i + 1;
      }
      return size_t{0};
    };
    if (!base::RunLoop::main().runUntil([&] { return find() != 0; }, timeout)) return false;
    matched_ = find();
    return true;
  }
  // Events after the last one matched by waitFor().
  std::vector<std::string> unmatched() const {
    return {events.begin() + static_cast<std::ptrdiff_t>(matched_), events.end()};
  }

 private:
  size_t matched_ = 0;
};

}  // namespace ble::testing
