#include "hostapp/paint/image_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "hostapp/core/local_file.h"
#include "hostapp/core/memory.h"
#include "hostapp/paint/colormode.h"
#include "hostapp/paint/exr_header.h"
#include "hostapp/paint/image_library.h"
#include "hostapp/paint/image_writer.h"
#include "hostapp/paint/paint_bitmap.h"
#include "hostapp/paint/png_reader.h"
#include "hostapp/paint/png_stream.h"

namespace hostapp {

namespace {

// The largest side of an image file that is decoded.
constexpr int32_t kMaxImageSide = 16384;

std::string lowerSuffix(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

// Paint colour modes keep alpha first; image files keep it last.
void moveAlphaLast(uint8_t* row, int32_t count, int32_t channels, int32_t componentBytes) {
  const size_t pixel = static_cast<size_t>(channels) * componentBytes;
  std::vector<uint8_t> alpha(static_cast<size_t>(componentBytes));
  for (int32_t x = 0; x < count; ++x) {
    uint8_t* p = row + x * pixel;
    std::copy(p, p + componentBytes, alpha.begin());
    std::copy(p + componentBytes, p + pixel, p);
    std::copy(alpha.begin(), alpha.end(), p + pixel - componentBytes);
  }
}

void moveAlphaFirst(uint8_t* row, int32_t count, int32_t channels, int32_t componentBytes) {
  const size_t pixel = static_cast<size_t>(channels) * componentBytes;
  std::vector<uint8_t> alpha(static_cast<size_t>(componentBytes));
  for (int32_t x = 0; x < count; ++x) {
    uint8_t* p = row + x * pixel;
    std::copy(p + pixel - componentBytes, p + pixel, alpha.begin());
    std::copy_backward(p, p + pixel - componentBytes, p + pixel);
    std::copy(alpha.begin(), alpha.end(), p);
  }
}

SampleType typeOfBytes(int32_t componentBytes) {
  return componentBytes == 1   ? SampleType::kUInt8
         : componentBytes == 2 ? SampleType::kUInt16
                               : SampleType::kFloat;
}

// Writes rows produced by `fill(y, buffer)` (alpha last, `type` samples) to the file.
template <class RowFill>
bool writeRows(const std::string& path, int32_t width, int32_t height, int32_t channels, bool alpha,
               SampleType type, RowFill fill, std::string& error) {
  const int32_t format = imageFormatOfPath(path);
  if (!format) {
    error = "The image " + path +
            " has a suffix this program cannot write (use .png, .tif, .exr, .jpg, .tga or .bmp).";
    return false;
  }
  // JPEG has no alpha: the colour is written alone.
  const int32_t fileChannels = (format == host::kFormatJPEG && alpha) ? channels - 1 : channels;
  ImageFormat spec;
  spec.width = width;
  spec.height = height;
  spec.channels = fileChannels;
  spec.type = type;
  if (alpha && fileChannels == channels) spec.alphaChannel = channels - 1;
  // Bitmaps hold straight alpha: the writers must not divide the colour by alpha on the way out.
  spec.unassociatedAlpha = true;
  if (format == host::kFormatPNG) setPngOptions(spec);
  const size_t sample = sampleBytes(type);
  std::vector<uint8_t> row(static_cast<size_t>(width) * channels * sample);
  return writeImageRows(
      path, spec, type,
      [&](int32_t y) -> const void* {
        fill(y, row.data());
        // Without alpha in the file, each pixel's colours close up.
        if (fileChannels != channels)
          for (int32_t x = 0; x < width; ++x)
            std::copy_n(&row[static_cast<size_t>(x) * channels * sample], fileChannels * sample,
                        &row[static_cast<size_t>(x) * fileChannels * sample]);
        return row.data();
      },
      error);
}

// Some of the image library's readers print their errors to stderr as well as returning them;
// the program says them once, in its own sentence. Standard error is closed to them while a
// file is opened and decoded. The program's own last words still reach the real standard
// error through `programStderr`.
std::atomic<int> gProgramStderr{2};

class QuietStderr {
 public:
  QuietStderr() {
    std::fflush(stderr);
    saved_ = ::dup(2);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0) {
      gProgramStderr = saved_;
      ::dup2(null, 2);
    }
    if (null >= 0) ::close(null);
  }
  ~QuietStderr() {
    std::fflush(stderr);
    if (saved_ >= 0) {
      ::dup2(saved_, 2);
      gProgramStderr = 2;
      ::close(saved_);
    }
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
};

}  // namespace

int programStderr() {
  return gProgramStderr;
}

namespace {

// An image file being read: by the program's own PNG reader, or by the image library.
struct OpenedImage {
  std::unique_ptr<ImageFileReader> reader;
  bool own = false;
  explicit operator bool() const { return reader != nullptr; }
  const ImageFileInfo& info() const { return reader->info(); }
};

std::unique_ptr<ImageFileReader> openWithLibrary(const std::string& path, std::string& error) {
  std::string why;
  ImageLibrary* library = imageLibrary(why);
  if (!library) {
    error = "The image " + path + " could not be read: " + why + ".";
    return nullptr;
  }
  std::unique_ptr<ImageFileReader> in;
  {
    const QuietStderr quiet;
    in = library->open(path, why);
  }
  if (!in) {
    why = libraryReason(why);
    error = "The image " + path + " could not be read: " +
            (why.empty() ? "it is not an image file this program knows" : why) + ".";
  }
  return in;
}

// True, with `error` set, when an image declares more than the largest side in a direction.
bool tooLarge(const std::string& path, int64_t width, int64_t height, std::string& error) {
  if (width <= kMaxImageSide && height <= kMaxImageSide) return false;
  error = "The image " + path + " declares " + std::to_string(width) + " x " +
          std::to_string(height) + " pixels, more than " + std::to_string(kMaxImageSide) +
          " in a direction; it was not decoded.";
  return true;
}

// Opens an image file whose size this program can hold: its declared size is checked against the
// largest side and the memory budget before any pixel is decoded. `bytesPerPixel` is what the
// decoded image and its bitmap need together; `wanted` is the sample type that will be read,
// none for the file's own. Empty with `error` set otherwise.
OpenedImage openImage(CountingMemory& memory, const std::string& path,
                      std::optional<SampleType> wanted, int32_t bytesPerPixel, std::string& error) {
  const std::string problem = inputFileProblem(path);
  if (!problem.empty()) {
    error = "The image " + path + " " + problem + ".";
    return {};
  }
  if (!pngFileComplete(path)) {
    error = "The image " + path + " could not be read: it is a PNG file cut short.";
    return {};
  }
  ExrWindow window;
  if (int64_t declared = 0; !exrFileHeadersFit(path, declared, &window)) {
    error = "The image " + path + " could not be read: its EXR header declares a value of " +
            std::to_string(declared) + " bytes, more than the file holds; it was not decoded.";
    return {};
  }
  if (tooLarge(path, window.width, window.height, error)) return {};
  OpenedImage in{openOwnPng(path, wanted), true};
  if (!in) in = OpenedImage{openWithLibrary(path, error), false};
  if (!in) return {};
  const ImageFileInfo& spec = in.info();
  if (spec.width <= 0 || spec.height <= 0 || spec.channels <= 0) {
    error = "The image " + path + " has no pixels this program can use.";
    return {};
  }
  if (tooLarge(path, spec.width, spec.height, error)) return {};
  const uint64_t bytes = uint64_t(spec.width) * uint64_t(spec.height) * uint64_t(bytesPerPixel);
  if (!memory.fits(bytes)) {
    error = "The image " + path + " declares " + std::to_string(spec.width) + " x " +
            std::to_string(spec.height) + " pixels, which would need " + byteSize(bytes) +
            ", more than the " + byteSize(memory.budget() - memory.reserved()) +
            " left in the memory budget; it was not decoded.";
    return {};
  }
  return in;
}

// Decodes the whole image. When the program's own PNG reader fails, the image library reads the
// file again and gives its reason, so that a damaged file is judged the same either way.
bool readImage(OpenedImage& in, const std::string& path, int32_t channels, SampleType type,
               void* pixels, std::string& error) {
  std::string why;
  bool read = false;
  {
    const QuietStderr quiet;
    read = in.reader->read(channels, type, pixels, why);
  }
  if (!read && in.own) {
    in = OpenedImage{openWithLibrary(path, error), false};
    if (!in) return false;
    const QuietStderr quiet;
    read = in.reader->read(channels, type, pixels, why);
  }
  if (!read) error = "The image " + path + " could not be read: " + libraryReason(why) + ".";
  return read;
}

}  // namespace

std::unique_ptr<PlainBitmap> loadPlainBitmap(CountingMemory& memory, const std::string& path,
                                             std::string& error) {
  // Decoded as 8-bit samples, then held at 4 bytes a pixel.
  OpenedImage in = openImage(memory, path, SampleType::kUInt8, 4 + 4, error);
  if (!in) return nullptr;
  const ImageFileInfo spec = in.info();
  const int channels = std::min(spec.channels, 4);
  std::vector<uint8_t> pixels(static_cast<size_t>(spec.width) * spec.height * channels);
  if (!readImage(in, path, channels, SampleType::kUInt8, pixels.data(), error)) return nullptr;
  in.reader.reset();
  auto bmp = std::make_unique<PlainBitmap>(memory);
  if (!bmp->init(spec.width, spec.height, 32)) {
    error = "The image " + path + " could not be loaded: the machine ran out of memory.";
    return nullptr;
  }
  const int alpha = spec.alphaChannel >= 0 && spec.alphaChannel < channels ? spec.alphaChannel
                    : channels == 4                                        ? 3
                                                                           : -1;
  for (int y = 0; y < spec.height; ++y) {
    for (int x = 0; x < spec.width; ++x) {
      const uint8_t* p = &pixels[(static_cast<size_t>(y) * spec.width + x) * channels];
      const uint8_t r = p[0], g = channels >= 3 ? p[1] : p[0], b = channels >= 3 ? p[2] : p[0];
      bmp->setPixel(x, y, r, g, b);
      bmp->setAlpha(x, y, alpha >= 0 ? p[alpha] : 255);
    }
  }
  return bmp;
}

std::unique_ptr<PaintTextureImpl> loadPaintTexture(CountingMemory& memory, const std::string& path,
                                                   std::string& error) {
  // Decoded at the layer's depth and held again by the layer: up to 16 bytes a pixel each.
  OpenedImage in = openImage(memory, path, std::nullopt, 2 * 16, error);
  if (!in) return nullptr;
  const ImageFileInfo spec = in.info();
  const int32_t channels = std::min(spec.channels, 4);
  const int32_t bytes = spec.type == SampleType::kUInt8    ? 1
                        : spec.type == SampleType::kUInt16 ? 2
                                                           : 4;
  static constexpr int32_t kModes[3][4] = {
      {host::kModeGrey8, host::kModeAGrey8, host::kModeRGB8, host::kModeARGB8},
      {host::kModeGrey16, host::kModeAGrey16, host::kModeRGB16, host::kModeARGB16},
      {host::kModeGreyF, host::kModeAGreyF, host::kModeRGBF, host::kModeARGBF}};
  const int32_t mode = kModes[bytes == 1 ? 0 : bytes == 2 ? 1 : 2][channels - 1];
  std::vector<uint8_t> pixels(static_cast<size_t>(spec.width) * spec.height * channels * bytes);
  if (!readImage(in, path, channels, typeOfBytes(bytes), pixels.data(), error)) return nullptr;
  in.reader.reset();
  auto tex = std::make_unique<PaintTextureImpl>(memory, path);
  tex->setFormat(spec.width, spec.height, mode);
  host::PaintBitmap* layer = tex->addLayer("Background", mode);
  if (!layer) {
    error = "The image " + path + " could not be loaded: the machine ran out of memory.";
    return nullptr;
  }
  const size_t rowBytes = static_cast<size_t>(spec.width) * channels * bytes;
  for (int32_t y = 0; y < spec.height; ++y) {
    uint8_t* row = &pixels[y * rowBytes];
    if (channels == 2 || channels == 4) moveAlphaFirst(row, spec.width, channels, bytes);
    layer->setPixelRow(0, y, spec.width, row, mode);
  }
  return tex;
}

int32_t imageFormatOfPath(const std::string& path) {
  const std::string ext = lowerSuffix(path);
  if (ext == ".tif" || ext == ".tiff") return host::kFormatTIFF;
  if (ext == ".tga") return host::kFormatTGA;
  if (ext == ".bmp") return host::kFormatBMP;
  if (ext == ".jpg" || ext == ".jpeg") return host::kFormatJPEG;
  if (ext == ".png") return host::kFormatPNG;
  if (ext == ".exr") return host::kFormatEXR;
  return 0;
}

bool saveImageFile(const host::PaintBitmap& bitmap, const std::string& path, std::string& error) {
  const ModeLayout* layout = modeLayout(bitmap.colorMode());
  if (!layout || layout->kind == ModeLayout::Kind::kCMYK) {
    error = "The image " + path + " cannot be written from a bitmap in colour mode " +
            std::to_string(bitmap.colorMode()) + ".";
    return false;
  }
  const int32_t width = bitmap.width(), height = bitmap.height();
  const int32_t channels = layout->components;
  const int32_t bytes = layout->componentBytes;
  const bool alpha = layout->alpha && channels > 1;
  return writeRows(
      path, width, height, channels, alpha, typeOfBytes(bytes),
      [&](int32_t y, uint8_t* row) {
        bitmap.getPixelRow(0, y, width, row, layout->mode);
        if (alpha) moveAlphaLast(row, width, channels, bytes);
      },
      error);
}

bool savePlainBitmap(const PlainBitmap& bitmap, const std::string& path, std::string& error) {
  const int32_t width = bitmap.width(), height = bitmap.height();
  const bool alpha = bitmap.bits() == 32;
  const int32_t channels = alpha ? 4 : 3;
  return writeRows(
      path, width, height, channels, alpha, SampleType::kUInt8,
      [&](int32_t y, uint8_t* row) {
        const uint8_t* src = &bitmap.rgba()[static_cast<size_t>(y) * width * 4];
        for (int32_t x = 0; x < width; ++x)
          for (int32_t c = 0; c < channels; ++c) row[x * channels + c] = src[x * 4 + c];
      },
      error);
}

}  // namespace hostapp
