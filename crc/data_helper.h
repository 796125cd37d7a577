// Bit reflection of 8-, 16- and 32-bit values: bit i of the result is bit
// W - 1 - i of the argument, leading zeros counted. The CRC engines use it on
// input bytes and on the final register.
#pragma once

#include <cstdint>

namespace tovelin {

class DataHelper {
 public:
  DataHelper() = delete;

  static uint8_t reflect8(uint8_t value);
  static uint16_t reflect16(uint16_t value);
  static uint32_t reflect32(uint32_t value);
};

}  // namespace tovelin
