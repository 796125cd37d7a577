#include "sim/simulated_phone.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include "platform/ble/base64.h"
#include "platform/ble/radio_socket.h"
#include "proto/packet_codec.h"

namespace sim {
namespace {

using namespace std::chrono_literals;
namespace radio = ble::radio;

const std::string kService = "E8BCA012-F851-449B-B759-E4596B11384B";
const std::string kChar = "54AA3DEB-4BB3-4251-BC28-DF790499DF37";
// CRC-32/POSIX of the challenge's 4 bytes (big-endian) and the salt,
// worked out independently of the code under test.
constexpr uint32_t kChallenge = 0xDEADBEEF;
constexpr uint32_t kDigest = 0x36BEE164;

// The desktop's end of the radio, scripted: listens, accepts the phone,
// and speaks the radio's side of the protocol.
class ScriptedCentral {
 public:
  ScriptedCentral() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sim-test-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
    path_ = folder_ + "/radio.sock";
  }
  ~ScriptedCentral() {
    if (phone_ >= 0) ::close(phone_);
    if (listen_ >= 0) ::close(listen_);
    std::filesystem::remove_all(folder_);
  }
  ScriptedCentral(const ScriptedCentral&) = delete;
  ScriptedCentral& operator=(const ScriptedCentral&) = delete;

  [[nodiscard]] const std::string& path() const { return path_; }
  void listen() {
    auto result = ble::listenOnRadio(path_);
    ASSERT_TRUE(result) << result.error().message;
    listen_ = *result;
  }
  bool accept(std::chrono::milliseconds timeout = 3s) {
    if (phone_ >= 0) ::close(phone_);
    phone_ = -1;
    pending_.clear();
    return base::RunLoop::main().runUntil(
        [&] {
          if (phone_ < 0) phone_ = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK);
          return phone_ >= 0;
        },
        timeout);
  }
  void send(const radio::RadioMessage& message) {
    const std::string line = radio::encode(message) + "\n";
    ASSERT_EQ(::send(phone_, line.data(), line.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(line.size()));
  }
  void subscribe(bool enabled) {
    send(radio::Subscribe{ble::UUID::withString(kService), ble::UUID::withString(kChar), enabled});
  }
  void write(const std::vector<uint8_t>& value) {
    send(radio::Write{ble::UUID::withString(kService), ble::UUID::withString(kChar), value, true});
  }
  // The next line from the phone, parsed; nothing on time-out or close.
  std::optional<radio::PhoneMessage> next(std::chrono::milliseconds timeout = 2s) {
    std::optional<radio::PhoneMessage> message;
    base::RunLoop::main().runUntil(
        [&] {
          if (!message) message = take();
          return message.has_value() || closed_;
        },
        timeout);
    return message;
  }
  // The next notified packet.
  std::optional<tovelin::Packet> nextPacket(std::chrono::milliseconds timeout = 2s) {
    auto message = next(timeout);
    if (!message || !std::holds_alternative<radio::Notify>(*message)) return std::nullopt;
    const auto& notify = std::get<radio::Notify>(*message);
    EXPECT_EQ(notify.service.description(), kService);
    EXPECT_EQ(notify.characteristic.description(), kChar);
    return tovelin::parsePacket(notify.value);
  }
  bool waitForClose(std::chrono::milliseconds timeout = 2s) {
    return base::RunLoop::main().runUntil(
        [&] {
          while (take()) {
          }
          return closed_;
        },
        timeout);
  }

  // Takes the phone through subscription and its authentication request.
  uint32_t handshakeUpToRequest() {
    EXPECT_TRUE(accept());
    auto advertise = next();
    EXPECT_TRUE(advertise && std::holds_alternative<radio::Advertise>(*advertise));
    send(radio::Connected{});
    subscribe(true);
    auto request = nextPacket();
    EXPECT_TRUE(request && request->has_auth_request());
    return request ? request->auth_request().challenge() : 0;
  }

 private:
  std::optional<radio::PhoneMessage> take() {
    char buf[4096];
    for (;;) {
      const ssize_t n = ::recv(phone_, buf, sizeof buf, MSG_DONTWAIT);
      if (n > 0) {
        pending_.append(buf, static_cast<size_t>(n));
        continue;
      }
      if (n == 0) closed_ = true;
      break;
    }
    const size_t end = pending_.find('\n');
    if (end == std::string::npos) return std::nullopt;
    const std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    auto parsed = radio::parsePhoneMessage(line);
    EXPECT_TRUE(parsed.ok()) << line;
    if (!parsed) return std::nullopt;
    return *std::move(parsed);
  }

  std::string folder_;
  std::string path_;
  int listen_ = -1;
  int phone_ = -1;
  std::string pending_;
  bool closed_ = false;
};

// A motion that never changes, so the streamed values are known exactly.
class Constant : public MotionSource {
 public:
  explicit Constant(double seconds = 1000) : seconds_(seconds) {}
  [[nodiscard]] Acceleration at(double /*t*/) const override { return {0.5, -1.25, 3.0}; }
  [[nodiscard]] double duration() const override { return seconds_; }

