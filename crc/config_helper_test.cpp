#include "crc/config_helper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_set>

#include "crc/crc_calculator.h"
#include "crc/crc_test_support.h"

namespace tovelin {
namespace {

using testing::asBuffer;
using testing::checkInput;

// Every catalogue variant's check value over "123456789", in declaration
// order; the ordinal is part of the row so that a reordered enumeration fails.
struct CatalogueRow {
  const char* name;
  int width;
  std::size_t ordinal;
  std::size_t declaredOrdinal;
  uint32_t check;
  uint32_t (*compute)(CrcBytes);
  uint32_t (*computeBuffer)(CrcBuffer);
};

template <auto Type>
uint32_t variant(CrcBytes bytes) {
  using E = decltype(Type);
  if constexpr (std::is_same_v<E, CRC8_TYPE>) return CrcCalculator::crc8(bytes, Type);
  if constexpr (std::is_same_v<E, CRC16_TYPE>) return CrcCalculator::crc16(bytes, Type);
  if constexpr (std::is_same_v<E, CRC32_TYPE>) return CrcCalculator::crc32(bytes, Type);
}

template <auto Type>
uint32_t variantBuffer(CrcBuffer buffer) {
  using E = decltype(Type);
  if constexpr (std::is_same_v<E, CRC8_TYPE>) return CrcCalculator::crc8(buffer, Type);
  if constexpr (std::is_same_v<E, CRC16_TYPE>) return CrcCalculator::crc16(buffer, Type);
  if constexpr (std::is_same_v<E, CRC32_TYPE>) return CrcCalculator::crc32(buffer, Type);
}

#define ROW(width, Enum, kase, pos, check)                                                    \
  CatalogueRow {                                                                              \
#Enum "_" #kase, width, pos, tovelin::ordinal(Enum::kase), check, &variant < Enum::kase>, \
        &variantBuffer < Enum::kase>                                                          \
  }

// clang-format off
const CatalogueRow kCatalogue[] = {
    ROW(8, CRC8_TYPE, defaultCrc, 0, 0xF4), ROW(8, CRC8_TYPE, cdma2000, 1, 0xDA),
    ROW(8, CRC8_TYPE, darc, 2, 0x15),       ROW(8, CRC8_TYPE, dvbS2, 3, 0xBC),
    ROW(8, CRC8_TYPE, ebu, 4, 0x97),        ROW(8, CRC8_TYPE, iCode, 5, 0x7E),
    ROW(8, CRC8_TYPE, itu, 6, 0xA1),        ROW(8, CRC8_TYPE, maxim, 7, 0xA1),
    ROW(8, CRC8_TYPE, rohc, 8, 0xD0),       ROW(8, CRC8_TYPE, wcdma, 9, 0x25),

    ROW(16, CRC16_TYPE, ccittFalse, 0, 0x29B1), ROW(16, CRC16_TYPE, arc, 1, 0xBB3D),
    ROW(16, CRC16_TYPE, augCcitt, 2, 0xE5CC),   ROW(16, CRC16_TYPE, buypass, 3, 0xFEE8),
    ROW(16, CRC16_TYPE, cdma2000, 4, 0x4C06),   ROW(16, CRC16_TYPE, dds110, 5, 0x9ECF),
    ROW(16, CRC16_TYPE, dectR, 6, 0x007E),      ROW(16, CRC16_TYPE, dectX, 7, 0x007F),
    ROW(16, CRC16_TYPE, dnp, 8, 0xEA82),        ROW(16, CRC16_TYPE, en13757, 9, 0xC2B7),
    ROW(16, CRC16_TYPE, genibus, 10, 0xD64E),   ROW(16, CRC16_TYPE, maxim, 11, 0x44C2),
    ROW(16, CRC16_TYPE, mcrf4xx, 12, 0x6F91),   ROW(16, CRC16_TYPE, riello, 13, 0x63D0),
    ROW(16, CRC16_TYPE, t10dif, 14, 0xD0DB),    ROW(16, CRC16_TYPE, teledisk, 15, 0x0FB3),
    ROW(16, CRC16_TYPE, tms37157, 16, 0x26B1),  ROW(16, CRC16_TYPE, usb, 17, 0xB4C8),
    ROW(16, CRC16_TYPE, a, 18, 0xBF05),         ROW(16, CRC16_TYPE, kermit, 19, 0x2189),
    ROW(16, CRC16_TYPE, modbus, 20, 0x4B37),    ROW(16, CRC16_TYPE, x25, 21, 0x906E),
    ROW(16, CRC16_TYPE, xmodem, 22, 0x31C3),

    ROW(32, CRC32_TYPE, defaultCrc, 0, 0xCBF43926), ROW(32, CRC32_TYPE, bzip2, 1, 0xFC891918),
    ROW(32, CRC32_TYPE, c, 2, 0xE3069283),          ROW(32, CRC32_TYPE, d, 3, 0x87315576),
    ROW(32, CRC32_TYPE, mpeg2, 4, 0x0376E6E7),      ROW(32, CRC32_TYPE, posix, 5, 0x765E7680),
    ROW(32, CRC32_TYPE, sata, 6, 0xCF72AFE8),       ROW(32, CRC32_TYPE, q, 7, 0x3010BF7F),
    ROW(32, CRC32_TYPE, jamcrc, 8, 0x340BC6D9),     ROW(32, CRC32_TYPE, xfer, 9, 0xBD0BE338),
};
// clang-format on
#undef ROW

class Catalogue : public ::testing::TestWithParam<CatalogueRow> {};

TEST_P(Catalogue, CheckValueOverTheCheckInputFromBothForms) {
  const CatalogueRow& row = GetParam();
  const auto input = checkInput();
  const auto buffer = asBuffer(input);
  EXPECT_EQ(row.declaredOrdinal, row.ordinal);
  EXPECT_EQ(row.compute(input), row.check);
  EXPECT_EQ(row.computeBuffer(buffer), row.check);
  // Empty input, and a few other bytes, agree between the two forms too.
  EXPECT_EQ(row.compute({}), row.computeBuffer({}));
  const std::vector<uint8_t> other = {0x00, 0xFF, 0x80, 0x01, 0x5A};
  EXPECT_EQ(row.compute(other), row.computeBuffer(asBuffer(other)));
}

INSTANTIATE_TEST_SUITE_P(Variants, Catalogue, ::testing::ValuesIn(kCatalogue),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

// The lists of every case end where the enumerations end: the value just past
// each list is not a case (the parameter table, which the compiler makes
// cover every enumerator, refuses it). A case added to an enumeration but not
// to its list makes that value a case and fails here.
TEST(CatalogueDeathTest, EveryEnumerationEndsWhereItsListOfCasesEnds) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH((void)ConfigHelper::crc8Parameters(static_cast<CRC8_TYPE>(kAllCrc8Types.size())),
               "outside CRC8_TYPE");
  EXPECT_DEATH((void)ConfigHelper::crc16Parameters(static_cast<CRC16_TYPE>(kAllCrc16Types.size())),
               "outside CRC16_TYPE");
  EXPECT_DEATH((void)ConfigHelper::crc32Parameters(static_cast<CRC32_TYPE>(kAllCrc32Types.size())),
               "outside CRC32_TYPE");
}

TEST(Catalogue, HasOneRowForEachCaseOfEachEnumeration) {
  EXPECT_EQ(std::size(kCatalogue),
            kAllCrc8Types.size() + kAllCrc16Types.size() + kAllCrc32Types.size());
  EXPECT_EQ(std::size(kCatalogue), 43U);
}

TEST(Catalogue, CasesHashByOrdinalSoEqualCasesHashAlike) {
  std::unordered_set<CRC16_TYPE> seen(kAllCrc16Types.begin(), kAllCrc16Types.end());
  EXPECT_EQ(seen.size(), 23U);
  EXPECT_EQ(std::hash<CRC16_TYPE>{}(CRC16_TYPE::a), 18U);
  EXPECT_EQ(std::hash<CRC32_TYPE>{}(CRC32_TYPE::sata), 6U);
  EXPECT_EQ(std::hash<CRC8_TYPE>{}(CRC8_TYPE::cdma2000), 1U);
}

TEST(ConfigHelper, SiblingVariantsDifferOnlyWhereTheCatalogueSays) {
  const auto dectR = ConfigHelper::crc16Parameters(CRC16_TYPE::dectR);
  auto dectX = ConfigHelper::crc16Parameters(CRC16_TYPE::dectX);
  EXPECT_NE(dectR, dectX);
  dectX.finalXor = dectR.finalXor;
  EXPECT_EQ(dectR, dectX);

  const auto ccitt = ConfigHelper::crc16Parameters(CRC16_TYPE::ccittFalse);
  auto genibus = ConfigHelper::crc16Parameters(CRC16_TYPE::genibus);
  EXPECT_NE(ccitt.finalXor, genibus.finalXor);
  genibus.finalXor = ccitt.finalXor;
  EXPECT_EQ(ccitt, genibus);

  const auto x25 = ConfigHelper::crc16Parameters(CRC16_TYPE::x25);
  const auto kermit = ConfigHelper::crc16Parameters(CRC16_TYPE::kermit);
  EXPECT_EQ(x25.polynomial, kermit.polynomial);
  EXPECT_EQ(x25.reflectInput, kermit.reflectInput);
  EXPECT_EQ(x25.reflectOutput, kermit.reflectOutput);
  EXPECT_NE(x25.initial, kermit.initial);
  EXPECT_NE(x25.finalXor, kermit.finalXor);

  for (const auto t : kAllCrc16Types) {
    const auto p = ConfigHelper::crc16Parameters(t);
    EXPECT_EQ(p.reflectInput, p.reflectOutput) << ordinal(t);
  }
}

TEST(CrcVariants, DectRAndDectXDifferInTheLowestBitAlone) {
  for (const std::vector<uint8_t>& input :
       {std::vector<uint8_t>{}, checkInput(), std::vector<uint8_t>{0xFF, 0x00, 0x42}}) {
    const auto r = CrcCalculator::crc16(input, CRC16_TYPE::dectR);
    const auto x = CrcCalculator::crc16(input, CRC16_TYPE::dectX);
    EXPECT_EQ(r ^ x, 0x0001);
  }
}

TEST(CrcVariants, SharedCheckValueButDifferentParameters) {
  const std::vector<uint8_t> zero = {0x00};
  EXPECT_EQ(CrcCalculator::crc8(zero, CRC8_TYPE::itu), 0x55);
  EXPECT_EQ(CrcCalculator::crc8(zero, CRC8_TYPE::maxim), 0x00);
}

TEST(CrcVariants, DigestVariantOverCheckAndEmptyInput) {
  EXPECT_EQ(CrcCalculator::crc32(checkInput(), CRC32_TYPE::posix), 0x765E7680U);
  EXPECT_EQ(CrcCalculator::crc32(std::vector<uint8_t>{}, CRC32_TYPE::posix), 0xFFFFFFFFU);
  EXPECT_EQ(CrcCalculator::crc32(checkInput(), CRC32_TYPE::defaultCrc), 0xCBF43926U);
  EXPECT_EQ(CrcCalculator::crc32(std::vector<uint8_t>{}, CRC32_TYPE::defaultCrc), 0x00000000U);
}

TEST(CrcVariants, HandshakeDigestInput) {
  // Challenge 1, big-endian, then the 36-character salt: what the link hashes.
  const std::string_view salt = "9F3B27C4-61DA-4E8F-A2C5-7B0D94E1F6A3";
  std::vector<uint8_t> input = {0x00, 0x00, 0x00, 0x01};
  input.insert(input.end(), salt.begin(), salt.end());
  ASSERT_EQ(input.size(), 40U);
  const uint32_t digest = CrcCalculator::crc32(input, CRC32_TYPE::posix);
  // Reference values from an independent bit-by-bit CRC-32/CKSUM.
  EXPECT_EQ(digest, 0x6DEC3F6EU);
  // The same through explicit CRC-32/CKSUM parameters and through the buffer form.
  EXPECT_EQ(digest, CrcCalculator::crc32(input, 0, 0x04C11DB7, 0xFFFFFFFF, false, false));
  EXPECT_EQ(digest, CrcCalculator::crc32(CrcBuffer(asBuffer(input)), CRC32_TYPE::posix));
  const uint8_t challenge[] = {0xDE, 0xAD, 0xBE, 0xEF};
  std::copy(std::begin(challenge), std::end(challenge), input.begin());
  EXPECT_EQ(CrcCalculator::crc32(input, CRC32_TYPE::posix), 0x36BEE164U);
}

}  // namespace
}  // namespace tovelin
