// A test fixture with a fresh folder of its own, removed with everything in
// it after each test.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/base/file.h"

namespace base {

class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (std::filesystem::temp_directory_path() / "tovelin-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(templ.data()), nullptr);
    dir_ = templ;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // The file's bytes; empty when it cannot be read.
  static std::string read(const std::filesystem::path& p) {
    auto text = readFile(p.string());
    return text ? *text : std::string();
  }

  std::filesystem::path dir_;
};

}  // namespace base
