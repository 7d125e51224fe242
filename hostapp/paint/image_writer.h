// Encoding an image file with OpenImageIO straight into an AtomicFile, so that every image the
// program writes is complete or absent, with every write checked.
#pragma once

#include <OpenImageIO/imageio.h>

#include <cstdint>
#include <functional>
#include <string>

namespace hostapp {

// An image library's reason for a failure, as the end of a sentence: without trailing stops and
// line breaks, and saying that memory ran out where the library passes on a failed allocation.
std::string libraryReason(std::string why);

// PNG files are written at zlib `level` (3 when the caller gives none: painted textures are
// large, and 3 writes them several times faster than 6 for files a few percent bigger), every
// row filtered against the row above. Letting the PNG library try every filter on every row
// took a third of each save, for files 1 to 10 percent smaller.
void setPngOptions(OIIO::ImageSpec& spec, int32_t level = -1);

// Writes `format.height` rows of `rowType` samples to `path`; `row(y)` gives row y, packed, with
// as many channels as `format` has. False with `error` set to one sentence naming the file on
// failure; the old file is then untouched and no temporary is left.
bool writeImageRows(const std::string& path, const OIIO::ImageSpec& format, OIIO::TypeDesc rowType,
                    const std::function<const void*(int32_t y)>& row, std::string& error);

}  // namespace hostapp
