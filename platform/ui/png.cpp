#include "platform/ui/png.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace ui {
namespace {

struct FileCloser {
  void operator()(FILE* f) const {
    if (f != nullptr) std::fclose(f);
  }
};
using File = std::unique_ptr<FILE, FileCloser>;

}  // namespace

base::Result<void> writePng(const std::string& path, const Pixels& image) {
  if (image.empty() || image.rgba.size() != static_cast<size_t>(image.width) *
                                                static_cast<size_t>(image.height) * 4) {
    return base::fail("cannot write " + path + ": the image is empty or malformed");
  }
  const std::string temp = path + ".tmp";
  File file(std::fopen(temp.c_str(), "wb"));
  if (!file) return base::fail("cannot write " + path + ": cannot create " + temp);

  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (png == nullptr || info == nullptr) {
    png_destroy_write_struct(&png, &info);
    std::remove(temp.c_str());
    return base::fail("cannot write " + path + ": out of memory");
  }
  std::vector<png_bytep> rows(static_cast<size_t>(image.height));
  for (int y = 0; y < image.height; ++y) {
    // libpng takes non-const rows but only reads them when writing.
    rows[static_cast<size_t>(y)] = const_cast<png_bytep>(image.at(0, y));
  }
  if (setjmp(png_jmpbuf(png)) != 0) {  // NOLINT(cert-err52-cpp): libpng's error model
    png_destroy_write_struct(&png, &info);
    file.reset();
    std::remove(temp.c_str());
    return base::fail("cannot write " + path + ": libpng failed");
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
               static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file.get()) != 0) {
    file.reset();
    std::remove(temp.c_str());
    return base::fail("cannot write " + path + ": disk full or not writable");
  }
  file.reset();
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return base::fail("cannot write " + path + ": cannot rename " + temp);
  }
  return base::ok();
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
