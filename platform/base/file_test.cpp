#include "platform/base/file.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/base/non_root_test_support.h"
#include "platform/base/temp_folder_test_support.h"

namespace base {
namespace {

namespace fs = std::filesystem;

class FileTest : public TempFolderTest {
 protected:
  // Names in `folder` holding the temporary suffix.
  static size_t temporaries(const fs::path& folder) {
    size_t n = 0;
    for (const auto& e : fs::directory_iterator(folder)) {
      if (e.path().filename().string().find(kTemporarySuffix) != std::string::npos) ++n;
    }
    return n;
  }
};

enum class Kind { folder, fifo, socket, danglingLink, linkToFifo, linkToFolder };

struct Refused {
  const char* name;
  Kind kind;
  const char* said;  // what the message calls it
};

class RefusedTargetTest : public FileTest, public ::testing::WithParamInterface<Refused> {};

TEST_P(RefusedTargetTest, IsLeftAsItIsWithAMessageSayingWhatItIs) {
  const fs::path path = dir_ / "target";
  int listener = -1;
  switch (GetParam().kind) {
    case Kind::folder:
      fs::create_directory(path);
      std::ofstream(path / "inside") << "keep me";
      break;
    case Kind::fifo:
      ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
      break;
    case Kind::socket: {
      listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      ASSERT_GE(listener, 0);
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      ASSERT_LT(path.string().size(), sizeof address.sun_path);
      std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
      ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
      break;
    }
    case Kind::danglingLink:
      fs::create_symlink(dir_ / "missing", path);
      break;
    case Kind::linkToFifo:
      ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
      fs::create_symlink("fifo", path);
      break;
    case Kind::linkToFolder:
      fs::create_directory(dir_ / "folder");
      fs::create_symlink("folder", path);
      break;
  }
  const auto typeBefore = fs::symlink_status(path).type();

  auto target = replaceableTarget(path.string());
  ASSERT_FALSE(target);
  auto written = writeFileAtomically(path.string(), "{}\n");
  ASSERT_FALSE(written);
  const std::string& message = written.error().message;
  EXPECT_EQ(message, target.error().message);
  EXPECT_EQ(message.rfind(path.string() + ": is " + GetParam().said, 0), 0U) << message;
  EXPECT_NE(message.find("left as it is"), std::string::npos) << message;

  EXPECT_EQ(fs::symlink_status(path).type(), typeBefore);
  EXPECT_EQ(temporaries(dir_), 0U);
  switch (GetParam().kind) {
    case Kind::folder:
      EXPECT_EQ(read(path / "inside"), "keep me");
      break;
    case Kind::danglingLink:
      EXPECT_FALSE(fs::exists(dir_ / "missing"));  // not created through the link
      break;
    case Kind::linkToFifo:
      EXPECT_TRUE(fs::is_fifo(fs::symlink_status(dir_ / "fifo")));
      break;
    case Kind::linkToFolder:
      EXPECT_TRUE(fs::is_empty(dir_ / "folder"));
      break;
    default:
      break;
  }
  if (listener >= 0) ::close(listener);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, RefusedTargetTest,
    ::testing::Values(Refused{"Folder", Kind::folder, "a folder, not a regular file"},
                      Refused{"Fifo", Kind::fifo, "a FIFO, not a regular file"},
                      Refused{"Socket", Kind::socket, "a socket, not a regular file"},
                      Refused{"DanglingLink", Kind::danglingLink,
                              "a symbolic link to nothing usable"},
                      Refused{"LinkToAFifo", Kind::linkToFifo,
                              "a symbolic link to a FIFO, not to a regular file"},
                      Refused{"LinkToAFolder", Kind::linkToFolder,
                              "a symbolic link to a folder, not to a regular file"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(FileTest, ALinkStaysALinkAndItsFinalTargetIsReplacedBesideItself) {
  // link -> chain -> dotfiles/defaults.json, relative links across folders.
  fs::create_directory(dir_ / "dotfiles");
  fs::create_directory(dir_ / "config");
  std::ofstream(dir_ / "dotfiles" / "defaults.json") << "old";
  fs::create_symlink("../dotfiles/defaults.json", dir_ / "config" / "chain");
  fs::create_symlink("chain", dir_ / "config" / "defaults.json");
  const fs::path link = dir_ / "config" / "defaults.json";

  auto target = replaceableTarget(link.string());
  ASSERT_TRUE(target) << target.error().message;
  EXPECT_EQ(fs::path(*target), fs::canonical(dir_ / "dotfiles" / "defaults.json"));

  // A temporary file a killed write left beside the target is ours to remove.
  std::ofstream(dir_ / "dotfiles" / "defaults.json.tmp-Ab12Cd") << "stale";
  EXPECT_EQ(removeLeftoverTemporaryFiles(link.string()), 1U);

  ASSERT_TRUE(writeFileAtomically(link.string(), "new"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), "chain");
  EXPECT_EQ(fs::read_symlink(dir_ / "config" / "chain"), "../dotfiles/defaults.json");
  EXPECT_EQ(read(dir_ / "dotfiles" / "defaults.json"), "new");
  EXPECT_EQ(temporaries(dir_ / "dotfiles"), 0U);
  EXPECT_EQ(temporaries(dir_ / "config"), 0U);
}

// The permissions a write leaves: `before` is the mode of the file it
// replaces (none: no file), `umask` the process's while it writes.
struct ModeCase {
  const char* name;
  std::optional<mode_t> before;
  mode_t umask;
  mode_t mode;
  Replacing replacing;
  mode_t after;
};

class WrittenModeTest : public FileTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(WrittenModeTest, IsTheReplacedFilesOrTheNewFilesMode) {
  const ModeCase& c = GetParam();
  const fs::path path = dir_ / "file";
  if (c.before) {
    std::ofstream(path) << "old";
    ASSERT_EQ(::chmod(path.c_str(), *c.before), 0);
  }
  const mode_t saved = ::umask(c.umask);
  auto written = writeFileAtomically(path.string(), "new", c.mode, c.replacing);
  ::umask(saved);
  ASSERT_TRUE(written) << written.error().message;
  EXPECT_EQ(read(path), "new");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, c.after) << std::oct << (st.st_mode & 07777);
  EXPECT_EQ(temporaries(dir_), 0U);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, WrittenModeTest,
    ::testing::Values(
        ModeCase{"CopyKeepsAPrivateFilePrivate", 0600, 022, 0666, Replacing::asCopy, 0600},
        ModeCase{"CopyKeepsAGroupReadableFile", 0640, 077, 0666, Replacing::asCopy, 0640},
        ModeCase{"CopyKeepsAnExecutableFile", 0755, 022, 0666, Replacing::asCopy, 0755},
        ModeCase{"CopyDropsSetIdBits", 06755, 022, 0666, Replacing::asCopy, 0755},
        ModeCase{"CopyMakesANewFileByTheUmask", std::nullopt, 022, 0666, Replacing::asCopy, 0644},
        ModeCase{"CopyMakesANewFileByAStrictUmask", std::nullopt, 077, 0666, Replacing::asCopy,
                 0600},
        ModeCase{"FixedModeReplacesAnOpenFileWithAPrivateOne", 0644, 022, 0600, Replacing::withMode,
                 0600},
        ModeCase{"FixedModeIsKeptUnderANarrowUmask", std::nullopt, 0277, 0600, Replacing::withMode,
                 0600}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(FileTest, AFileThisUserMayNotWriteIsRefusedWhenCopyingAndReplacedWithAFixedMode) {
  // Exit status: 0 when all holds, else the number of the first check that failed.
  const auto status = exitStatusAsNonRoot(dir_.string(), [this] {
    const fs::path path = dir_ / "shot.png";
    std::ofstream(path) << "kept";
    if (::chmod(path.c_str(), 0444) != 0) return 10;
    auto refused = writeFileAtomically(path.string(), "new", 0666, Replacing::asCopy);
    if (refused) return 1;
    const std::string expected = path.string() +
                                 ": may not be written by this user (Permission denied), so it "
                                 "is left as it is";
    if (refused.error().message != expected) {
      std::fprintf(stderr, "said: %s\n", refused.error().message.c_str());
      return 2;
    }
    if (read(path) != "kept" || temporaries(dir_) != 0) return 3;
    // A private file of ours (the defaults) is still written whatever its mode.
    if (!writeFileAtomically(path.string(), "new", 0600, Replacing::withMode)) return 4;
    if (read(path) != "new") return 5;
    return 0;
  });
  if (!status) GTEST_SKIP() << "no user other than root can be had here";
  EXPECT_EQ(*status, 0);
}

}  // namespace
}  // namespace base
