// The five parameters of a CRC of width 8, 16 or 32 bits, in the published
// catalogue's convention: `polynomial` in normal (most significant bit first)
// form without its top term, `initial` never reflected.
#pragma once

#include <cstdint>

namespace tovelin {

template <typename T>
struct CrcParameters {
  T initial = 0;
  T polynomial = 0;
  T finalXor = 0;
  bool reflectInput = false;
  bool reflectOutput = false;

  friend bool operator==(const CrcParameters&, const CrcParameters&) = default;
};

using Crc8Parameters = CrcParameters<uint8_t>;
using Crc16Parameters = CrcParameters<uint16_t>;
using Crc32Parameters = CrcParameters<uint32_t>;

}  // namespace tovelin
