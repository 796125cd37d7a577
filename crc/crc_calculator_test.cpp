#include "crc/crc_calculator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crc/crc_test_support.h"
#include "crc/data_helper.h"

namespace tovelin {
namespace {

using testing::asBuffer;
using testing::checkInput;

// One explicit-parameter computation: width, parameters, input, result.
struct EngineCase {
  const char* name;
  int width;
  uint32_t initial, polynomial, finalXor;
  bool reflectInput, reflectOutput;
  std::vector<uint8_t> input;
  uint32_t expected;
};

uint32_t compute(const EngineCase& c, bool asBufferForm) {
  const auto buffer = asBuffer(c.input);
  switch (c.width) {
    case 8: {
      const auto i = static_cast<uint8_t>(c.initial);
      const auto p = static_cast<uint8_t>(c.polynomial);
      const auto x = static_cast<uint8_t>(c.finalXor);
      return asBufferForm
                 ? CrcCalculator::crc8(CrcBuffer(buffer), i, p, x, c.reflectInput, c.reflectOutput)
                 : CrcCalculator::crc8(c.input, i, p, x, c.reflectInput, c.reflectOutput);
    }
    case 16: {
      const auto i = static_cast<uint16_t>(c.initial);
      const auto p = static_cast<uint16_t>(c.polynomial);
      const auto x = static_cast<uint16_t>(c.finalXor);
      return asBufferForm
                 ? CrcCalculator::crc16(CrcBuffer(buffer), i, p, x, c.reflectInput, c.reflectOutput)
                 : CrcCalculator::crc16(c.input, i, p, x, c.reflectInput, c.reflectOutput);
    }
    default:
      return asBufferForm ? CrcCalculator::crc32(CrcBuffer(buffer), c.initial, c.polynomial,
                                                 c.finalXor, c.reflectInput, c.reflectOutput)
                          : CrcCalculator::crc32(c.input, c.initial, c.polynomial, c.finalXor,
                                                 c.reflectInput, c.reflectOutput);
  }
}

const std::vector<uint8_t> kNone;

const EngineCase kEngineCases[] = {
    // Worked checks over "123456789".
    {"Cksum", 32, 0x00000000, 0x04C11DB7, 0xFFFFFFFF, false, false, checkInput(), 0x765E7680},
    {"IsoHdlc", 32, 0xFFFFFFFF, 0x04C11DB7, 0xFFFFFFFF, true, true, checkInput(), 0xCBF43926},
    {"Ibm3740", 16, 0xFFFF, 0x1021, 0x0000, false, false, checkInput(), 0x29B1},
    {"Arc", 16, 0x0000, 0x8005, 0x0000, true, true, checkInput(), 0xBB3D},
    {"Smbus", 8, 0x00, 0x07, 0x00, false, false, checkInput(), 0xF4},
    {"MaximDow", 8, 0x00, 0x31, 0x00, true, true, checkInput(), 0xA1},
    // Empty input: the initial value (reflected when asked), then the final XOR.
    {"EmptyCksum", 32, 0x00000000, 0x04C11DB7, 0xFFFFFFFF, false, false, kNone, 0xFFFFFFFF},
    {"EmptyIsoHdlc", 32, 0xFFFFFFFF, 0x04C11DB7, 0xFFFFFFFF, true, true, kNone, 0x00000000},
    {"EmptyIbm3740", 16, 0xFFFF, 0x1021, 0x0000, false, false, kNone, 0xFFFF},
    {"EmptyReflectsInitial32", 32, 0x00000001, 0x04C11DB7, 0x00000000, false, true, kNone,
     0x80000000},
    {"EmptyReflectsInitial16", 16, 0x0003, 0x1021, 0x0000, true, true, kNone, 0xC000},
    {"EmptyReflectsInitial8", 8, 0x01, 0x07, 0x0F, false, true, kNone, 0x8F},
    // A zero byte leaves a zero register zero.
    {"ZeroByteCksum", 32, 0x00000000, 0x04C11DB7, 0xFFFFFFFF, false, false, {0x00}, 0xFFFFFFFF},
    // Input bytes are mirrored as 8-bit values whatever the width.
    {"ReflectedByteIn16", 16, 0x0000, 0x1021, 0x0000, true, false, {0x01}, 0x9188},
    {"PlainMirrorByteIn16", 16, 0x0000, 0x1021, 0x0000, false, false, {0x80}, 0x9188},
    // Mixed flags are taken as they are.
    {"OnlyReflectInput", 32, 0xFFFFFFFF, 0x04C11DB7, 0xFFFFFFFF, true, false, checkInput(),
     0x649C2FD3},
    {"OnlyReflectOutput", 32, 0xFFFFFFFF, 0x04C11DB7, 0xFFFFFFFF, false, true, checkInput(),
     0x1898913F},
    // A polynomial without its bit W - 1 is used unchanged (CRC-32/XFER).
    {"PolynomialWithoutTopBit", 32, 0x00000000, 0x000000AF, 0x00000000, false, false, checkInput(),
     0xBD0BE338},
};

class Engine : public ::testing::TestWithParam<EngineCase> {};

TEST_P(Engine, ArrayAndBufferFormsGiveTheResult) {
  EXPECT_EQ(compute(GetParam(), false), GetParam().expected);
  EXPECT_EQ(compute(GetParam(), true), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Computations, Engine, ::testing::ValuesIn(kEngineCases),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(Engine, BufferFormReadsASliceOfLargerStorage) {
  // A buffer that views the middle of something bigger covers only its bytes.
  std::vector<uint8_t> padded = {0xAA, 0xBB};
  const auto input = checkInput();
  padded.insert(padded.end(), input.begin(), input.end());
  padded.push_back(0xCC);
  const auto storage = asBuffer(padded);
  const CrcBuffer slice(storage.data() + 2, input.size());
  EXPECT_EQ(CrcCalculator::crc32(slice, CRC32_TYPE::posix), 0x765E7680U);
}

TEST(DataHelper, ReflectsEveryBitAcrossTheFullWidth) {
  EXPECT_EQ(DataHelper::reflect8(0x0F), 0xF0);
  EXPECT_EQ(DataHelper::reflect16(0x1234), 0x2C48);
  EXPECT_EQ(DataHelper::reflect32(0x00000001U), 0x80000000U);
  EXPECT_EQ(DataHelper::reflect32(0x04C11DB7U), 0xEDB88320U);
  EXPECT_EQ(DataHelper::reflect32(0xFFFFFFFFU), 0xFFFFFFFFU);
}

TEST(DataHelper, EachSingleBitMovesToItsMirrorAndBack) {
  for (unsigned i = 0; i < 8; ++i) {
    const auto v = static_cast<uint8_t>(1U << i);
    EXPECT_EQ(DataHelper::reflect8(v), static_cast<uint8_t>(1U << (7U - i)));
  }
  for (unsigned i = 0; i < 16; ++i) {
    const auto v = static_cast<uint16_t>(1U << i);
    EXPECT_EQ(DataHelper::reflect16(v), static_cast<uint16_t>(1U << (15U - i)));
  }
  for (unsigned i = 0; i < 32; ++i) {
    EXPECT_EQ(DataHelper::reflect32(1U << i), 1U << (31U - i));
  }
  for (unsigned v = 0; v < 256; ++v) {
    const auto b = static_cast<uint8_t>(v);
    EXPECT_EQ(DataHelper::reflect8(DataHelper::reflect8(b)), b);
  }
}

}  // namespace
}  // namespace tovelin
