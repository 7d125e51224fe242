// PNG files written by the program itself, the compression spread over the machine's cores.
//
// A painted 2048² texture spends nearly all of its save in deflate, which the image library runs
// on one core. Here the rows are filtered and deflated in strips of about 2 MiB on several
// threads, each strip a raw deflate stream ended on a byte boundary, and the strips are joined
// into one zlib stream whose checksum is combined from theirs. The file carries the same chunks
// the image library writes for the same image (gamma, sRGB, chromaticities, offset and colour
// space text), so that reading it back gives the same pixels and encoding.
#pragma once

#include <cstdint>
#include <string>

#include "hostapp/paint/image_format.h"

namespace hostapp {

class AtomicFile;

// True when writePngRows writes `format` from rows of `rowType`: 8 or 16-bit rows of one to four
// channels at the file's own depth, no description, and the compression options set (the "up"
// filter). Other PNG files go to the image library.
bool pngWriterTakes(const ImageFormat& format, SampleType rowType);

// Encodes `format.height` rows into `file`. `row(y)` is called on this thread, in order. False
// with `why` set (the end of a sentence) when memory runs out or the file fails.
bool writePngRows(AtomicFile& file, const ImageFormat& format, SampleType rowType,
                  const RowSource& row, std::string& why);

}  // namespace hostapp
