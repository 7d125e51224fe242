#include "hostapp/docfile/image_memory.h"

#include <vector>

#include "hostapp/docfile/format.h"
#include "hostapp/paint/exr_header.h"
#include "hostapp/paint/image_library.h"
#include "hostapp/paint/png_stream.h"

namespace hostapp::docfile {

namespace {
// The name whose suffix picks the image format's reader or writer.
const char* nameOfFormat(int32_t format) {
  switch (format) {
    case host::kFormatTIFF:
      return "image.tif";
    case host::kFormatTGA:
      return "image.tga";
    case host::kFormatBMP:
      return "image.bmp";
    case host::kFormatJPEG:
      return "image.jpg";
    case host::kFormatPNG:
      return "image.png";
    case host::kFormatEXR:
      return "image.exr";
    default:
      return nullptr;
  }
}

// No image format this host writes packs pixels tighter than deflate does (about 1032 to 1);
// a file claiming more pixels than that for its size lies.
constexpr uint64_t kMaxPackingRatio = 1100;
constexpr uint64_t kSmallImageBytes = 1 << 20;
}  // namespace

bool encodeImage(const host::Bitmap& bitmap, int32_t format, bool alpha, std::string& out) {
  const char* name = nameOfFormat(format);
  if (!name || bitmap.width() <= 0 || bitmap.height() <= 0) return false;
  const int32_t w = bitmap.width(), h = bitmap.height();
  const int channels = alpha && bitmap.bits() == 32 && format != host::kFormatJPEG ? 4 : 3;
  std::string why;
  ImageLibrary* library = imageLibrary(why);
  if (!library) return false;
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * channels);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = &pixels[(static_cast<size_t>(y) * w + x) * channels];
      bitmap.getPixel(x, y, p[0], p[1], p[2]);
      if (channels == 4) p[3] = bitmap.getAlpha(x, y);
    }
  }
  std::vector<unsigned char> file;
  if (!library->encodeBytes(name, w, h, channels, pixels.data(), file)) return false;
  out.assign(reinterpret_cast<const char*>(file.data()), file.size());
  return true;
}

bool decodeImage(std::string_view bytes, int32_t format, host::Bitmap& bitmap) {
  const char* name = nameOfFormat(format);
  if (!name || bytes.empty()) return false;
  if (format == host::kFormatPNG && !pngChunksComplete(bytes)) return false;
  ExrWindow window;
  if (int64_t declared = 0;
      !exrHeadersFit(bytes, static_cast<int64_t>(bytes.size()), declared, &window) ||
      window.width > kMaxImageSide || window.height > kMaxImageSide)
    return false;
  std::string why;
  ImageLibrary* library = imageLibrary(why);
  if (!library) return false;
  std::unique_ptr<ImageFileReader> img = library->openBytes(bytes, name);
  if (!img) return false;
  const ImageFileInfo spec = img->info();
  if (spec.width <= 0 || spec.height <= 0 || spec.channels <= 0 || spec.width > kMaxImageSide ||
      spec.height > kMaxImageSide || spec.volume)
    return false;
  const int channels = std::min(spec.channels, 4);
  const uint64_t pixelBytes = uint64_t(spec.width) * uint64_t(spec.height) * uint64_t(channels);
  if (pixelBytes > kSmallImageBytes && pixelBytes > kMaxPackingRatio * bytes.size()) return false;
  std::vector<uint8_t> pixels(static_cast<size_t>(pixelBytes));
  if (!img->read(channels, SampleType::kUInt8, pixels.data(), why)) return false;
  const bool alpha = channels == 4 || channels == 2;
  if (!bitmap.init(spec.width, spec.height, alpha ? 32 : 24)) return false;
  for (int32_t y = 0; y < spec.height; ++y) {
    for (int32_t x = 0; x < spec.width; ++x) {
      const uint8_t* p = &pixels[(static_cast<size_t>(y) * spec.width + x) * channels];
      if (channels >= 3)
        bitmap.setPixel(x, y, p[0], p[1], p[2]);
      else
        bitmap.setPixel(x, y, p[0], p[0], p[0]);
      if (alpha) bitmap.setAlpha(x, y, p[channels - 1]);
    }
  }
  return true;
}

}  // namespace hostapp::docfile
