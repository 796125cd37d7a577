// PNG files of in-memory images, through libpng.
#pragma once

#include <string>

#include "platform/base/result.h"
#include "platform/ui/pixels.h"

namespace ui {

// Writes `image` as an 8-bit RGBA PNG. The file is written to a temporary
// name first, so a failed write leaves any earlier file at `path` as it was.
// Only a regular file is replaced (through a symbolic link, its target): a
// folder, FIFO, socket or device at `path` is refused and left as it is. As
// cp does, a file this user may not write is refused too, a replaced file
// keeps its mode, and a new one gets 0666 less the umask.
base::Result<void> writePng(const std::string& path, const Pixels& image);

// Reads an 8-bit RGB or RGBA PNG (any PNG libpng can expand to RGBA8).
base::Result<Pixels> readPng(const std::string& path);

}  // namespace ui
