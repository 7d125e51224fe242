// Document files as scene hooks see them: the hook's part of a saved document, written and read
// item by item with the host's primitives while the host saves or loads the document.
#pragma once

#include <cstdint>

#include "host/values.h"

namespace host {

class Bitmap;
class Document;
class Settings;

// Bits of an image's save flags.
constexpr int32_t kSaveBitAlpha = 1;  // keep the alpha channel where the bitmap has one

// Every call answers whether it succeeded; a read fails when the next item in the file is not of
// the kind asked for, or when the data ends. Valid only during the hook's read or write call.
class DocumentFile {
 public:
  virtual ~DocumentFile() = default;
  virtual bool writeInt32(int32_t v) = 0;
  virtual bool readInt32(int32_t& v) = 0;
  // Writes the bitmap as an image file of the host's format id (1104 PNG ...) with optional
  // format settings. A null or empty bitmap is written as an image without pixels.
  virtual bool writeImage(const Bitmap* bitmap, int32_t format, const Settings* settings,
                          int32_t saveBits) = 0;
  // Reads the next image into the bitmap, which is initialised to its size (24 bits, or 32
  // when the image kept its alpha); an image without pixels leaves the bitmap as it is.
  virtual bool readImage(Bitmap& bitmap) = 0;
  virtual bool writeMatrix(const Matrix& m) = 0;
  virtual bool readMatrix(Matrix& m) = 0;
  // The document being saved or loaded. Owned by the host.
  virtual Document* document() const = 0;
};

}  // namespace host
