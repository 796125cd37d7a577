#include "platform/ble/radio.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <regex>

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

const std::string kAdvertiseB =
    R"({"type":"advertise","id":")" + kIdB + R"(","name":"B","services":)" + kLinkTable + "}";

class RadioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    recorder = std::make_shared<Recorder>();
    central = CentralManager::make(recorder, nullptr);
    ASSERT_TRUE(recorder->waitFor("state 5"));
  }

  // A second phone, B, connected to the central: it must survive what
  // happens to the phone under test.
  std::shared_ptr<Peripheral> connectBystander(ScriptedPhone& b) {
    b.send(kAdvertiseB);
    central->scanForPeripherals(std::nullopt);
    EXPECT_TRUE(recorder->waitFor("discover B"));
    central->stopScan();
    auto p = recorder->discovered.back();
    central->connectPeripheral(p);
    EXPECT_TRUE(recorder->waitFor("connect B"));
    return p;
  }

  TempRadio radio;
  std::shared_ptr<Recorder> recorder;
  std::shared_ptr<CentralManager> central;
};

struct BadLine {
  const char* label;
  bool advertiseFirst;  // else the bad line is the phone's first line
  std::string line;
  const char* complaint;
};

class MalformedLineTest : public RadioTest, public ::testing::WithParamInterface<BadLine> {};

TEST_P(MalformedLineTest, ClosesOnlyThatPhoneWithOneLineNamingIt) {
  const BadLine& bad = GetParam();
  ScriptedPhone b(radio.path());
  auto bystander = connectBystander(b);

  ScriptedPhone phone(radio.path());
  if (bad.advertiseFirst) phone.advertise(kIdA, R"("Bad Phone")", kLinkTable);
  ::testing::internal::CaptureStderr();
  phone.send(bad.line);
  const bool closed = phone.waitForClose();
  const std::string err = ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(closed);
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find(bad.complaint), std::string::npos) << err;
  EXPECT_NE(err.find(bad.advertiseFirst ? "\"Bad Phone\"" : "(not advertised yet)"),
            std::string::npos)
      << err;

  base::RunLoop::main().runFor(20ms);
  EXPECT_EQ(bystander->state(), PeripheralState::connected);
  b.send(R"({"type":"disconnect"})");
  EXPECT_TRUE(recorder->waitFor("disconnect B (The phone ended the connection)"))
      << "the other phone is still served";
}

const std::string kNotifyHead =
    R"({"type":"notify","service":")" + kLink + R"(","characteristic":")" + kChar + R"(",)";

INSTANTIATE_TEST_SUITE_P(
    Lines, MalformedLineTest,
    ::testing::Values(
        BadLine{"not_json", true, "hello", "not a JSON object"},
        BadLine{"array", true, "[1,2]", "not a JSON object"},
        BadLine{"empty_line", true, "", "not a JSON object"},
        BadLine{"no_type", true, R"({"kind":"notify"})", "\"type\""},
        BadLine{"unknown_type", true, R"({"type":"reboot"})", "unknown message type \"reboot\""},
        BadLine{"bad_base64", true, kNotifyHead + R"("value":"AQI"})", "not base64"},
        BadLine{"error_not_text", true, kNotifyHead + R"("error":5})", "\"error\" is not a string"},
        BadLine{"error_with_line_feed", true, kNotifyHead + R"("error":"lost\nConnected to B"})",
                "control character"},
        BadLine{"missing_value", true, kNotifyHead + R"("valu":"AQI="})",
                "missing field \"value\""},
        BadLine{"bad_uuid", true,
                R"({"type":"notify","service":"E8BCA012","characteristic":")" + kChar +
                    R"(","value":""})",
                "\"service\" is not a UUID"},
        BadLine{"changed_id", true,
                R"({"type":"advertise","id":")" + kIdB + R"(","name":"x","services":[]})",
                "may not change the phone's id"},
        BadLine{"invalid_utf8", true, "{\"type\":\"disconnect\",\"x\":\"\xC3\x28\"}",
                "not a JSON object"},
        BadLine{"notify_before_advertise", false, kNotifyHead + R"("value":""})",
                "first line must be an advertise"},
        BadLine{"name_with_line_feed", false,
                R"({"type":"advertise","id":")" + kIdA +
                    R"(","name":"A\nConnected to B","services":[]})",
                "control characters"},
        BadLine{"name_not_text", false,
                R"({"type":"advertise","id":")" + kIdA + R"(","name":7,"services":[]})",
                "\"name\""},
        BadLine{"twice_listed_service", false,
                R"({"type":"advertise","id":")" + kIdA + R"(","name":null,"services":)" +
                    kLinkTable.substr(0, kLinkTable.size() - 1) + "," + kLinkTable.substr(1) + "}",
                "listed twice"}),
    [](const auto& test) { return std::string(test.param.label); });

