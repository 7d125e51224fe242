#include "hostapp/paint/image_io.h"

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "hostapp/core/memory.h"
#include "hostapp/paint/colormode.h"
#include "hostapp/paint/paint_bitmap.h"

namespace hostapp {

namespace {

std::string lowerSuffix(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

std::string trimmed(std::string why) {
  while (!why.empty() && (why.back() == '\n' || why.back() == '.' || why.back() == ' '))
    why.pop_back();
  return why;
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

// Writes rows produced by `fill(y, buffer)` (alpha last, `type` samples) under a temporary name,
// then renames it over the target.
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
  auto out = OIIO::ImageOutput::create(path);
  if (!out) {
    error = "The image " + path + " cannot be written: " + trimmed(OIIO::geterror()) + ".";
    return false;
  }
  OIIO::ImageSpec spec(width, height, fileChannels, type);
  if (alpha && fileChannels == channels) spec.alpha_channel = channels - 1;
  // Bitmaps hold straight alpha: the writers must not divide the colour by alpha on the way out.
  spec.attribute("oiio:UnassociatedAlpha", 1);
  // Painted textures are large; a lighter compression writes them several times faster for files
  // a few percent bigger.
  if (format == host::kFormatPNG) spec.attribute("png:compressionLevel", 3);
  const std::string temp = path + ".partial";
  if (!out->open(temp, spec)) {
    error = "The image " + path + " cannot be written: " + trimmed(out->geterror()) + ".";
    std::remove(temp.c_str());
    return false;
  }
  const size_t sample = type.size();
  std::vector<uint8_t> row(static_cast<size_t>(width) * channels * sample);
  bool ok = true;
  for (int32_t y = 0; y < height && ok; ++y) {
    fill(y, row.data());
    ok =
        out->write_scanline(y, 0, type, row.data(), static_cast<OIIO::stride_t>(channels * sample));
  }
  std::string why = ok ? "" : out->geterror();
  ok = out->close() && ok;
  if (ok) {
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
      why = ec.message();
      ok = false;
    }
  } else if (why.empty()) {
    why = out->geterror();
  }
  if (!ok) {
    std::remove(temp.c_str());
    error = "The image " + path + " could not be written: " + trimmed(why) + ".";
  }
  return ok;
}

// Opens an image file whose size this program can hold; null with `error` set otherwise.
std::unique_ptr<OIIO::ImageInput> openImage(const std::string& path, std::string& error) {
  // Bitmaps hold straight alpha: the readers must not multiply the colour by alpha on the way in.
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);
  auto in = OIIO::ImageInput::open(path, &config);
  if (!in) {
    error = "The image " + path + " could not be read: " + trimmed(OIIO::geterror()) + ".";
    return nullptr;
  }
  const OIIO::ImageSpec& spec = in->spec();
  if (spec.width <= 0 || spec.height <= 0 || spec.nchannels <= 0 || spec.width > 65536 ||
      spec.height > 65536) {
    error = "The image " + path + " has no pixels this program can use.";
    return nullptr;
  }
  return in;
}

}  // namespace

std::unique_ptr<PlainBitmap> loadPlainBitmap(CountingMemory& memory, const std::string& path,
                                             std::string& error) {
  auto in = openImage(path, error);
  if (!in) return nullptr;
  const OIIO::ImageSpec& spec = in->spec();
  const int channels = spec.nchannels;
  std::vector<uint8_t> pixels(static_cast<size_t>(spec.width) * spec.height * channels);
  if (!in->read_image(0, 0, 0, channels, OIIO::TypeDesc::UINT8, pixels.data())) {
    error = "The image " + path + " could not be read: " + trimmed(in->geterror()) + ".";
    return nullptr;
  }
  in->close();
  auto bmp = std::make_unique<PlainBitmap>(memory);
  if (!bmp->init(spec.width, spec.height, 32)) {
    error = "The image " + path + " is too large to load.";
    return nullptr;
  }
  const int alpha = spec.alpha_channel >= 0 ? spec.alpha_channel : (channels == 4 ? 3 : -1);
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
  auto in = openImage(path, error);
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
  if (!in->read_image(0, 0, 0, channels, type, pixels.data())) {
    error = "The image " + path + " could not be read: " + trimmed(in->geterror()) + ".";
    return nullptr;
  }
  in->close();
  auto tex = std::make_unique<PaintTextureImpl>(memory, path);
  tex->setFormat(spec.width, spec.height, mode);
  host::PaintBitmap* layer = tex->addLayer("Background", mode);
  if (!layer) {
    error = "The image " + path + " is too large to load.";
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
