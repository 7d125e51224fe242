#include "hostapp/paint/image_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "hostapp/core/local_file.h"
#include "hostapp/core/memory.h"
#include "hostapp/paint/colormode.h"
#include "hostapp/paint/exr_header.h"
#include "hostapp/paint/image_writer.h"
#include "hostapp/paint/paint_bitmap.h"
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

OIIO::TypeDesc typeOfBytes(int32_t componentBytes) {
  return componentBytes == 1   ? OIIO::TypeDesc::UINT8
         : componentBytes == 2 ? OIIO::TypeDesc::UINT16
                               : OIIO::TypeDesc::FLOAT;
}

// Writes rows produced by `fill(y, buffer)` (alpha last, `type` samples) to the file.
template <class RowFill>
bool writeRows(const std::string& path, int32_t width, int32_t height, int32_t channels, bool alpha,
               OIIO::TypeDesc type, RowFill fill, std::string& error) {
  const int32_t format = imageFormatOfPath(path);
  if (!format) {
    error = "The image " + path +
            " has a suffix this program cannot write (use .png, .tif, .exr, .jpg, .tga or .bmp).";
    return false;
  }
  // JPEG has no alpha: the colour is written alone.
  const int32_t fileChannels = (format == host::kFormatJPEG && alpha) ? channels - 1 : channels;
  OIIO::ImageSpec spec(width, height, fileChannels, type);
  if (alpha && fileChannels == channels) spec.alpha_channel = channels - 1;
  // Bitmaps hold straight alpha: the writers must not divide the colour by alpha on the way out.
  spec.attribute("oiio:UnassociatedAlpha", 1);
  if (format == host::kFormatPNG) setPngOptions(spec);
  const size_t sample = type.size();
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

// The image library's own debugging lines (a caught EXR exception, say) are not for painters;
// some builds of it print them unless told not to.
[[maybe_unused]] const bool gLibraryDebugOff = OIIO::attribute("debug", 0);

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

// Opens an image file whose size this program can hold: its declared size is checked against the
// largest side and the memory budget before any pixel is decoded. `bytesPerPixel` is what the
// decoded image and its bitmap need together. Null with `error` set otherwise.
std::unique_ptr<OIIO::ImageInput> openImage(CountingMemory& memory, const std::string& path,
                                            int32_t bytesPerPixel, std::string& error) {
  const std::string problem = inputFileProblem(path);
  if (!problem.empty()) {
    error = "The image " + path + " " + problem + ".";
    return nullptr;
  }
  if (!pngFileComplete(path)) {
    error = "The image " + path + " could not be read: it is a PNG file cut short.";
    return nullptr;
  }
  if (int64_t declared = 0; !exrFileHeadersFit(path, declared)) {
    error = "The image " + path + " could not be read: its EXR header declares a value of " +
            std::to_string(declared) + " bytes, more than the file holds; it was not decoded.";
    return nullptr;
  }
  // Bitmaps hold straight alpha: the readers must not multiply the colour by alpha on the way in.
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);
  std::unique_ptr<OIIO::ImageInput> in;
  {
    const QuietStderr quiet;
    in = OIIO::ImageInput::open(path, &config);
  }
  if (!in) {
    const std::string why = libraryReason(OIIO::geterror());
    error = "The image " + path + " could not be read: " +
            (why.empty() ? "it is not an image file this program knows" : why) + ".";
    return nullptr;
  }
  const OIIO::ImageSpec& spec = in->spec();
  if (spec.width <= 0 || spec.height <= 0 || spec.nchannels <= 0) {
    error = "The image " + path + " has no pixels this program can use.";
    return nullptr;
  }
  if (spec.width > kMaxImageSide || spec.height > kMaxImageSide) {
    error = "The image " + path + " declares " + std::to_string(spec.width) + " x " +
            std::to_string(spec.height) + " pixels, more than " + std::to_string(kMaxImageSide) +
            " in a direction; it was not decoded.";
    return nullptr;
  }
  const uint64_t bytes = uint64_t(spec.width) * uint64_t(spec.height) * uint64_t(bytesPerPixel);
  if (!memory.fits(bytes)) {
    error = "The image " + path + " declares " + std::to_string(spec.width) + " x " +
            std::to_string(spec.height) + " pixels, which would need " + byteSize(bytes) +
            ", more than the " + byteSize(memory.budget() - memory.reserved()) +
            " left in the memory budget; it was not decoded.";
    return nullptr;
  }
  return in;
}

}  // namespace