TEST_F(RadioTest, LinesUpToTheLimitPassAndLongerOnesCloseThePhone) {
  // An advertise whose name pads the line to exactly the limit.
  const std::string head = R"({"type":"advertise","id":")" + kIdA + R"(","name":")";
  const std::string tail = R"(","services":[]})";
  const std::string exact =
      head + std::string(Radio::kMaxLine - head.size() - tail.size(), 'n') + tail;
  ASSERT_EQ(exact.size(), Radio::kMaxLine);
  ScriptedPhone phone(radio.path());
  phone.send(exact);
  central->scanForPeripherals(std::nullopt);
  ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return !recorder->discovered.empty(); }, 2s));

  ::testing::internal::CaptureStderr();
  phone.sendRaw(std::string(Radio::kMaxLine + 1, ' '));  // no line feed ever comes
  const bool closed = phone.waitForClose();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(closed);
  EXPECT_NE(err.find("longer than the limit"), std::string::npos) << err;
  EXPECT_TRUE(
      recorder->waitFor("discover " + std::string(exact.size() - head.size() - tail.size(), 'n')));
}

TEST_F(RadioTest, APhoneThatNeverReadsIsDropped) {
  ScriptedPhone phone(radio.path());
  phone.advertise(kIdA, R"("Deaf")", kLinkTable);
  central->scanForPeripherals(std::nullopt);
  ASSERT_TRUE(recorder->waitFor("discover Deaf"));
  auto p = recorder->discovered.back();
  p->setDelegate(recorder);
  central->connectPeripheral(p);
  ASSERT_TRUE(recorder->waitFor("connect Deaf"));
  p->discoverServices(std::nullopt);
  ASSERT_TRUE(recorder->waitFor("services E8BC"));
  p->discoverCharacteristics(std::nullopt, p->services()->front());
  ASSERT_TRUE(recorder->waitFor("characteristics 54AA"));
  auto c = p->services()->front()->characteristics()->front();

  ::testing::internal::CaptureStderr();
  const std::vector<uint8_t> value(30000, 0x55);
  for (int i = 0; i < 200 && p->state() == PeripheralState::connected; ++i) {
    p->writeValue(value, c, CharacteristicWriteType::withResponse);
    base::RunLoop::main().runFor(1ms);
  }
  const bool lost = recorder->waitFor("disconnect Deaf (The phone went out of range)");
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(lost);
  EXPECT_NE(err.find("does not read"), std::string::npos) << err;
}

TEST_F(RadioTest, AdapterStatesReachTheCentralAndGateScanAndConnections) {
  ScriptedPhone phone(radio.path());
  phone.advertise(kIdA, R"("A")", kLinkTable);
  central->scanForPeripherals(std::nullopt);
  ASSERT_TRUE(recorder->waitFor("discover A"));
  auto p = recorder->discovered.back();
  central->connectPeripheral(p);
  ASSERT_TRUE(recorder->waitFor("connect A"));

  Radio::shared().setAdapterState(ManagerState::poweredOff);
  ASSERT_TRUE(recorder->waitFor("state 4"));
  ASSERT_TRUE(recorder->waitFor("disconnect A (Bluetooth is not powered on)"));
  ASSERT_TRUE(phone.waitFor(R"({"type":"disconnected"})"));
  EXPECT_FALSE(central->isScanning());

  central->connectPeripheral(p);  // waits for power
  ::testing::internal::CaptureStderr();
  central->scanForPeripherals(std::nullopt);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("not powered on"), std::string::npos);
  phone.advertise(kIdA, R"("A2")", kLinkTable);
  base::RunLoop::main().runFor(30ms);
  EXPECT_TRUE(recorder->unmatched().empty());

  Radio::shared().setAdapterState(ManagerState::unauthorized);
  ASSERT_TRUE(recorder->waitFor("state 3"));
  Radio::shared().setAdapterState(ManagerState::unauthorized);  // no change, no report
  Radio::shared().setAdapterState(ManagerState::poweredOn);
  ASSERT_TRUE(recorder->waitFor("state 5"));
  ASSERT_TRUE(recorder->waitFor("connect A2"));
  ASSERT_TRUE(phone.waitFor(R"({"type":"connected"})"));
  EXPECT_TRUE(recorder->unmatched().empty());
}

std::string numberedId(size_t n) {
  char id[40];
  std::snprintf(id, sizeof id, "00000000-0000-0000-0000-%012zu", n);
  return id;
}

