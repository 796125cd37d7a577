// PNG files of in-memory images, through libpng.
#pragma once

#include <optional>
#include <string>

#include "platform/ui/pixels.h"

namespace ui {

// Writes `image` as an 8-bit RGBA PNG. Returns an error text on failure; the
// file is written to a temporary name first, so a failed write leaves any
// earlier file at `path` as it was.
std::optional<std::string> writePng(const std::string& path, const Pixels& image);

// Reads an 8-bit RGB or RGBA PNG (any PNG libpng can expand to RGBA8).
std::optional<Pixels> readPng(const std::string& path, std::string* error = nullptr);

}  // namespace ui
