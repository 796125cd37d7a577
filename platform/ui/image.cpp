#include "platform/ui/image.h"

#include <map>

#include "platform/base/bundle.h"
#include "platform/base/log.h"
#include "platform/ui/png.h"

namespace ui {

Image::Image(Pixels pixels, std::string name)
    : pixels_(std::move(pixels)),
      name_(std::move(name)),
      size_{static_cast<double>(pixels_.width), static_cast<double>(pixels_.height)} {}

std::shared_ptr<Image> Image::imageNamed(const std::string& name) {
  // Keyed by system name or by file path, so a test that points the bundle
  // elsewhere sees that bundle's files.
  static std::map<std::string, std::shared_ptr<Image>> cache;

  if (auto found = cache.find("system:" + name); found != cache.end()) return found->second;
  if (auto pixels = drawSystemImage(name)) {
    auto image = std::make_shared<Image>(std::move(*pixels), name);
    cache.emplace("system:" + name, image);
    return image;
  }

  auto path = base::Bundle::main().pathForResource(name, "png");
  if (!path) return nullptr;
  if (auto found = cache.find(*path); found != cache.end()) return found->second;
  auto pixels = readPng(*path);
  if (!pixels) {
    base::printError("image \"" + name + "\": " + pixels.error().message);
    return nullptr;
  }
  auto image = std::make_shared<Image>(std::move(*pixels), name);
  cache.emplace(*path, image);
  return image;
}

}  // namespace ui