 private:
  double seconds_;
};

std::vector<uint8_t> answer(uint32_t digest, const std::string& pin) {
  tovelin::Packet packet;
  packet.mutable_auth_response()->set_digest(digest);
  packet.mutable_auth_response()->set_pin_code(pin);
  packet.mutable_auth_response()->set_device_name("Desk");
  return tovelin::serializePacket(packet);
}

class SimulatedPhoneTest : public ::testing::Test {
 protected:
  std::shared_ptr<SimulatedPhone> makePhone(PhoneOptions options, double seconds = 1000) {
    options.rate = 100;
    auto phone = SimulatedPhone::make(options, central.path(), std::make_unique<Constant>(seconds),
                                      [this] { finished = true; });
    phone->setChallengeSource([] { return kChallenge; });
    return phone;
  }
  static PhoneOptions defaults() { return *parsePhoneOptions({}); }

  ScriptedCentral central;
  bool finished = false;
};

TEST_F(SimulatedPhoneTest, AdvertisesItsNameIdAndTheLinkService) {
  central.listen();
  auto phone = makePhone(defaults());
  phone->start();
  ASSERT_TRUE(central.accept());
  auto message = central.next();
  ASSERT_TRUE(message && std::holds_alternative<radio::Advertise>(*message));
  const auto& advertise = std::get<radio::Advertise>(*message);
  EXPECT_EQ(advertise.name, "Simulated Phone");
  EXPECT_EQ(advertise.id, identifierForName("Simulated Phone"));
  ASSERT_EQ(advertise.services.size(), 1u);
  EXPECT_EQ(advertise.services[0].uuid.description(), kService);
  EXPECT_EQ(advertise.services[0].characteristics,
            std::vector<ble::UUID>{ble::UUID::withString(kChar)});
}

TEST_F(SimulatedPhoneTest, TheRightPinAndDigestStartTheStream) {
  central.listen();
  auto options = defaults();
  options.version = 7;
  auto phone = makePhone(options);
  phone->start();
  EXPECT_EQ(central.handshakeUpToRequest(), kChallenge);
  EXPECT_FALSE(phone->streaming()) << "nothing streams before the answer";
  central.write(answer(kDigest, "1234"));
  for (int i = 0; i < 3; ++i) {
    auto packet = central.nextPacket();
    ASSERT_TRUE(packet && packet->has_acceleration_update());
    EXPECT_EQ(packet->acceleration_update().x(), 0.5);
    EXPECT_EQ(packet->acceleration_update().y(), -1.25);
    EXPECT_EQ(packet->acceleration_update().z(), 3.0);
  }
  central.subscribe(false);
  base::RunLoop::main().runFor(30ms);
  EXPECT_FALSE(phone->streaming()) << "unsubscribing stops the stream";
}

TEST_F(SimulatedPhoneTest, TheRequestCarriesTheConfiguredVersion) {
  central.listen();
  auto options = defaults();
  options.version = 250;
  auto phone = makePhone(options);
  phone->start();
  ASSERT_TRUE(central.accept());
  central.next();
  central.subscribe(true);
  auto request = central.nextPacket();
  ASSERT_TRUE(request && request->has_auth_request());
  EXPECT_EQ(request->auth_request().version(), 250);
}

struct BadAnswer {
  const char* label;
  uint32_t digest;
  std::string pin;
};

class RefusedAnswer : public SimulatedPhoneTest, public ::testing::WithParamInterface<BadAnswer> {};

TEST_P(RefusedAnswer, GetsAuthInvalidAndNoStream) {
  central.listen();
  auto phone = makePhone(defaults());
  phone->start();
  central.handshakeUpToRequest();
  central.write(answer(GetParam().digest, GetParam().pin));
  auto refusal = central.nextPacket();
  ASSERT_TRUE(refusal);
  EXPECT_TRUE(refusal->has_auth_invalid());
  EXPECT_FALSE(central.next(100ms)) << "nothing streams after a refusal";
  EXPECT_FALSE(phone->streaming());

  central.write(answer(kDigest, "1234"));  // too late: the request was answered
  EXPECT_FALSE(central.next(100ms));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, RefusedAnswer,
    ::testing::Values(BadAnswer{"wrong_pin", kDigest, "4321"}, BadAnswer{"empty_pin", kDigest, ""},
                      BadAnswer{"wrong_digest", kDigest ^ 1, "1234"},
                      BadAnswer{"digest_of_other_challenge", 0x6DEC3F6E, "1234"}),
    [](const auto& test) { return std::string(test.param.label); });

TEST_F(SimulatedPhoneTest, WithoutTheHandshakeItStreamsOnSubscription) {
  central.listen();
  auto options = defaults();
  options.handshake = false;
  auto phone = makePhone(options);
  phone->start();
  ASSERT_TRUE(central.accept());
  central.next();
  central.subscribe(true);
  auto packet = central.nextPacket();
  ASSERT_TRUE(packet);
  EXPECT_TRUE(packet->has_acceleration_update());
  central.send(radio::Disconnected{});
  base::RunLoop::main().runFor(30ms);
  EXPECT_FALSE(phone->streaming()) << "a disconnection stops the stream";
}

TEST_F(SimulatedPhoneTest, OnceStopsAfterOneRun) {
  central.listen();
  auto options = defaults();
  options.handshake = false;
  options.once = true;
  auto phone = makePhone(options, 0.1);
  phone->start();
  ASSERT_TRUE(central.accept());
  central.next();
  central.subscribe(true);
  ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return finished; }, 2s));
  EXPECT_FALSE(phone->streaming());
  EXPECT_GE(phone->packetsSent(), 5u);
}

