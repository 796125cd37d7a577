// The simulated phone and the real Bluetooth central, both on the run loop,
// through a real radio socket: the whole road of the handshake.
#include <gtest/gtest.h>

#include "platform/ble/scripted_phone_test_support.h"
#include "proto/packet_codec.h"
#include "sim/simulated_phone.h"

namespace sim {
namespace {

using namespace std::chrono_literals;

const ble::UUID kService = ble::UUID::withString("E8BCA012-F851-449B-B759-E4596B11384B");

// Answers every authentication request with `pin`, as the desktop does, and
// counts what arrives.
class Desktop : public ble::testing::Recorder {
 public:
  std::string pin = "1234";
  uint32_t digestFor(uint32_t challenge) const { return expectedDigest(challenge) ^ tamper; }
  uint32_t tamper = 0;
  int requests = 0;
  int accelerations = 0;
  int refusals = 0;

  void peripheralDidUpdateValueForCharacteristic(const std::shared_ptr<ble::Peripheral>& p,
                                                 const std::shared_ptr<ble::Characteristic>& c,
                                                 const std::optional<ble::Error>& /*e*/) override {
    auto packet = tovelin::parsePacket(*c->value());
    if (!packet) return;
    if (packet->has_acceleration_update()) ++accelerations;
    if (packet->has_auth_invalid()) ++refusals;
    if (!packet->has_auth_request()) return;
    ++requests;
    tovelin::Packet response;
    response.mutable_auth_response()->set_digest(digestFor(packet->auth_request().challenge()));
    response.mutable_auth_response()->set_pin_code(pin);
    response.mutable_auth_response()->set_device_name("Test desk");
    p->writeValue(tovelin::serializePacket(response), c,
                  ble::CharacteristicWriteType::withResponse);
  }
};

class PhoneWithCentral : public ::testing::Test {
 protected:
  void connectAndSubscribe(const PhoneOptions& options) {
    phone = SimulatedPhone::make(options, radio.path(), std::make_unique<BuiltInDrive>(), {});
    phone->start();
    desktop = std::make_shared<Desktop>();
    central = ble::CentralManager::make(desktop, nullptr);
    ASSERT_TRUE(desktop->waitFor("state 5"));
    central->scanForPeripherals(std::vector<ble::UUID>{kService});
    ASSERT_TRUE(desktop->waitFor("discover " + options.name));
    auto p = desktop->discovered.back();
    p->setDelegate(desktop);
    central->connectPeripheral(p);
    ASSERT_TRUE(desktop->waitFor("connect " + options.name));
    p->discoverServices(std::vector<ble::UUID>{kService});
    ASSERT_TRUE(desktop->waitFor("services E8BC"));
    p->discoverCharacteristics(std::nullopt, p->services()->front());
    ASSERT_TRUE(desktop->waitFor("characteristics 54AA"));
    p->setNotifyValue(true, desktop->lastService->characteristics()->front());
  }

  ble::testing::TempRadio radio;
  std::shared_ptr<SimulatedPhone> phone;
  std::shared_ptr<Desktop> desktop;
  std::shared_ptr<ble::CentralManager> central;
};

TEST_F(PhoneWithCentral, TheRightPinBringsTheStream) {
  connectAndSubscribe(*parsePhoneOptions({"--name", "Road phone"}));
  ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return desktop->accelerations >= 10; }, 3s));
  EXPECT_EQ(desktop->requests, 1);
  EXPECT_EQ(desktop->refusals, 0);
}

TEST_F(PhoneWithCentral, AWrongPinOrDigestIsRefused) {
  for (const bool wrongPin : {true, false}) {
    SCOPED_TRACE(wrongPin ? "wrong PIN" : "wrong digest");
    connectAndSubscribe(*parsePhoneOptions({"--pin", "0000"}));
    desktop->pin = wrongPin ? "1234" : "0000";
    desktop->tamper = wrongPin ? 0 : 0x80000000u;
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return desktop->refusals == 1; }, 3s));
    base::RunLoop::main().runFor(100ms);
    EXPECT_EQ(desktop->accelerations, 0);
    central.reset();
    phone.reset();
    base::RunLoop::main().runFor(20ms);
  }
}

}  // namespace
}  // namespace sim
