#include "platform/ui/png.h"

#include <png.h>

#include <string>

#include "platform/base/file.h"

namespace ui {

base::Result<void> writePng(const std::string& path, const Pixels& image) {
  if (image.empty() || image.rgba.size() != static_cast<size_t>(image.width) *
                                                static_cast<size_t>(image.height) * 4) {
    return base::fail("cannot write " + path + ": the image is empty or malformed");
  }
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_RGBA;
  // Asked for the size first, then encoded in memory: the file is written in
  // one piece by the atomic writer.
  png_alloc_size_t size = 0;
  if (png_image_write_to_memory(&png, nullptr, &size, 0, image.rgba.data(), 0, nullptr) == 0) {
    return base::fail("cannot write " + path + ": " + png.message);
  }
  std::string bytes(size, '\0');
  if (png_image_write_to_memory(&png, bytes.data(), &size, 0, image.rgba.data(), 0, nullptr) == 0) {
    return base::fail("cannot write " + path + ": " + png.message);
  }
  bytes.resize(size);
  return base::writeFileAtomically(path, bytes, 0666, base::Replacing::asCopy);
}

base::Result<Pixels> readPng(const std::string& path) {
  auto fail = [&](const std::string& why) {
    return base::fail("cannot read " + path + ": " + why);
  };
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&img, path.c_str()) == 0) return fail(img.message);
  img.format = PNG_FORMAT_RGBA;
  Pixels out;
  out.width = static_cast<int>(img.width);
  out.height = static_cast<int>(img.height);
  out.rgba.resize(PNG_IMAGE_SIZE(img));
  if (png_image_finish_read(&img, nullptr, out.rgba.data(), 0, nullptr) == 0) {
    const std::string why = img.message;
    png_image_free(&img);
    return fail(why);
  }
  return out;
}

}  // namespace ui
