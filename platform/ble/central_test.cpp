#include "platform/ble/central_manager.h"

#include <gtest/gtest.h>

#include "platform/ble/radio.h"
#include "platform/ble/scripted_phone_test_support.h"

namespace ble {
namespace {

using testing::kChar;
using testing::kIdA;
using testing::kIdB;
using testing::kLink;
using testing::kLinkTable;
using testing::Recorder;
using testing::ScriptedPhone;
using testing::TempRadio;
using namespace std::chrono_literals;

const std::string kOther = "0000180F-0000-1000-8000-00805F9B34FB";
const std::string kOtherChar = "00002A19-0000-1000-8000-00805F9B34FB";
const std::string kBothTable = R"([{"uuid":")" + kOther + R"(","characteristics":[")" + kOtherChar +
                               R"("]},{"uuid":")" + kLink + R"(","characteristics":[")" + kChar +
                               R"(",")" + kOtherChar + R"("]}])";
const std::string kOtherTable = R"([{"uuid":")" + kOther + R"(","characteristics":[]}])";

class CentralTest : public ::testing::Test {
 protected:
  void SetUp() override {
    recorder = std::make_shared<Recorder>();
    central = CentralManager::make(recorder, nullptr);
    ASSERT_TRUE(recorder->waitFor("state 5"));
  }
  void TearDown() override { central.reset(); }

  std::vector<UUID> link() const { return {UUID::withString(kLink)}; }

  // A phone in range that the central has discovered (scan stopped again).
  std::shared_ptr<Peripheral> discover(ScriptedPhone& phone, const std::string& id,
                                       const std::string& name, const std::string& table) {
    phone.advertise(id, "\"" + name + "\"", table);
    central->scanForPeripherals(std::nullopt);
    EXPECT_TRUE(recorder->waitFor("discover " + name));
    central->stopScan();
    return recorder->discovered.back();
  }

  // Connected, delegate set, services and characteristics discovered.
  std::shared_ptr<Characteristic> subscribeReady(ScriptedPhone& phone,
                                                 std::shared_ptr<Peripheral>& peripheral) {
    peripheral = discover(phone, kIdA, "A", kLinkTable);
    peripheral->setDelegate(recorder);
    central->connectPeripheral(peripheral);
    EXPECT_TRUE(phone.waitFor(R"({"type":"connected"})"));
    EXPECT_TRUE(recorder->waitFor("connect A"));
    peripheral->discoverServices(link());
    EXPECT_TRUE(recorder->waitFor("services E8BC"));
    peripheral->discoverCharacteristics(std::nullopt, peripheral->services()->front());
    EXPECT_TRUE(recorder->waitFor("characteristics 54AA"));
    return recorder->lastService->characteristics()->front();
  }

  TempRadio radio;
  std::shared_ptr<Recorder> recorder;
  std::shared_ptr<CentralManager> central;
};

TEST_F(CentralTest, ScanReportsOnlyPhonesOfferingAFilteredService) {
  ScriptedPhone a(radio.path());
  ScriptedPhone b(radio.path());
  ScriptedPhone c(radio.path());
  a.advertise(kIdA, R"("A")", kBothTable);
  b.advertise(kIdB, R"("B")", kOtherTable);
  c.advertise("CCCCCCCC-0000-0000-0000-000000000000", "null", "[]");
  base::RunLoop::main().runFor(20ms);

  central->scanForPeripherals(link());
  ASSERT_TRUE(recorder->waitFor("discover A"));
  base::RunLoop::main().runFor(30ms);
  EXPECT_EQ(recorder->events.size(), 2u) << "only A offers the link service";

  central->scanForPeripherals(std::nullopt);
  base::RunLoop::main().runFor(30ms);
  const std::vector<std::string> all(recorder->events.begin() + 2, recorder->events.end());
  EXPECT_EQ(all, (std::vector<std::string>{"discover A", "discover B", "discover unnamed"}));
}

TEST_F(CentralTest, EveryAdvertiseIsReportedAgainWithTheSameObject) {
  ScriptedPhone phone(radio.path());
  auto first = discover(phone, kIdA, "A", kLinkTable);
  central->scanForPeripherals(link());
  ASSERT_TRUE(recorder->waitFor("discover A"));  // once at the start of the scan
  phone.advertise(kIdA, R"("A renamed")", kLinkTable);
  ASSERT_TRUE(recorder->waitFor("discover A renamed"));
  EXPECT_EQ(recorder->discovered.back(), first);
  EXPECT_EQ(first->name(), "A renamed");

  central->stopScan();
  EXPECT_FALSE(central->isScanning());
  phone.advertise(kIdA, R"("A again")", kLinkTable);
  base::RunLoop::main().runFor(30ms);
  EXPECT_TRUE(recorder->unmatched().empty()) << "no report after stopScan";
}

TEST_F(CentralTest, CallbacksNeverComeFromInsideTheCall) {
  ScriptedPhone phone(radio.path());
  auto p = discover(phone, kIdA, "A", kLinkTable);
  const size_t before = recorder->events.size();
  central->connectPeripheral(p);
  central->scanForPeripherals(std::nullopt);
  EXPECT_EQ(recorder->events.size(), before);
  ASSERT_TRUE(recorder->waitFor("connect A"));
}

TEST_F(CentralTest, ConnectAgainReportsConnectedAndCancelReportsDisconnected) {
  ScriptedPhone phone(radio.path());
  auto p = discover(phone, kIdA, "A", kLinkTable);
  central->connectPeripheral(p);
  ASSERT_TRUE(phone.waitFor(R"({"type":"connected"})"));
  ASSERT_TRUE(recorder->waitFor("connect A"));
  EXPECT_EQ(p->state(), PeripheralState::connected);

  central->connectPeripheral(p);
  ASSERT_TRUE(recorder->waitFor("connect A"));

  central->cancelPeripheralConnection(p);
  ASSERT_TRUE(phone.waitFor(R"({"type":"disconnected"})"));
  ASSERT_TRUE(recorder->waitFor("disconnect A"));
  EXPECT_EQ(p->state(), PeripheralState::disconnected);
  const auto lines = phone.lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), R"({"type":"connected"})"), 1)
      << "the phone hears of one connection";
}

