// The general image library (every format beyond the program's own PNG reader and its PNG and
// JPEG writers) lives in a module of its own, libpigmora_images.so, loaded the first time a file
// needs it. Linked into the program it cost every run, even one that touches no image, about
// 0.4 s of loading and 130 MB of memory before main began.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "hostapp/paint/image_format.h"

namespace hostapp {

// An image file opened for reading.
class ImageFileReader {
 public:
  virtual ~ImageFileReader() = default;
  virtual const ImageFileInfo& info() const = 0;
  // Decodes the first `channels` channels of the whole image as `type` samples into `pixels`,
  // rows packed. False with `why` set to the decoder's reason.
  virtual bool read(int32_t channels, SampleType type, void* pixels, std::string& why) = 0;
};

// The file an encoder writes into; it keeps failures to itself, so every write seems to work.
class ImageByteSink {
 public:
  virtual ~ImageByteSink() = default;
  virtual void writeAt(const void* data, size_t bytes, uint64_t offset) = 0;
  virtual size_t readAt(void* data, size_t bytes, uint64_t offset) const = 0;
  virtual uint64_t size() const = 0;
  // A name for encoders that write their file by name (TIFF).
  virtual const std::string& temporaryPath() const = 0;
};

class ImageLibrary {
 public:
  virtual ~ImageLibrary() = default;
  // Opens a file, or null with `why` set to the library's reason (empty when it has none).
  virtual std::unique_ptr<ImageFileReader> open(const std::string& path, std::string& why) = 0;
  // Opens bytes in memory as the format that `name`'s suffix says.
  virtual std::unique_ptr<ImageFileReader> openBytes(std::string_view bytes, const char* name) = 0;
  // Encodes the image named `path` (its suffix picks the format) into `sink`. False with `why`
  // set to the library's reason.
  virtual bool write(ImageByteSink& sink, const std::string& path, const ImageFormat& format,
                     SampleType rowType, const RowSource& row, std::string& why) = 0;
  // Encodes 8-bit pixels (alpha last when there are four channels) as the format that `name`'s
  // suffix says, into `out`.
  virtual bool encodeBytes(const char* name, int32_t width, int32_t height, int32_t channels,
                           const uint8_t* pixels, std::vector<unsigned char>& out) = 0;
  // Rounds `count` samples to 8 bits as the library's writers do.
  virtual void toBytes(SampleType from, const void* samples, uint8_t* bytes, size_t count) = 0;
};

// The library, loaded on first use from beside the program; null with `why` set when the module
// cannot be loaded. Thread-safe.
ImageLibrary* imageLibrary(std::string& why);

}  // namespace hostapp

// The module's one entry point.
extern "C" hostapp::ImageLibrary* pigmoraImageLibrary();
