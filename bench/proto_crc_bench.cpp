// The two hot spots below the link: decoding one acceleration update (the
// phone's stream, one per notification) and the handshake digest, CRC-32/POSIX
// over 40 bytes. Each has a baseline in the same run: reading the 24 payload
// bytes straight out of the value, and a table-driven CRC-32/POSIX.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "crc/crc_calculator.h"
#include "proto/packet_codec.h"

namespace {

std::vector<uint8_t> accelerationValue() {
  tovelin::Packet p;
  auto* a = p.mutable_acceleration_update();
  a->set_x(0.125);
  a->set_y(-9.81);
  a->set_z(0.5);
  return tovelin::serializePacket(p);  // 26 bytes: 0A 18, then three tagged doubles
}

std::vector<uint8_t> handshakeInput() {
  constexpr std::string_view salt = "9F3B27C4-61DA-4E8F-A2C5-7B0D94E1F6A3";
  const uint32_t challenge = 0xDEADBEEF;
  std::vector<uint8_t> input(4 + salt.size());
  for (std::size_t i = 0; i < 4; ++i) {
    input[i] = static_cast<uint8_t>(challenge >> (24U - 8U * i));  // big-endian
  }
  std::copy(salt.begin(), salt.end(), input.begin() + 4);
  return input;
}

// Most-significant-bit-first CRC-32 with polynomial 0x04C11DB7, one table
// lookup per byte.
class TableCrc32Posix {
 public:
  TableCrc32Posix() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t r = i << 24U;
      for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000U) ? (r << 1U) ^ 0x04C11DB7U : r << 1U;
      table_[i] = r;
    }
  }

  uint32_t operator()(const std::vector<uint8_t>& bytes) const {
    uint32_t r = 0;
    for (const uint8_t b : bytes) r = (r << 8U) ^ table_[((r >> 24U) ^ b) & 0xFFU];
    return r ^ 0xFFFFFFFFU;
  }

 private:
  std::array<uint32_t, 256> table_{};
};

void BM_ParseAccelerationUpdate(benchmark::State& state) {
  const auto value = accelerationValue();
  for (auto _ : state) {
    auto packet = tovelin::parsePacket(value);
    benchmark::DoNotOptimize(packet);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(value.size()));
}
BENCHMARK(BM_ParseAccelerationUpdate);

void BM_BaselineReadAccelerationBytes(benchmark::State& state) {
  // The payload's three doubles sit after their tags at offsets 3, 12 and 21.
  const auto value = accelerationValue();
  for (auto _ : state) {
    std::array<double, 3> xyz{};
    std::memcpy(&xyz[0], value.data() + 3, 8);
    std::memcpy(&xyz[1], value.data() + 12, 8);
    std::memcpy(&xyz[2], value.data() + 21, 8);
    benchmark::DoNotOptimize(xyz);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(value.size()));
}
BENCHMARK(BM_BaselineReadAccelerationBytes);

void BM_Crc32PosixHandshake(benchmark::State& state) {
  const auto input = handshakeInput();
  for (auto _ : state) {
    benchmark::DoNotOptimize(tovelin::CrcCalculator::crc32(input, tovelin::CRC32_TYPE::posix));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(input.size()));
}
BENCHMARK(BM_Crc32PosixHandshake);

void BM_BaselineTableCrc32Posix(benchmark::State& state) {
  const auto input = handshakeInput();
  const TableCrc32Posix table;
  // A baseline that computed something else would make the ratio meaningless.
  if (table(input) != tovelin::CrcCalculator::crc32(input, tovelin::CRC32_TYPE::posix)) {
    state.SkipWithError("table CRC disagrees with the library");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(table(input));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(input.size()));
}
BENCHMARK(BM_BaselineTableCrc32Posix);

}  // namespace
