#include "platform/gpu/library.h"

#include <gtest/gtest.h>

#include <string>

namespace gpu {
namespace {

constexpr const char* kTwoStages =
    "#version 300 es\n"
    "precision highp float;\n"
    "#pragma vertex vert\n"
    "void vert() { gl_Position = vec4(0.0); }\n"
    "#pragma fragment frag\n"
    "out vec4 color;\n"
    "void frag() { color = vec4(1.0); }\n";

TEST(Library, EachFunctionGetsThePreludeItsOwnTextAndAMainCallingIt) {
  auto library = Library::fromSource(kTwoStages);
  ASSERT_TRUE(library) << library.error().message;

  auto vert = library.value()->newFunctionWithName("vert");
  ASSERT_NE(vert, nullptr);
  EXPECT_EQ(vert->functionType(), FunctionType::vertex);
  EXPECT_EQ(vert->source(),
            "#version 300 es\nprecision highp float;\n#line 4\n"
            "void vert() { gl_Position = vec4(0.0); }\n"
            "\nvoid main() { vert(); }\n");

  auto frag = library.value()->newFunctionWithName("frag");
  ASSERT_NE(frag, nullptr);
  EXPECT_EQ(frag->functionType(), FunctionType::fragment);
  EXPECT_EQ(frag->source(),
            "#version 300 es\nprecision highp float;\n#line 6\n"
            "out vec4 color;\nvoid frag() { color = vec4(1.0); }\n"
            "\nvoid main() { frag(); }\n");
  // One function's text does not leak into the other's.
  EXPECT_EQ(vert->source().find("color"), std::string::npos);
}

TEST(Library, UnknownNamesGiveNoFunction) {
  auto library = Library::fromSource(kTwoStages);
  ASSERT_TRUE(library);
  EXPECT_EQ(library.value()->newFunctionWithName("vertex_main"), nullptr);
  EXPECT_EQ(library.value()->newFunctionWithName(""), nullptr);
  EXPECT_EQ(library.value()->newFunctionWithName("main"), nullptr);
}

TEST(Library, StageLinesToleratesSpacingAndOtherPragmasStayInTheText) {
  auto library = Library::fromSource(
      "#version 300 es\n#pragma optimize(on)\n  #pragma   vertex\tv  \nvoid v() {}\n");
  ASSERT_TRUE(library) << library.error().message;
  auto v = library.value()->newFunctionWithName("v");
  ASSERT_NE(v, nullptr);
  EXPECT_NE(v->source().find("#pragma optimize(on)\n"), std::string::npos);
}

struct BadSource {
  const char* label;
  const char* source;
  const char* error;
};

class LibraryRefuses : public testing::TestWithParam<BadSource> {};

TEST_P(LibraryRefuses, WithAReason) {
  auto library = Library::fromSource(GetParam().source);
  ASSERT_FALSE(library);
  EXPECT_NE(library.error().message.find(GetParam().error), std::string::npos)
      << library.error().message;
}

INSTANTIATE_TEST_SUITE_P(
    Sources, LibraryRefuses,
    testing::Values(
        BadSource{"NoFunction", "#version 300 es\nvoid f() {}\n", "defines no function"},
        BadSource{"Empty", "", "defines no function"},
        BadSource{"NameTwice", "#pragma vertex f\nvoid f(){}\n#pragma fragment f\nvoid f(){}\n",
                  "defined twice"},
        BadSource{"NoName", "#version 300 es\n#pragma vertex\n", "line 2"},
        BadSource{"TwoNames", "#pragma fragment a b\n", "one function name"},
        BadSource{"Main", "#pragma vertex main\n", "other than main"},
        BadSource{"NotIdentifier", "#pragma vertex 9lives\n", "line 1"}),
    [](const auto& param) { return std::string(param.param.label); });

}  // namespace
}  // namespace gpu
