// Renders one frame of each pattern with the real view and shader library and
// writes it as a PNG: the pictures of the patterns in the documentation.
//
// Usage: render_pattern_images [OUTPUT_DIR [WIDTH HEIGHT]]
// (defaults: docs/images of the source tree, 480x270). Each frame is shown
// over a sample backdrop (light at the top, dark at the bottom) the way its
// preset composites it: the layer's filter and the window's alpha blended by
// the separable blend formula, as the screen does.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/bundle.h"
#include "platform/base/log.h"
#include "platform/ui/png.h"
#include "render/metal_view.h"

namespace {

struct Preview {
  std::string fileName;
  tovelin::PatternType type;
  std::optional<std::string> filter;
  double alpha;
};

double blend(const std::optional<std::string>& filter, double backdrop, double source) {
  if (filter == "differenceBlendMode") return std::abs(backdrop - source);
  if (filter == "multiplyBlendMode") return backdrop * source;
  return source;
}

ui::Pixels composite(const ui::Pixels& frame, const Preview& preview) {
  ui::Pixels out = frame;
  for (int y = 0; y < frame.height; ++y) {
    const double t = frame.height > 1 ? static_cast<double>(y) / (frame.height - 1) : 0.0;
    const double backdrop[3] = {0.93 - 0.70 * t, 0.94 - 0.64 * t, 0.96 - 0.52 * t};
    for (int x = 0; x < frame.width; ++x) {
      const uint8_t* s = frame.at(x, y);
      uint8_t* o = out.rgba.data() + (s - frame.rgba.data());
      const double as = s[3] / 255.0 * preview.alpha;
      for (int c = 0; c < 3; ++c) {
        const double cs = s[c] / 255.0;
        const double result = (1 - as) * backdrop[c] + as * blend(preview.filter, backdrop[c], cs);
        o[c] = static_cast<uint8_t>(std::lround(std::clamp(result, 0.0, 1.0) * 255));
      }
      o[3] = 255;
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const std::string dir = !args.empty() ? args[0] : std::string(TOVELIN_SOURCE_DIR "/docs/images");
  int width = 480;
  int height = 270;
  if (args.size() == 3) {
    width = std::atoi(args[1].c_str());
    height = std::atoi(args[2].c_str());
  }
  if (args.size() == 2 || args.size() > 3 || width <= 0 || height <= 0 || width > 8192 ||
      height > 8192) {
    base::printError("usage: render_pattern_images [OUTPUT_DIR [WIDTH HEIGHT]]");
    return 2;
  }
  base::Bundle::main() = base::Bundle(TOVELIN_SOURCE_DIR "/resources");

  const Preview previews[] = {
      {"dots", tovelin::dots, "differenceBlendMode", 1.0},
      {"ladybug", tovelin::ladyBug, "multiplyBlendMode", 0.8},
      {"hearts", tovelin::hearts, "differenceBlendMode", 1.0},
  };
  for (const auto& preview : previews) {
    auto view = tovelin::MetalView::make(base::makeRect(0, 0, width, height), nullptr);
    view->setConstantsType(preview.type);
    view->setConstantsScale(1.0f);
    view->applyAcceleration(17.0, 9.0, 0.0);  // off the grid's origin
    view->drawRect(view->bounds());
    auto frame = view->snapshotPixels();
    if (!frame) {
      base::printError("render_pattern_images: the view presented no frame");
      return 1;
    }
    const std::string path = dir + "/pattern-" + preview.fileName + ".png";
    if (auto written = ui::writePng(path, composite(*frame, preview)); !written) {
      base::printError("render_pattern_images: " + written.error().message);
      return 1;
    }
    base::printError("wrote " + path);
  }
  return 0;
}