std::unique_ptr<PlainBitmap> loadPlainBitmap(CountingMemory& memory, const std::string& path,
                                             std::string& error) {
  // Decoded as 8-bit samples, then held at 4 bytes a pixel.
  auto in = openImage(memory, path, 4 + 4, error);
  if (!in) return nullptr;
  const OIIO::ImageSpec& spec = in->spec();
  const int channels = std::min(spec.nchannels, 4);
  std::vector<uint8_t> pixels(static_cast<size_t>(spec.width) * spec.height * channels);
  bool read = false;
  {
    const QuietStderr quiet;
    read = in->read_image(0, 0, 0, channels, OIIO::TypeDesc::UINT8, pixels.data());
  }
  if (!read) {
    error = "The image " + path + " could not be read: " + libraryReason(in->geterror()) + ".";
    return nullptr;
  }
  in->close();
  auto bmp = std::make_unique<PlainBitmap>(memory);
  if (!bmp->init(spec.width, spec.height, 32)) {
    error = "The image " + path + " could not be loaded: the machine ran out of memory.";
    return nullptr;
  }
  const int alpha = spec.alpha_channel >= 0 && spec.alpha_channel < channels ? spec.alpha_channel
                    : channels == 4                                          ? 3
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
  auto in = openImage(memory, path, 2 * 16, error);
  if (!in) return nullptr;
  const OIIO::ImageSpec& spec = in->spec();
  const int32_t channels = std::min(spec.nchannels, 4);
  const int32_t bytes = spec.format.basetype == OIIO::TypeDesc::UINT8    ? 1
                        : spec.format.basetype == OIIO::TypeDesc::UINT16 ? 2
                        : spec.format.basetype == OIIO::TypeDesc::HALF ||
                                spec.format.basetype == OIIO::TypeDesc::FLOAT ||
                                spec.format.basetype == OIIO::TypeDesc::DOUBLE
                            ? 4
                            : 1;
  static constexpr int32_t kModes[3][4] = {
      {host::kModeGrey8, host::kModeAGrey8, host::kModeRGB8, host::kModeARGB8},
      {host::kModeGrey16, host::kModeAGrey16, host::kModeRGB16, host::kModeARGB16},
      {host::kModeGreyF, host::kModeAGreyF, host::kModeRGBF, host::kModeARGBF}};
  const int32_t mode = kModes[bytes == 1 ? 0 : bytes == 2 ? 1 : 2][channels - 1];
  const OIIO::TypeDesc type = typeOfBytes(bytes);
  std::vector<uint8_t> pixels(static_cast<size_t>(spec.width) * spec.height * channels * bytes);
  bool read = false;
  {
    const QuietStderr quiet;
    read = in->read_image(0, 0, 0, channels, type, pixels.data());
  }
  if (!read) {
    error = "The image " + path + " could not be read: " + libraryReason(in->geterror()) + ".";
    return nullptr;
  }
  in->close();
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
      path, width, height, channels, alpha, OIIO::TypeDesc::UINT8,
      [&](int32_t y, uint8_t* row) {
        const uint8_t* src = &bitmap.rgba()[static_cast<size_t>(y) * width * 4];
        for (int32_t x = 0; x < width; ++x)
          for (int32_t c = 0; c < channels; ++c) row[x * channels + c] = src[x * 4 + c];
      },
      error);
}

}  // namespace hostapp
