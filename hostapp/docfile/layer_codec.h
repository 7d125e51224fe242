// Layer pixels in document files: lossless, in the layer's own colour mode, as blocks of whole
// rows, each compressed on its own (after grouping the bytes of 16-bit and float samples by
// significance, which lets the compressor see the slowly changing high bytes together).
#pragma once

#include <string>

#include "hostapp/docfile/chunk_stream.h"
#include "hostapp/paint/paint_bitmap.h"

namespace hostapp::docfile {

// Appends the pixels to the current chunk's payload.
bool writeLayerPixels(ChunkWriter& w, const PixelStore& pixels);
// Reads them from the current chunk into `pixels`, already allocated at the layer's size and
// mode. `why` ends the sentence that names the document.
bool readLayerPixels(ChunkReader& r, PixelStore& pixels, std::string& why);

}  // namespace hostapp::docfile