TEST_F(RadioTest, PhonesThatLeftMakeRoomAtOnceUnderChurn) {
  std::vector<std::unique_ptr<ScriptedPhone>> phones;
  for (size_t i = 0; i < Radio::kMaxPhones; ++i) {
    phones.push_back(std::make_unique<ScriptedPhone>(radio.path()));
    phones.back()->advertise(numberedId(i), "null", "[]");
    if (i % 8 == 7) base::RunLoop::main().runFor(2ms);  // the listen backlog is short
  }
  auto& registry = Radio::shared();
  ASSERT_TRUE(base::RunLoop::main().runUntil(
      [&] { return registry.phonesInRange().size() == Radio::kMaxPhones; }, 2s));

  // With the room taken by live phones, one more is refused.
  ::testing::internal::CaptureStderr();
  ScriptedPhone extra(radio.path());
  const bool refused = extra.waitForClose();
  std::string err = ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(refused);
  EXPECT_NE(err.find("too many phones in range (64)"), std::string::npos) << err;

  // All leave at once and a real phone comes before the loop reads their ends.
  for (auto& phone : phones) phone->close();
  ScriptedPhone real(radio.path());
  real.advertise(kIdA, R"("Real")", kLinkTable);
  ::testing::internal::CaptureStderr();
  central->scanForPeripherals(std::nullopt);
  const bool discovered = recorder->waitFor("discover Real");
  err = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(discovered);
  EXPECT_EQ(err, "");
  EXPECT_EQ(registry.phonesInRange(), std::vector<UUID>{UUID::withString(kIdA)});
}

TEST_F(RadioTest, ConnectionsThatDoNotAdvertiseInTimeAreClosedAndFreeTheirPlaces) {
  ScriptedPhone b(radio.path());
  auto bystander = connectBystander(b);  // advertised in time: it stays
  ::testing::internal::CaptureStderr();
  std::vector<std::unique_ptr<ScriptedPhone>> silent;
  for (size_t i = 1; i < Radio::kMaxPhones; ++i) {
    silent.push_back(std::make_unique<ScriptedPhone>(radio.path()));
    if (i % 8 == 0) base::RunLoop::main().runFor(2ms);  // the listen backlog is short
  }
  // Most send nothing; one starts an advertise and never ends the line.
  silent.back()->sendRaw(R"({"type":"advertise","id":")" + kIdA + R"(",)");
  ScriptedPhone shutOut(radio.path());
  ASSERT_TRUE(shutOut.waitForClose());

  const auto deadline = Radio::kAdvertiseDeadline + 5s;
  for (auto& phone : silent) ASSERT_TRUE(phone->waitForClose(deadline));
  // One line each; past a few a second the log sums the rest up a second later.
  base::RunLoop::main().runFor(1200ms);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("too many phones in range (64)"), std::string::npos) << err;
  const std::string closing =
      "(not advertised yet): it did not advertise within 5 seconds; closing its connection";
  size_t closed = 0;
  for (size_t at = 0; (at = err.find(closing, at)) != std::string::npos; at += closing.size()) {
    ++closed;
  }
  std::smatch more;
  const std::regex summary(R"(\((\d+) more like: radio: phone #\d+ \(not advertised yet\))");
  if (std::regex_search(err, more, summary)) {
    closed += std::stoul(more[1]) - 1;  // the sample is counted above
  }
  EXPECT_EQ(closed, Radio::kMaxPhones - 1) << err;

  EXPECT_EQ(bystander->state(), PeripheralState::connected);
  ScriptedPhone real(radio.path());
  real.advertise(kIdA, R"("Real")", kLinkTable);
  central->scanForPeripherals(std::nullopt);
  EXPECT_TRUE(recorder->waitFor("discover Real"));
  EXPECT_EQ(Radio::shared().phonesInRange().size(), 2u);
}

// While the program's output is backed up, phones are not read: a phone
// that advertises meanwhile is not late, and is heard once reading resumes.
TEST_F(RadioTest, PausedReadingHoldsMessagesAndMakesNoPhoneLate) {
  ScriptedPhone b(radio.path());
  auto bystander = connectBystander(b);
  Radio::shared().pauseReading(true);
  central->scanForPeripherals(std::nullopt);
  ScriptedPhone real(radio.path());
  real.advertise(kIdA, R"("Real")", kLinkTable);
  base::RunLoop::main().runFor(Radio::kAdvertiseDeadline + 1s);
  EXPECT_FALSE(recorder->waitFor("discover Real", 0ms));
  Radio::shared().pauseReading(false);
  EXPECT_TRUE(recorder->waitFor("discover Real"));
  EXPECT_FALSE(real.waitForClose(100ms));
  EXPECT_EQ(bystander->state(), PeripheralState::connected);
}

