// A phone for end-to-end tests: it speaks the virtual radio's line protocol
// on its own socket connection, under the test's full control.
#pragma once

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "proto/tovelin.pb.h"

namespace testing_support {

inline constexpr const char* kServiceUUID = "E8BCA012-F851-449B-B759-E4596B11384B";
inline constexpr const char* kCharacteristicUUID = "54AA3DEB-4BB3-4251-BC28-DF790499DF37";

class ScriptedPhone {
 public:
  // Connects to the radio at `socketPath`, retrying until it exists or
  // `timeout` passes, and advertises the link service and characteristic
  // (unless `withCharacteristic` is false). With `advertiseNow` false the
  // caller sends the first line itself.
  ScriptedPhone(const std::string& socketPath, std::string id,
                const std::optional<std::string>& name, bool withCharacteristic = true,
                bool advertiseNow = true,
                std::chrono::milliseconds timeout = std::chrono::seconds(10));
  ScriptedPhone(const ScriptedPhone&) = delete;
  ScriptedPhone& operator=(const ScriptedPhone&) = delete;
  ~ScriptedPhone();

  [[nodiscard]] bool connected() const { return fd_ >= 0; }
  [[nodiscard]] const std::string& id() const { return id_; }

  // Sends one raw line (a newline is added).
  void sendLine(const std::string& line);
  void advertise(const std::optional<std::string>& name, bool withCharacteristic = true);
  // Notifies `value` on the link characteristic.
  void notify(const std::vector<uint8_t>& value);
  void notifyPacket(const tovelin::Packet& packet);
  void sendAcceleration(double x, double y, double z);
  void sendAuthRequest(int32_t version, uint32_t challenge);
  void sendAuthInvalid();
  void sendDisconnect();
  // Closes the socket: out of range.
  void goAway();

  // The next message from the radio of `type` ("connected", "subscribe",
  // "write", ...); messages of other types read on the way are kept in
  // received().
  std::optional<nlohmann::json> waitFor(
      const std::string& type, std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // The next write's value parsed as a packet.
  std::optional<tovelin::Packet> waitForWrittenPacket(
      std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Whether the radio closed this phone's connection (reads until EOF or timeout).
  bool waitForClose(std::chrono::milliseconds timeout);

  [[nodiscard]] const std::vector<nlohmann::json>& received() const { return received_; }
  [[nodiscard]] size_t countReceived(const std::string& type) const;

 private:
  std::optional<nlohmann::json> readMessage(std::chrono::milliseconds timeout);

  std::string path_;
  std::string id_;
  int fd_ = -1;
  std::string buffer_;
  std::vector<nlohmann::json> received_;
  size_t consumed_ = 0;
  bool closedByRadio_ = false;
};

}  // namespace testing_support
