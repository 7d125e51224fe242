// Plain bitmaps as image files held in memory: what the document-file image primitive stores.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/paint.h"

namespace hostapp::docfile {

// Encodes the bitmap as an image file of a host format id (1100 TIFF ... 1105 EXR); with alpha
// the bitmap's alpha is kept when it has 32 bits. False when the format cannot be written.
bool encodeImage(const host::Bitmap& bitmap, int32_t format, bool alpha, std::string& out);
// Decodes an image file of that format into the bitmap (24 bits, or 32 with alpha). False when
// the data is no such image, or claims more pixels than its bytes can hold.
bool decodeImage(std::string_view bytes, int32_t format, host::Bitmap& bitmap);

}  // namespace hostapp::docfile
