// Image files: reading them into plain bitmaps.
#pragma once

#include <memory>
#include <string>

#include "hostapp/paint/plain_bitmap.h"

namespace hostapp {

// Reads an image file (PNG, TIFF, JPEG, EXR, TGA, BMP ...) into a 32-bit plain bitmap; images
// without alpha read as opaque. Null with `error` set to one sentence naming the file on failure.
std::unique_ptr<PlainBitmap> loadPlainBitmap(CountingMemory& memory, const std::string& path,
                                             std::string& error);

}  // namespace hostapp
