// JPEG files written with the JPEG library directly, under an error manager of ours: whatever
// goes wrong, memory included, the encoder hands control back here and is torn down, so that a
// failed save ends in a sentence and never in the library's own exit or in a half-made encoder.
#pragma once

#include <cstdint>
#include <string>

#include "hostapp/core/atomic_file.h"
#include "hostapp/paint/image_format.h"

namespace hostapp {

class ImageLibrary;

// Encodes `format.height` rows of 1 (grey) or 3 (RGB) channels of `rowType` samples into `file`;
// samples other than uint8 are rounded to 8 bits through `library`. False with `why` set to a
// reason (the end of a sentence) on failure; the file is then left for the caller to discard.
bool writeJpegRows(AtomicFile& file, const ImageFormat& format, SampleType rowType,
                   const RowSource& row, ImageLibrary* library, std::string& why);

}  // namespace hostapp