TEST_F(CentralTest, CancellingAPendingRequestReportsADisconnection) {
  std::shared_ptr<Peripheral> p;
  {
    ScriptedPhone phone(radio.path());
    p = discover(phone, kIdA, "A", kLinkTable);
  }
  base::RunLoop::main().runFor(20ms);  // the phone is out of range now
  central->connectPeripheral(p);
  base::RunLoop::main().runFor(20ms);
  EXPECT_EQ(p->state(), PeripheralState::connecting);
  central->cancelPeripheralConnection(p);
  ASSERT_TRUE(recorder->waitFor("disconnect A"));

  ScriptedPhone back(radio.path());
  back.advertise(kIdA, R"("A")", kLinkTable);
  base::RunLoop::main().runFor(30ms);
  EXPECT_TRUE(recorder->unmatched().empty()) << "a cancelled request does not complete";
  EXPECT_TRUE(back.lines().empty());
}

TEST_F(CentralTest, OutOfRangeAndBackCompletesTheWaitingRequestOnTheSameObject) {
  auto phone = std::make_unique<ScriptedPhone>(radio.path());
  auto p = discover(*phone, kIdA, "A", kLinkTable);
  central->connectPeripheral(p);
  ASSERT_TRUE(recorder->waitFor("connect A"));

  phone.reset();  // out of range
  ASSERT_TRUE(recorder->waitFor("disconnect A (The phone went out of range)"));
  central->connectPeripheral(p);
  base::RunLoop::main().runFor(50ms);
  EXPECT_TRUE(recorder->unmatched().empty()) << "the request waits, no time-out";

  ScriptedPhone back(radio.path());
  back.advertise(kIdA, R"("A")", kLinkTable);
  ASSERT_TRUE(back.waitFor(R"({"type":"connected"})"));
  ASSERT_TRUE(recorder->waitFor("connect A"));
  EXPECT_EQ(p->state(), PeripheralState::connected);

  central->scanForPeripherals(std::nullopt);
  ASSERT_TRUE(recorder->waitFor("discover A"));
  EXPECT_EQ(recorder->discovered.back(), p) << "one object per identifier";
}

