// One switch per width, each case giving its catalogue entry whole (initial,
// polynomial, final XOR, reflect input, reflect output), so that a case added
// to an enumeration without its parameters fails to compile.

#include "crc/config_helper.h"

#include <cstdio>
#include <cstdlib>

namespace tovelin {
namespace {

[[noreturn]] void notACase(const char* type) {
  std::fprintf(stderr, "ConfigHelper: value outside %s\n", type);
  std::abort();
}

}  // namespace

Crc8Parameters ConfigHelper::crc8Parameters(CRC8_TYPE type) {
  using T = CRC8_TYPE;
  switch (type) {
    case T::defaultCrc:
      return {0x00, 0x07, 0x00, false, false};  // CRC-8/SMBUS
    case T::cdma2000:
      return {0xFF, 0x9B, 0x00, false, false};
    case T::darc:
      return {0x00, 0x39, 0x00, true, true};
    case T::dvbS2:
      return {0x00, 0xD5, 0x00, false, false};
    case T::ebu:
      return {0xFF, 0x1D, 0x00, true, true};  // CRC-8/TECH-3250
    case T::iCode:
      return {0xFD, 0x1D, 0x00, false, false};
    case T::itu:
      return {0x00, 0x07, 0x55, false, false};  // CRC-8/I-432-1
    case T::maxim:
      return {0x00, 0x31, 0x00, true, true};  // CRC-8/MAXIM-DOW
    case T::rohc:
      return {0xFF, 0x07, 0x00, true, true};
    case T::wcdma:
      return {0x00, 0x9B, 0x00, true, true};
  }
  notACase("CRC8_TYPE");
}

Crc16Parameters ConfigHelper::crc16Parameters(CRC16_TYPE type) {
  using T = CRC16_TYPE;
  switch (type) {
    case T::ccittFalse:
      return {0xFFFF, 0x1021, 0x0000, false, false};  // CRC-16/IBM-3740
    case T::arc:
      return {0x0000, 0x8005, 0x0000, true, true};
    case T::augCcitt:
      return {0x1D0F, 0x1021, 0x0000, false, false};  // CRC-16/SPI-FUJITSU
    case T::buypass:
      return {0x0000, 0x8005, 0x0000, false, false};  // CRC-16/UMTS
    case T::cdma2000:
      return {0xFFFF, 0xC867, 0x0000, false, false};
    case T::dds110:
      return {0x800D, 0x8005, 0x0000, false, false};
    case T::dectR:
      return {0x0000, 0x0589, 0x0001, false, false};
    case T::dectX:
      return {0x0000, 0x0589, 0x0000, false, false};
    case T::dnp:
      return {0x0000, 0x3D65, 0xFFFF, true, true};
    case T::en13757:
      return {0x0000, 0x3D65, 0xFFFF, false, false};
    case T::genibus:
      return {0xFFFF, 0x1021, 0xFFFF, false, false};
    case T::maxim:
      return {0x0000, 0x8005, 0xFFFF, true, true};  // CRC-16/MAXIM-DOW
    case T::mcrf4xx:
      return {0xFFFF, 0x1021, 0x0000, true, true};
    case T::riello:
      return {0xB2AA, 0x1021, 0x0000, true, true};
    case T::t10dif:
      return {0x0000, 0x8BB7, 0x0000, false, false};
    case T::teledisk:
      return {0x0000, 0xA097, 0x0000, false, false};
    case T::tms37157:
      return {0x89EC, 0x1021, 0x0000, true, true};
    case T::usb:
      return {0xFFFF, 0x8005, 0xFFFF, true, true};
    case T::a:
      return {0xC6C6, 0x1021, 0x0000, true, true};  // CRC-16/ISO-IEC-14443-3-A
    case T::kermit:
      return {0x0000, 0x1021, 0x0000, true, true};
    case T::modbus:
      return {0xFFFF, 0x8005, 0x0000, true, true};
    case T::x25:
      return {0xFFFF, 0x1021, 0xFFFF, true, true};  // CRC-16/IBM-SDLC
    case T::xmodem:
      return {0x0000, 0x1021, 0x0000, false, false};
  }
  notACase("CRC16_TYPE");
}

Crc32Parameters ConfigHelper::crc32Parameters(CRC32_TYPE type) {
  using T = CRC32_TYPE;
  switch (type) {
    case T::defaultCrc:
      return {0xFFFFFFFF, 0x04C11DB7, 0xFFFFFFFF, true, true};  // ISO-HDLC
    case T::bzip2:
      return {0xFFFFFFFF, 0x04C11DB7, 0xFFFFFFFF, false, false};
    case T::c:
      return {0xFFFFFFFF, 0x1EDC6F41, 0xFFFFFFFF, true, true};  // CRC-32/ISCSI
    case T::d:
      return {0xFFFFFFFF, 0xA833982B, 0xFFFFFFFF, true, true};  // CRC-32/BASE91-D
    case T::mpeg2:
      return {0xFFFFFFFF, 0x04C11DB7, 0x00000000, false, false};
    case T::posix:
      return {0x00000000, 0x04C11DB7, 0xFFFFFFFF, false, false};  // CRC-32/CKSUM
    case T::sata:
      return {0x52325032, 0x04C11DB7, 0x00000000, false, false};
    case T::q:
      return {0x00000000, 0x814141AB, 0x00000000, false, false};  // CRC-32/AIXM
    case T::jamcrc:
      return {0xFFFFFFFF, 0x04C11DB7, 0x00000000, true, true};
    case T::xfer:
      return {0x00000000, 0x000000AF, 0x00000000, false, false};
  }
  notACase("CRC32_TYPE");
}

}  // namespace tovelin
