#include "platform/media/movie_header.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace media {
namespace {

uint32_t be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

uint64_t be64(const uint8_t* p) { return (uint64_t{be32(p)} << 32) | be32(p + 4); }

std::string typeText(const uint8_t* t) {
  std::string s(4, '?');
  for (size_t i = 0; i < 4; ++i) {
    if (t[i] >= 0x20 && t[i] < 0x7F) s[i] = static_cast<char>(t[i]);
  }
  return "'" + s + "'";
}

struct Atom {
  uint64_t payload = 0;  // offset of the payload
  uint64_t end = 0;      // offset just past the atom
};

// Looks for the first atom of type `want` among the atoms that fill
// [begin, end). Fewer than 8 bytes left over at the end are padding.
base::Result<Atom> findAtom(const ReadAt& read, uint64_t begin, uint64_t end, const char* want) {
  uint64_t pos = begin;
  while (end - pos >= 8) {
    std::array<uint8_t, 16> head{};
    if (!read(pos, 8, head.data()))
      return base::fail("cannot read at offset " + std::to_string(pos));
    uint64_t size = be32(head.data());
    uint64_t headerSize = 8;
    if (size == 1) {
      if (end - pos < 16 || !read(pos + 8, 8, head.data() + 8)) {
        return base::fail("truncated atom " + typeText(head.data() + 4) + " at offset " +
                          std::to_string(pos));
      }
      size = be64(head.data() + 8);
      headerSize = 16;
    } else if (size == 0) {
      size = end - pos;  // the atom runs to the end of its container
    }
    if (size < headerSize) {
      return base::fail("malformed atom " + typeText(head.data() + 4) + " at offset " +
                        std::to_string(pos) + " (size " + std::to_string(size) + ")");
    }
    if (size > end - pos) {
      return base::fail("atom " + typeText(head.data() + 4) + " at offset " + std::to_string(pos) +
                        " runs past the end of its container");
    }
    if (std::memcmp(head.data() + 4, want, 4) == 0) {
      return Atom{pos + headerSize, pos + size};
    }
    pos += size;
  }
  return base::fail(std::string("no '") + want + "' atom");
}

}  // namespace

base::Result<MovieHeader> parseMovieHeader(uint64_t fileSize, const ReadAt& read) {
  const auto moov = findAtom(read, 0, fileSize, "moov");
  if (!moov) return moov.error();
  const auto found = findAtom(read, moov->payload, moov->end, "mvhd");
  if (!found) return found.error();
  const Atom& mvhd = *found;

  const uint64_t length = mvhd.end - mvhd.payload;
  std::array<uint8_t, 32> body{};
  if (length < 4 || !read(mvhd.payload, 4, body.data())) {
    return base::fail("the movie header is truncated");
  }
  MovieHeader header;
  header.version = body[0];
  if (header.version > 1) {
    return base::fail("unsupported movie header version " + std::to_string(header.version));
  }
  // version, flags, creation and modification times, time scale, duration
  const size_t need = header.version == 0 ? 20 : 32;
  if (length < need || !read(mvhd.payload, need, body.data())) {
    return base::fail("the movie header is truncated");
  }
  bool unknown = false;
  if (header.version == 0) {
    header.timeScale = be32(body.data() + 12);
    header.duration = be32(body.data() + 16);
    unknown = header.duration == 0xFFFFFFFFu;
  } else {
    header.timeScale = be32(body.data() + 20);
    header.duration = be64(body.data() + 24);
    unknown = header.duration == ~uint64_t{0};
  }
  if (header.timeScale == 0) {
    return base::fail("the movie header has a time scale of 0");
  }
  if (unknown) {
    return base::fail("the movie header gives no duration");
  }
  return header;
}

base::Result<MovieHeader> parseMovieHeader(std::span<const uint8_t> bytes) {
  const ReadAt read = [bytes](uint64_t offset, size_t length, uint8_t* out) {
    if (offset > bytes.size() || length > bytes.size() - offset) return false;
    std::memcpy(out, bytes.data() + offset, length);
    return true;
  };
  return parseMovieHeader(bytes.size(), read);
}

base::Result<MovieHeader> readMovieHeader(const std::string& path) {
  // O_NONBLOCK: a FIFO must not hold the run loop waiting for a writer; it is
  // refused below as not a regular file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    return base::fail("cannot open " + path + ": " + std::strerror(errno));
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return base::fail(path + " is not a regular file");
  }
  const ReadAt read = [fd](uint64_t offset, size_t length, uint8_t* out) {
    size_t done = 0;
    while (done < length) {
      const ssize_t n = ::pread(fd, out + done, length - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  };
  auto header = parseMovieHeader(static_cast<uint64_t>(st.st_size), read);
  ::close(fd);
  if (!header) return base::fail(path + ": " + header.error().message);
  return header;
}

}  // namespace media