TEST_F(CentralTest, PhoneSideDisconnectKeepsThePhoneInRange) {
  ScriptedPhone phone(radio.path());
  auto p = discover(phone, kIdA, "A", kLinkTable);
  central->connectPeripheral(p);
  ASSERT_TRUE(recorder->waitFor("connect A"));
  phone.send(R"({"type":"disconnect"})");
  ASSERT_TRUE(recorder->waitFor("disconnect A (The phone ended the connection)"));
  central->connectPeripheral(p);
  ASSERT_TRUE(recorder->waitFor("connect A")) << "still in range: connects at once";
  ASSERT_TRUE(phone.waitFor(R"({"type":"connected"})"));
  ASSERT_TRUE(phone.waitFor(R"({"type":"connected"})"));
}

TEST_F(CentralTest, DiscoveryIsAnsweredFromTheTableOnlyWhileConnected) {
  ScriptedPhone phone(radio.path());
  auto p = discover(phone, kIdA, "A", kBothTable);
  p->setDelegate(recorder);
  p->discoverServices(std::nullopt);
  base::RunLoop::main().runFor(30ms);
  EXPECT_TRUE(recorder->unmatched().empty()) << "no answer while not connected";
  EXPECT_FALSE(p->services().has_value());

  central->connectPeripheral(p);
  ASSERT_TRUE(recorder->waitFor("connect A"));
  p->discoverServices(link());
  ASSERT_TRUE(recorder->waitFor("services E8BC"));
  p->discoverServices(std::nullopt);
  ASSERT_TRUE(recorder->waitFor("services E8BC 0000"));

  const auto linkService = p->services()->front();
  p->discoverCharacteristics(std::vector<UUID>{UUID::withString(kChar)}, linkService);
  ASSERT_TRUE(recorder->waitFor("characteristics 54AA"));
  p->discoverCharacteristics(std::nullopt, linkService);
  ASSERT_TRUE(recorder->waitFor("characteristics 54AA 0000"));
  EXPECT_EQ(linkService->characteristics()->front()->service(), linkService);
}

TEST_F(CentralTest, NotificationsArriveOnlyWhileSubscribed) {
  ScriptedPhone phone(radio.path());
  std::shared_ptr<Peripheral> p;
  auto characteristic = subscribeReady(phone, p);
  const std::string notify =
      R"({"type":"notify","service":")" + kLink + R"(","characteristic":")" + kChar;
  phone.send(notify + R"(","value":"AQI="})");
  base::RunLoop::main().runFor(30ms);
  EXPECT_TRUE(recorder->unmatched().empty()) << "not subscribed yet";

  p->setNotifyValue(true, characteristic);
  ASSERT_TRUE(phone.waitFor(R"({"type":"subscribe","service":")" + kLink +
                            R"(","characteristic":")" + kChar + R"(","enabled":true})"));
  phone.send(notify + R"(","value":"AQI="})");
  phone.send(notify + R"(","value":""})");
  ASSERT_TRUE(recorder->waitFor("value 1 2"));
  ASSERT_TRUE(recorder->waitFor("value")) << "an empty value is a value";

  p->setNotifyValue(false, characteristic);
  ASSERT_TRUE(phone.waitFor(R"({"type":"subscribe","service":")" + kLink +
                            R"(","characteristic":")" + kChar + R"(","enabled":false})"));
  phone.send(notify + R"(","value":"/w=="})");
  base::RunLoop::main().runFor(30ms);
  EXPECT_TRUE(recorder->unmatched().empty());
  EXPECT_EQ(characteristic->value(), std::vector<uint8_t>{});
}

