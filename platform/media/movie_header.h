// The movie header of a QuickTime file: how long the movie lasts.
//
// A QuickTime (.mov) file is a sequence of atoms, each a 32-bit big-endian
// size, a four-letter type and a payload; the 'moov' atom holds the movie's
// description and, inside it, the 'mvhd' atom gives the time scale (units a
// second) and the duration in those units. Players need nothing else from the
// file here, so the reader walks the atoms to that one header and skips the
// media data without reading it. Every size is checked against its parent,
// so a truncated or hostile file gives an error, never a read out of bounds.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "platform/base/result.h"

namespace media {

struct MovieHeader {
  uint8_t version = 0;     // 0: 32-bit times; 1: 64-bit times
  uint32_t timeScale = 0;  // units a second
  uint64_t duration = 0;   // in time-scale units

  [[nodiscard]] double seconds() const {
    return timeScale == 0 ? 0.0 : static_cast<double>(duration) / timeScale;
  }
};

// Reads `length` bytes at `offset` into `out`; false when they are not there.
using ReadAt = std::function<bool(uint64_t offset, size_t length, uint8_t* out)>;

// Finds and decodes the movie header of a file of `fileSize` bytes read
// through `read`.
base::Result<MovieHeader> parseMovieHeader(uint64_t fileSize, const ReadAt& read);

// The same over bytes in memory.
base::Result<MovieHeader> parseMovieHeader(std::span<const uint8_t> bytes);

// The same over a file; an unreadable file is an error too.
base::Result<MovieHeader> readMovieHeader(const std::string& path);

}  // namespace media