// Uses up the process's descriptors (under a lowered limit) while it lives.
class DescriptorFiller {
 public:
  DescriptorFiller() {
    ::getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit low = saved_;
    low.rlim_cur = std::min<rlim_t>(saved_.rlim_cur, 512);
    ::setrlimit(RLIMIT_NOFILE, &low);
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) fds_.push_back(fd);
    exhausted_ = errno == EMFILE;
  }
  ~DescriptorFiller() { release(); }
  DescriptorFiller(const DescriptorFiller&) = delete;
  DescriptorFiller& operator=(const DescriptorFiller&) = delete;
  [[nodiscard]] bool exhausted() const { return exhausted_; }
  void release() {
    for (const int fd : fds_) ::close(fd);
    fds_.clear();
    ::setrlimit(RLIMIT_NOFILE, &saved_);
  }

 private:
  rlimit saved_{};
  std::vector<int> fds_;
  bool exhausted_ = false;
};

double cpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST_F(RadioTest, OutOfDescriptorsPausesAcceptingSaysSoOnceAndRecovers) {
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizers' runtime opens descriptors of its own to check memory and
  // reports false faults without them.
  GTEST_SKIP() << "not under the sanitizers";
#endif
  ScriptedPhone phone(radio.path());  // waits in the listen backlog
  phone.advertise(kIdA, R"("Patient")", kLinkTable);
  ScriptedPhone second(radio.path());
  ::testing::internal::CaptureStderr();
  double cpu = 0;
  {
    DescriptorFiller filler;
    ASSERT_TRUE(filler.exhausted());
    const double before = cpuSeconds();
    base::RunLoop::main().runFor(1s);
    cpu = cpuSeconds() - before;
  }
  central->scanForPeripherals(std::nullopt);
  const bool discovered = recorder->waitFor("discover Patient");
  const std::string err = ::testing::internal::GetCapturedStderr();
  // A loop spinning on the readable listener burns the whole second.
  EXPECT_LT(cpu, 0.5);
  EXPECT_TRUE(discovered);
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find("radio: cannot accept phones for now: Too many open files"), std::string::npos)
      << err;
}

TEST(RadioStop, RemovesItsOwnSocketFileOnlyAndCanBeCalledAgain) {
  TempRadio radio;
  ASSERT_TRUE(Radio::shared().isListening());
  Radio::shared().stop();
  EXPECT_FALSE(std::filesystem::exists(radio.path()));
  Radio::shared().stop();

  ASSERT_TRUE(Radio::shared().start());
  // Another program replaced the socket file: its file stays.
  std::filesystem::remove(radio.path());
  auto other = listenOnRadio(radio.path());
  ASSERT_TRUE(other);
  Radio::shared().stop();
  EXPECT_TRUE(std::filesystem::is_socket(radio.path()));
  ::close(*other);
}

TEST(RadioStop, RemovesTheSocketFileFromAnExitHandler) {
  TempRadio radio;
  Radio::shared().stop();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (!Radio::shared().start()) ::_exit(2);
    std::atexit([] { Radio::shared().stop(); });
    ScriptedPhone phone(radio.path());
    phone.advertise(kIdA, R"("A")", kLinkTable);
    base::RunLoop::main().runFor(20ms);
    std::exit(std::filesystem::is_socket(radio.path()) ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(std::filesystem::exists(radio.path()));
}

TEST(RadioStates, WordsOfTheConsole) {
  const std::pair<const char*, std::optional<ManagerState>> table[] = {
      {"on", ManagerState::poweredOn},
      {"off", ManagerState::poweredOff},
      {"unauthorized", ManagerState::unauthorized},
      {"unsupported", ManagerState::unsupported},
      {"resetting", ManagerState::resetting},
      {"unknown", ManagerState::unknown},
      {"On", std::nullopt},
      {"", std::nullopt},
      {"poweredOn", std::nullopt}};
  for (const auto& [word, state] : table) EXPECT_EQ(Radio::parseState(word), state) << word;
}

TEST(RadioFailure, ARefusedPathMakesCentralsUnsupported) {
  TempRadio radio;
  Radio::shared().stop();
  // A regular file where the socket should be: refused, left alone.
  const std::string path = radio.path();
  {
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fputs("keep me", f);
    std::fclose(f);
  }
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(Radio::shared().start());
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("not a socket"), std::string::npos) << err;

  auto recorder = std::make_shared<Recorder>();
  auto central = CentralManager::make(recorder, nullptr);
  ASSERT_TRUE(recorder->waitFor("state 2"));
  EXPECT_TRUE(std::filesystem::is_regular_file(path));

  std::filesystem::remove(path);
  EXPECT_TRUE(Radio::shared().start());
  EXPECT_TRUE(recorder->waitFor("state 5"));
}

}  // namespace
}  // namespace ble