TEST_F(CentralTest, EachSubscribedCentralHearsAValueOnceAndOthersNothing) {
  ScriptedPhone phone(radio.path());
  std::shared_ptr<Peripheral> p;
  auto characteristic = subscribeReady(phone, p);
  // A second central, connected to the same phone but not subscribed.
  auto other = std::make_shared<Recorder>();
  auto second = CentralManager::make(other, nullptr);
  ASSERT_TRUE(other->waitFor("state 5"));
  second->scanForPeripherals(std::nullopt);
  ASSERT_TRUE(other->waitFor("discover A"));
  auto q = other->discovered.back();
  q->setDelegate(other);
  second->connectPeripheral(q);
  ASSERT_TRUE(other->waitFor("connect A"));
  q->discoverServices(std::nullopt);
  ASSERT_TRUE(other->waitFor("services E8BC"));
  q->discoverCharacteristics(std::nullopt, q->services()->front());
  ASSERT_TRUE(other->waitFor("characteristics 54AA"));

  const std::string notify = R"({"type":"notify","service":")" + kLink + R"(","characteristic":")" +
                             kChar + R"(","value":")";
  p->setNotifyValue(true, characteristic);
  phone.send(notify + R"(AQI="})");
  ASSERT_TRUE(recorder->waitFor("value 1 2"));
  base::RunLoop::main().runFor(30ms);
  EXPECT_TRUE(recorder->unmatched().empty()) << "delivered once";
  EXPECT_TRUE(other->unmatched().empty()) << "not subscribed";

  q->setNotifyValue(true, other->lastService->characteristics()->front());
  phone.send(notify + R"(Aw=="})");
  ASSERT_TRUE(recorder->waitFor("value 3"));
  ASSERT_TRUE(other->waitFor("value 3"));
  base::RunLoop::main().runFor(30ms);
  EXPECT_TRUE(recorder->unmatched().empty());
  EXPECT_TRUE(other->unmatched().empty());
  const auto& lines = phone.lines();
  EXPECT_EQ(
      std::count_if(lines.begin(), lines.end(),
                    [](const std::string& l) { return l.find("\"enabled\":true") != l.npos; }),
      1)
      << "the phone hears of the first subscriber only";
}

TEST_F(CentralTest, WritesReachThePhoneOnlyWhileConnected) {
  ScriptedPhone phone(radio.path());
  std::shared_ptr<Peripheral> p;
  auto characteristic = subscribeReady(phone, p);
  p->writeValue({0x0A, 0x00, 0xFF}, characteristic, CharacteristicWriteType::withResponse);
  ASSERT_TRUE(phone.waitFor(R"({"type":"write","service":")" + kLink + R"(","characteristic":")" +
                            kChar + R"(","value":"CgD/","withResponse":true})"));
  p->writeValue({}, characteristic, CharacteristicWriteType::withoutResponse);
  ASSERT_TRUE(phone.waitFor(R"({"type":"write","service":")" + kLink + R"(","characteristic":")" +
                            kChar + R"(","value":"","withResponse":false})"));

  central->cancelPeripheralConnection(p);
  ASSERT_TRUE(phone.waitFor(R"({"type":"disconnected"})"));
  const size_t count = phone.lines().size();
  p->writeValue({1}, characteristic, CharacteristicWriteType::withResponse);
  base::RunLoop::main().runFor(30ms);
  EXPECT_EQ(phone.lines().size(), count) << "a write while disconnected goes nowhere";
}

TEST_F(CentralTest, ANewServiceTableReachesTheConnectedCentralAsModifiedServices) {
  ScriptedPhone phone(radio.path());
  std::shared_ptr<Peripheral> p;
  auto characteristic = subscribeReady(phone, p);
  p->setNotifyValue(true, characteristic);
  ASSERT_TRUE(phone.waitFor(R"({"type":"subscribe","service":")" + kLink +
                            R"(","characteristic":")" + kChar + R"(","enabled":true})"));

  phone.advertise(kIdA, R"("A")", kLinkTable);  // the same table: nothing changes
  phone.advertise(kIdA, R"("A")", kBothTable);
  ASSERT_TRUE(recorder->waitFor("modified 1"));
  ASSERT_EQ(recorder->lastInvalidated.size(), 1u);
  EXPECT_EQ(recorder->lastInvalidated[0]->uuid(), UUID::withString(kLink));
  EXPECT_TRUE(recorder->unmatched().empty());

  p->discoverServices(std::nullopt);
  ASSERT_TRUE(recorder->waitFor("services 0000 E8BC"));
  p->discoverCharacteristics(std::nullopt, p->services()->back());
  ASSERT_TRUE(recorder->waitFor("characteristics 54AA 0000"));
  EXPECT_NE(recorder->lastService->characteristics()->front(), characteristic)
      << "an invalidated service is discovered anew";
}

TEST_F(CentralTest, APhoneClaimingAnIdInRangeIsRefused) {
  ScriptedPhone a(radio.path());
  a.advertise(kIdA, R"("A")", kLinkTable);
  ScriptedPhone impostor(radio.path());
  ::testing::internal::CaptureStderr();
  impostor.advertise(kIdA, R"("B")", kLinkTable);
  EXPECT_TRUE(impostor.waitForClose());
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("is already in range"), std::string::npos) << err;
  central->scanForPeripherals(std::nullopt);
  ASSERT_TRUE(recorder->waitFor("discover A"));
}

}  // namespace
}  // namespace ble
