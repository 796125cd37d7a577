#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/base/bundle.h"
#include "platform/base/options.h"
#include "platform/console/application_main.h"
#include "platform/ui/application.h"
#include "platform/ui/interface_file.h"

namespace {

std::vector<std::string>& calls() {
  static std::vector<std::string> list;
  return list;
}

class RecordingDelegate : public base::Object, public ui::ApplicationDelegate {
 public:
  void applicationDidFinishLaunching(const std::shared_ptr<base::Object>&) override {
    calls().push_back("didFinishLaunching");
  }
  void applicationWillTerminate(const std::shared_ptr<base::Object>&) override {
    calls().push_back("willTerminate");
  }
};

class ApplicationMainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "main-test-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
    savedBundle_ = base::Bundle::main();
    savedOptions_ = base::platformOptions();
    savedStdin_ = ::dup(STDIN_FILENO);
    calls().clear();
    ui::Application::shared().reset();
    ui::ClassRegistry::shared().registerClass("RecordingDelegate", [](const base::Coder&) {
      return std::make_shared<RecordingDelegate>();
    });
  }
  void TearDown() override {
    ::dup2(savedStdin_, STDIN_FILENO);
    ::close(savedStdin_);
    base::Bundle::main() = savedBundle_;
    base::platformOptions() = savedOptions_;
    ui::Application::shared().reset();
    std::filesystem::remove_all(folder_);
  }

  void write(const std::string& name, const std::string& text) {
    std::ofstream(folder_ + "/" + name) << text;
  }
  // Standard input holds `script`, then ends.
  void stdinFrom(const std::string& script) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], script.data(), script.size()), static_cast<ssize_t>(script.size()));
    ::close(fds[1]);
    ::dup2(fds[0], STDIN_FILENO);
    ::close(fds[0]);
  }
  int runMain(std::vector<std::string> extra, std::string* err = nullptr) {
    std::vector<std::string> args{"tovelin", "--bundle", folder_};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::testing::internal::CaptureStderr();
    const int status = ui::ApplicationMain(static_cast<int>(args.size()), argv.data());
    const std::string text = ::testing::internal::GetCapturedStderr();
    if (err != nullptr) *err = text;
    return status;
  }

  std::string folder_;

 private:
  base::Bundle savedBundle_{""};
  base::PlatformOptions savedOptions_;
  int savedStdin_ = -1;
};

const char* kMainFile = R"({
  "objects": [{"class": "RecordingDelegate", "id": "delegate"}],
  "outlets": [{"from": "owner", "key": "delegate", "to": "delegate"}]
})";

TEST_F(ApplicationMainTest, RunsUntilTheConsoleQuitsAndTellsTheDelegate) {
  write("Info.json", R"({"MainInterfaceFile": "Main"})");
  write("Main.json", kMainFile);
  stdinFrom("windows\nquit\n");
  std::string err;
  EXPECT_EQ(runMain({"--screen", "800x600"}, &err), 0) << err;
  EXPECT_EQ(calls(), (std::vector<std::string>{"didFinishLaunching", "willTerminate"}));
  EXPECT_NE(err.find("no windows"), std::string::npos) << err;  // the console ran "windows"
  EXPECT_EQ(base::platformOptions().screenWidth, 800);
}

TEST_F(ApplicationMainTest, HelpPrintsTheUsageOnStandardOutputAndStartsNothing) {
  for (const char* word : {"--help", "-h"}) {
    base::platformOptions() = {};
    stdinFrom("quit\n");
    ::testing::internal::CaptureStdout();
    std::string err;
    const int status = runMain({word}, &err);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 0) << word;
    EXPECT_EQ(out, std::string(base::kPlatformUsage) + "\n") << word;
    EXPECT_EQ(err, "") << word;
    EXPECT_TRUE(calls().empty()) << word;
  }
}

struct Failure {
  const char* name;
  const char* info;      // Info.json text, or none
  const char* mainFile;  // Main.json text, or none
  std::vector<std::string> args;
  int status;
  const char* message;
  const char* notSaid = nullptr;  // a line that would be wrong here
};

class ApplicationMainFailure : public ApplicationMainTest,
                               public ::testing::WithParamInterface<Failure> {};

TEST_P(ApplicationMainFailure, StopsWithAStatusAndAClearMessage) {
  const Failure& f = GetParam();
  if (f.info != nullptr) write("Info.json", f.info);
  if (f.mainFile != nullptr) write("Main.json", f.mainFile);
  stdinFrom("quit\n");
  std::string err;
  EXPECT_EQ(runMain(f.args, &err), f.status);
  EXPECT_NE(err.find(f.message), std::string::npos) << err;
  if (f.notSaid != nullptr) {
    EXPECT_EQ(err.find(f.notSaid), std::string::npos) << err;
  }
  EXPECT_TRUE(calls().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ApplicationMainFailure,
    ::testing::Values(
        Failure{"badOption",
                R"({"MainInterfaceFile": "Main"})",
                kMainFile,
                {"--screen", "big"},
                2,
                "--screen expects WIDTHxHEIGHT"},
        Failure{"optionWithoutValue",
                R"({"MainInterfaceFile": "Main"})",
                kMainFile,
                {"--radio"},
                2,
                "--radio needs a value"},
        Failure{
            "unknownOption",
            R"({"MainInterfaceFile": "Main"})",
            kMainFile,
            {"--defualts", "defaults.json"},
            2,
            "tovelin: unknown option \"--defualts\"\nusage: tovelin [OPTION]...\n  --radio PATH"},
        Failure{"emptyValue",
                R"({"MainInterfaceFile": "Main"})",
                kMainFile,
                {"--bundle", ""},
                2,
                "tovelin: --bundle needs a non-empty value\nusage: tovelin"},
        Failure{"noInformationFile",
                nullptr,
                kMainFile,
                {},
                1,
                "bundle: no information file at ",
                "names no MainInterfaceFile"},
        Failure{"noMainFileKey", R"({"Other": 1})", kMainFile, {}, 1, "names no MainInterfaceFile"},
        Failure{"missingMainFile",
                R"({"MainInterfaceFile": "Main"})",
                nullptr,
                {},
                1,
                "the main interface file \"Main\" is not in the bundle"},
        Failure{"unusableMainFile",
                R"({"MainInterfaceFile": "Main"})",
                R"({"objects": [{"class": "NoSuchClass"}]})",
                {},
                1,
                "NoSuchClass"}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
