#include "platform/media/movie_bytes.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace media::testing {
namespace {

void put32(Bytes& b, uint64_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
}
void put64(Bytes& b, uint64_t v) {
  put32(b, v >> 32);
  put32(b, v & 0xFFFFFFFFu);
}

}  // namespace

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes atom(const char type[5], const Bytes& payload, bool wideSize) {
  Bytes b;
  if (wideSize) {
    put32(b, 1);
  } else {
    put32(b, payload.size() + 8);
  }
  b.insert(b.end(), type, type + 4);
  if (wideSize) put64(b, payload.size() + 16);
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}

Bytes mvhdPayload(uint8_t version, uint32_t timeScale, uint64_t duration) {
  Bytes b{version, 0, 0, 0};
  if (version == 0) {
    put32(b, 11);  // creation
    put32(b, 12);  // modification
    put32(b, timeScale);
    put32(b, duration);
  } else {
    put64(b, 11);
    put64(b, 12);
    put32(b, timeScale);
    put64(b, duration);
  }
  put32(b, 0x00010000);        // preferred rate 1.0
  b.resize(b.size() + 76, 0);  // volume, matrix, next track id ...
  return b;
}

Bytes movie(uint32_t timeScale, uint64_t duration, uint8_t version, bool moovFirst,
            size_t mediaBytes) {
  const Bytes ftyp = atom("ftyp", Bytes{'q', 't', ' ', ' ', 0, 0, 2, 0, 'q', 't', ' ', ' '});
  const Bytes mdat = atom("mdat", Bytes(mediaBytes, 0xAB));
  const Bytes moov = atom("moov", atom("mvhd", mvhdPayload(version, timeScale, duration)));
  return moovFirst ? concat({ftyp, moov, mdat}) : concat({ftyp, mdat, moov});
}

std::string writeTempFile(const Bytes& bytes, const std::string& stem) {
  const char* tmp = std::getenv("TMPDIR");
  std::string path = std::string(tmp != nullptr ? tmp : "/tmp") + "/" + stem + "-XXXXXX";
  const int fd = ::mkstemp(path.data());
  if (fd < 0) throw std::runtime_error("cannot make a temporary file");
  ::close(fd);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return path;
}

}  // namespace media::testing