TEST_F(SimulatedPhoneTest, ConsoleCommands) {
  central.listen();
  auto phone = makePhone(defaults());
  phone->start();
  ASSERT_TRUE(central.accept());
  central.next();

  EXPECT_TRUE(phone->command("raw 1A 00"));
  auto raw = central.next();
  ASSERT_TRUE(raw && std::holds_alternative<radio::Notify>(*raw));
  EXPECT_EQ(std::get<radio::Notify>(*raw).value, (std::vector<uint8_t>{0x1A, 0x00}));

  EXPECT_TRUE(phone->command("raw 1G"));  // refused, nothing sent
  EXPECT_TRUE(phone->command("warp"));
  EXPECT_TRUE(phone->command("disconnect"));
  auto bye = central.next();
  ASSERT_TRUE(bye);
  EXPECT_TRUE(std::holds_alternative<radio::PhoneDisconnect>(*bye)) << "bad commands sent nothing";

  EXPECT_TRUE(phone->command("away"));
  EXPECT_TRUE(central.waitForClose());
  EXPECT_TRUE(phone->command("back"));
  ASSERT_TRUE(central.accept());
  auto again = central.next();
  EXPECT_TRUE(again && std::holds_alternative<radio::Advertise>(*again));
  EXPECT_FALSE(phone->command("quit"));
}

TEST_F(SimulatedPhoneTest, WaitsForTheRadioToAppear) {
  auto phone = makePhone(defaults());
  phone->start();
  base::RunLoop::main().runFor(100ms);
  central.listen();
  ASSERT_TRUE(central.accept(3s));
  auto message = central.next();
  EXPECT_TRUE(message && std::holds_alternative<radio::Advertise>(*message));
}

}  // namespace
}  // namespace sim
