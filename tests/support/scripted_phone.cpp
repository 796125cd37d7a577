#include "tests/support/scripted_phone.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "platform/ble/base64.h"
#include "proto/packet_codec.h"

namespace testing_support {

using Clock = std::chrono::steady_clock;

ScriptedPhone::ScriptedPhone(const std::string& socketPath, std::string id,
                             const std::optional<std::string>& name, bool withCharacteristic,
                             bool advertiseNow, std::chrono::milliseconds timeout)
    : path_(socketPath), id_(std::move(id)) {
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path_.c_str(), sizeof addr.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
      fd_ = fd;
      break;
    }
    ::close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (fd_ >= 0 && advertiseNow) advertise(name, withCharacteristic);
}

ScriptedPhone::~ScriptedPhone() { goAway(); }

void ScriptedPhone::sendLine(const std::string& line) {
  if (fd_ < 0) return;
  const std::string text = line + "\n";
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::send(fd_, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

void ScriptedPhone::advertise(const std::optional<std::string>& name, bool withCharacteristic) {
  nlohmann::json service = {{"uuid", kServiceUUID}, {"characteristics", nlohmann::json::array()}};
  if (withCharacteristic) service["characteristics"].push_back(kCharacteristicUUID);
  nlohmann::json message = {{"type", "advertise"},
                            {"id", id_},
                            {"name", name ? nlohmann::json(*name) : nlohmann::json(nullptr)},
                            {"services", nlohmann::json::array({service})}};
  sendLine(message.dump());
}

void ScriptedPhone::notify(const std::vector<uint8_t>& value) {
  sendLine(nlohmann::json{{"type", "notify"},
                          {"service", kServiceUUID},
                          {"characteristic", kCharacteristicUUID},
                          {"value", ble::base64Encode(value)}}
               .dump());
}

void ScriptedPhone::notifyPacket(const tovelin::Packet& packet) {
  notify(tovelin::serializePacket(packet));
}

void ScriptedPhone::sendAcceleration(double x, double y, double z) {
  tovelin::Packet packet;
  auto* update = packet.mutable_acceleration_update();
  update->set_x(x);
  update->set_y(y);
  update->set_z(z);
  notifyPacket(packet);
}

void ScriptedPhone::sendAuthRequest(int32_t version, uint32_t challenge) {
  tovelin::Packet packet;
  packet.mutable_auth_request()->set_version(version);
  packet.mutable_auth_request()->set_challenge(challenge);
  notifyPacket(packet);
}

void ScriptedPhone::sendAuthInvalid() {
  tovelin::Packet packet;
  packet.mutable_auth_invalid();
  notifyPacket(packet);
}

void ScriptedPhone::sendDisconnect() { sendLine(R"({"type":"disconnect"})"); }

void ScriptedPhone::goAway() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::optional<nlohmann::json> ScriptedPhone::readMessage(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const auto nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      auto parsed = nlohmann::json::parse(buffer_.substr(0, nl), nullptr, false);
      buffer_.erase(0, nl + 1);
      received_.push_back(parsed);
      return parsed;
    }
    if (fd_ < 0) return std::nullopt;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() < 0) return std::nullopt;  // zero still looks once
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
    char buf[4096];
    const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) {
      closedByRadio_ = true;
      goAway();
      return std::nullopt;
    }
    buffer_.append(buf, static_cast<size_t>(n));
  }
}

std::optional<nlohmann::json> ScriptedPhone::waitFor(const std::string& type,
                                                     std::chrono::milliseconds timeout) {
  // Messages already read but not yet asked for come first.
  while (consumed_ < received_.size()) {
    const auto& m = received_[consumed_++];
    if (m.is_object() && m.value("type", "") == type) return m;
  }
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    auto m = readMessage(left);
    if (!m) return std::nullopt;
    consumed_ = received_.size();
    if (m->is_object() && m->value("type", "") == type) return m;
  }
}

std::optional<tovelin::Packet> ScriptedPhone::waitForWrittenPacket(
    std::chrono::milliseconds timeout) {
  auto write = waitFor("write", timeout);
  if (!write) return std::nullopt;
  auto bytes = ble::base64Decode(write->value("value", ""));
  if (!bytes) return std::nullopt;
  return tovelin::parsePacket(*bytes);
}

bool ScriptedPhone::waitForClose(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!closedByRadio_ && fd_ >= 0 && Clock::now() < deadline) {
    readMessage(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
  }
  return closedByRadio_;
}

size_t ScriptedPhone::countReceived(const std::string& type) const {
  size_t n = 0;
  for (const auto& m : received_) n += m.is_object() && m.value("type", "") == type ? 1U : 0U;
  return n;
}

}  // namespace testing_support
