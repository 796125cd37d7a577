#include "crc/data_helper.h"

namespace tovelin {

uint8_t DataHelper::reflect8(uint8_t value) {
  // Swap nibbles, then bit pairs, then neighbouring bits.
  unsigned v = value;
  v = ((v & 0xF0U) >> 4U) | ((v & 0x0FU) << 4U);
  v = ((v & 0xCCU) >> 2U) | ((v & 0x33U) << 2U);
  v = ((v & 0xAAU) >> 1U) | ((v & 0x55U) << 1U);
  return static_cast<uint8_t>(v);
}

uint16_t DataHelper::reflect16(uint16_t value) {
  const auto low = static_cast<uint8_t>(value & 0xFFU);
  const auto high = static_cast<uint8_t>(value >> 8U);
  return static_cast<uint16_t>((unsigned{reflect8(low)} << 8U) | reflect8(high));
}

uint32_t DataHelper::reflect32(uint32_t value) {
  const auto low = static_cast<uint16_t>(value & 0xFFFFU);
  const auto high = static_cast<uint16_t>(value >> 16U);
  return (uint32_t{reflect16(low)} << 16U) | reflect16(high);
}

}  // namespace tovelin
