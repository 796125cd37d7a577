// Tests' QuickTime files: the atoms a movie header reader looks at, built in
// memory with chosen values and layouts, and written to temporary files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace media::testing {

using Bytes = std::vector<uint8_t>;

// An atom: 32-bit size, type, payload. `wideSize` uses the 64-bit size form.
Bytes atom(const char type[5], const Bytes& payload, bool wideSize = false);
// A movie header payload of `version` 0 or 1.
Bytes mvhdPayload(uint8_t version, uint32_t timeScale, uint64_t duration);
// 'ftyp', 'mdat' of `mediaBytes` bytes and 'moov' with a movie header; the
// 'moov' atom comes before the media data when `moovFirst`.
Bytes movie(uint32_t timeScale, uint64_t duration, uint8_t version = 0, bool moovFirst = false,
            size_t mediaBytes = 64);
Bytes concat(std::initializer_list<Bytes> parts);

// Writes `bytes` to a new file under the temporary folder; returns its path.
std::string writeTempFile(const Bytes& bytes, const std::string& stem = "movie");

}  // namespace media::testing
