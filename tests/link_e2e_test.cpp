// The phone link end to end: discovery, connection life cycle, Bluetooth
// states and the packets that are not part of the handshake.

#include <gtest/gtest.h>

#include "tests/app_fixture.h"

namespace e2e {
namespace {

class Link : public AppTest {
 protected:
  // Prints the menus and returns what the console printed for them: the
  // status menu's entries, then each submenu under its heading.
  std::string printedMenus() {
    const size_t before = app_->stderrText().size();
    const std::string mark = "end-of-listing-" + std::to_string(++listings_);
    app_->send("menu");
    app_->send(mark);  // not a command: its complaint marks the end of the listing
    EXPECT_TRUE(app_->waitForStderr("unknown command \"" + mark + "\"", 5s));
    const std::string all = app_->stderrText();
    const size_t from = all.find("Status menu:", before);
    const size_t to = all.find("unknown command \"" + mark, from);
    return from == std::string::npos ? std::string() : all.substr(from, to - from);
  }
  size_t listings_ = 0;
};

TEST_F(Link, DiscoveryListsEachPhoneOnceAndUnnamedPhonesAsUnknown) {
  start();
  auto named = phone("Test Phone", "11111111-1111-1111-1111-111111111111");
  auto unnamed =
      std::make_unique<ScriptedPhone>(radio_, "22222222-2222-2222-2222-222222222222", std::nullopt);
  app_->send("open Connect");
  ASSERT_TRUE(app_->waitForLine("Discovered Test Phone", 10s));
  ASSERT_TRUE(app_->sawLine("Discovered unknown device", 10s));
  // Advertising again is reported again but logged once.
  named->advertise(std::string("Test Phone"));
  app_->drain(500ms);
  EXPECT_EQ(app_->count("Discovered Test Phone"), 1U);
  // The unnamed phone is an entry of its own, titled "Unknown".
  const std::string menus = printedMenus();
  EXPECT_NE(menus.find(". Unknown\n"), std::string::npos) << menus;
  EXPECT_NE(menus.find(". Test Phone\n"), std::string::npos) << menus;
}

TEST_F(Link, PhonesWithoutTheLinkServiceAreNotDiscovered) {
  start();
  auto other = std::make_unique<ScriptedPhone>(radio_, "33333333-3333-3333-3333-333333333333",
                                               std::string("Headphones"), true,
                                               /*advertiseNow=*/false);
  other->sendLine(
      R"({"type":"advertise","id":"33333333-3333-3333-3333-333333333333","name":"Headphones","services":[{"uuid":"0000180D-0000-1000-8000-00805F9B34FB","characteristics":[]}]})");
  auto p = phone("Test Phone");
  app_->send("open Connect");
  ASSERT_TRUE(app_->waitForLine("Discovered Test Phone", 10s));
  app_->drain(500ms);
  EXPECT_EQ(app_->count("Discovered Headphones"), 0U);
}

TEST_F(Link, EveryDisconnectionIsAnsweredByANewConnection) {
  start();
  auto p = phone("Test Phone");
  connect(*p, "Test Phone");

  // The phone ends the connection but stays in range.
  p->sendDisconnect();
  ASSERT_TRUE(app_->waitForLine("Disconnected from Test Phone", 10s));
  ASSERT_TRUE(app_->waitForLine("Connected to Test Phone", 10s));
  ASSERT_TRUE(p->waitFor("subscribe", 10s).has_value());

  // Out of range and back: the pending request completes, and it subscribes anew.
  p->goAway();
  ASSERT_TRUE(app_->waitForLine("Disconnected from Test Phone", 10s));
  auto back = phone("Test Phone");
  ASSERT_TRUE(app_->waitForLine("Connected to Test Phone", 10s));
  ASSERT_TRUE(back->waitFor("subscribe", 10s).has_value());
}

TEST_F(Link, ChoosingAnotherPhoneDetachesTheFirst) {
  start();
  auto first = phone("First Phone", "11111111-1111-1111-1111-111111111111");
  auto second = phone("Second Phone", "22222222-2222-2222-2222-222222222222");
  connect(*first, "First Phone");
  ASSERT_TRUE(app_->sawLine("Discovered Second Phone", 10s));
  app_->send("choose Connect > Second Phone");
  ASSERT_TRUE(app_->waitForLine("Disconnected from First Phone", 10s));
  ASSERT_TRUE(second->waitFor("subscribe", 10s).has_value());
  // The first phone is asked to connect again, but without the controller as
  // its delegate it goes no further than the request for services.
  app_->drain(1s);
  EXPECT_GE(app_->count("Connected to First Phone"), 2U);
  EXPECT_FALSE(first->waitFor("subscribe", 1s).has_value());
}

TEST_F(Link, APhoneWithoutTheCharacteristicIsConnectedButNeverSubscribed) {
  start();
  auto p = phone("Bare Phone", "44444444-4444-4444-4444-444444444444", false);
  app_->send("open Connect");
  ASSERT_TRUE(app_->waitForLine("Discovered Bare Phone", 10s));
  app_->send("choose Connect > Bare Phone");
  ASSERT_TRUE(app_->waitForLine("Connected to Bare Phone", 10s));
  EXPECT_FALSE(p->waitFor("subscribe", 1s).has_value());
}

TEST_F(Link, ModifiedServicesAreLoggedAndDiscoveredAgain) {
  start();
  auto p = phone("Test Phone");
  connect(*p, "Test Phone");
  p->advertise(std::string("Test Phone"));
  p->sendLine(
      R"({"type":"advertise","id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","name":"Test Phone","services":[{"uuid":"E8BCA012-F851-449B-B759-E4596B11384B","characteristics":["54AA3DEB-4BB3-4251-BC28-DF790499DF37","00002A37-0000-1000-8000-00805F9B34FB"]}]})");
  ASSERT_TRUE(app_->waitForLine("Service modified from Test Phone", 10s));
  ASSERT_TRUE(p->waitFor("subscribe", 10s).has_value());
}

TEST_F(Link, EmptyValueIsUnknownAndMalformedValueIsDroppedSilently) {
  start();
  auto p = phone("Test Phone");
  connect(*p, "Test Phone");
  p->notify({});
  ASSERT_TRUE(app_->waitForLine("Unknown received {}", 10s));
  // Truncated, bad tag, invalid UTF-8 in a string: dropped without a line.
  p->notify({0x0A, 0x05, 0x09});
  p->notify({0x07});
  p->notify({0x1A, 0x03, 0x12, 0x01, 0xFF});
  // An authResponse from the phone is only logged.
  tovelin::Packet response;
  response.mutable_auth_response()->set_digest(9);
  p->notifyPacket(response);
  ASSERT_TRUE(app_->waitForLine("Unknown received {\"authResponse\":{\"digest\":9}}", 10s));
  app_->drain(300ms);
  for (const auto& line : app_->lines()) {
    EXPECT_TRUE(line.rfind("Unknown received ", 0) == 0 || line.rfind("Discovered", 0) == 0 ||
                line.rfind("Connected", 0) == 0 || line.rfind("Rendering", 0) == 0)
        << line;
  }
}

TEST_F(Link, DirectionIsolatesInAReceivedNameReachTheOutputEscaped) {
  auto p = startConnected();
  tovelin::Packet response;
  // U+2066 LEFT-TO-RIGHT ISOLATE ... U+2069 POP DIRECTIONAL ISOLATE
  response.mutable_auth_response()->set_device_name("a\u2066b\u2067c\u2068d\u2069e");
  p->notifyPacket(response);
  ASSERT_TRUE(app_->waitForLine(
      R"(Unknown received {"authResponse":{"deviceName":"a\u2066b\u2067c\u2068d\u2069e"}})", 10s));
}

TEST_F(Link, AccelerationIsAppliedWithoutAnyHandshake) {
  start();
  auto p = phone("Test Phone");
  connect(*p, "Test Phone");
  p->sendAcceleration(30, 0, 0);
  p->sendAcceleration(90, -5, 100);  // x wraps at 100; z adds a hundredth of itself to y
  app_->drain(300ms);
  app_->send("windows");
  ASSERT_TRUE(app_->waitForStderr("offset (20.000, -4.000)", 5s)) << app_->stderrText();
  // The acceleration road prints nothing while the overlay is drawing.
  EXPECT_EQ(app_->lines(),
            (std::vector<std::string>{"Discovered Test Phone", "Connected to Test Phone"}));
}

TEST_F(Link, AFailedUpdateIsLoggedWithItsErrorAndNothingElse) {
  start();
  auto p = phone("Test Phone");
  connect(*p, "Test Phone");
  p->sendLine(std::string(R"({"type":"notify","service":")") + testing_support::kServiceUUID +
              R"(","characteristic":")" + testing_support::kCharacteristicUUID +
              R"(","error":"Insufficient encryption"})");
  ASSERT_TRUE(
      app_->waitForLine("Error updating value for characteristic "
                        "54AA3DEB-4BB3-4251-BC28-DF790499DF37: Insufficient encryption",
                        10s));
  // The link goes on: an empty value right after is handled as usual.
  p->notify({});
  ASSERT_TRUE(app_->waitForLine("Unknown received {}", 10s));
}

TEST_F(Link, BluetoothStatesPickTheMenu) {
  start();
  auto p = phone("Test Phone");
  app_->send("open Connect");
  ASSERT_TRUE(app_->waitForLine("Discovered Test Phone", 10s));

  app_->send("bluetooth unauthorized");
  app_->send("menu");
  ASSERT_TRUE(app_->waitForStderr("needs Bluetooth permissions", 5s));

  app_->send("bluetooth on");
  app_->send("menu");
  ASSERT_TRUE(app_->waitForStderr("Please launch the companion app", 5s, 1));
}

TEST_F(Link, BluetoothOffKeepsTheMenuAndOffersToScanAgain) {
  start();
  auto p = phone("Test Phone");
  connect(*p, "Test Phone");  // the menu of a chosen phone, unlike the searching one
  const std::string connected = printedMenus();
  ASSERT_NE(connected.find("Status menu:\n  1. [view] Remember to keep your phone oriented in the "
                           "direction of your laptop\n"),
            std::string::npos)
      << connected;

  app_->send("bluetooth off");
  const std::string off = printedMenus();
  // The status menu is not rebuilt; only the device list is refreshed.
  EXPECT_EQ(off.substr(0, off.find("Connect:")), connected.substr(0, connected.find("Connect:")))
      << off;
  const std::string list = off.substr(off.find("Connect:"));
  EXPECT_EQ(list.rfind("Connect:\n  1. Scan more devices\n", 0), 0U) << list;
  EXPECT_NE(list.find(". Test Phone\n"), std::string::npos) << list;
}

}  // namespace
}  // namespace e2e
