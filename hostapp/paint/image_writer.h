// Encoding an image file straight into an AtomicFile, so that every image the program writes is
// complete or absent, with every write checked. PNG rows at the file's own depth and JPEG go
// through encoders of the program's own; every other file through the image library.
#pragma once

#include <cstdint>
#include <string>

#include "hostapp/paint/image_format.h"

namespace hostapp {

// An image library's reason for a failure, as the end of a sentence: without trailing stops and
// line breaks, and saying that memory ran out where the library passes on a failed allocation.
std::string libraryReason(std::string why);

// PNG files are written at zlib `level` (3 when the caller gives none: painted textures are
// large, and 3 writes them several times faster than 6 for files a few percent bigger), every
// row filtered against the row above. Letting the PNG library try every filter on every row
// took a third of each save, for files 1 to 10 percent smaller.
void setPngOptions(ImageFormat& format, int32_t level = -1);

// Writes `format.height` rows of `rowType` samples to `path`; `row(y)` gives row y, packed, with
// as many channels as `format` has. False with `error` set to one sentence naming the file on
// failure; the old file is then untouched and no temporary is left.
bool writeImageRows(const std::string& path, const ImageFormat& format, SampleType rowType,
                    const RowSource& row, std::string& error);

}  // namespace hostapp
