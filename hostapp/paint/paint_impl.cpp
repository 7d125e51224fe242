#include "hostapp/paint/paint_impl.h"

#include <filesystem>
#include <vector>

#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/colormode.h"
#include "hostapp/paint/colorspace.h"
#include "hostapp/paint/image_io.h"
#include "hostapp/paint/paint_bitmap.h"
#include "hostapp/paint/plain_bitmap.h"
#include "hostapp/scene/document.h"
#include "hostapp/scene/material.h"

namespace hostapp {

host::PaintTexture* PaintImpl::textureOf(host::Material* mat, int32_t channel,
                                         host::Document* doc) {
  auto* ch = mat ? dynamic_cast<ChannelImpl*>(mat->channel(channel)) : nullptr;
  auto* d = dynamic_cast<DocumentImpl*>(doc);
  if (!ch || !d) return nullptr;
  const std::string path = ch->texturePath();
  if (path.empty()) return nullptr;
  if (PaintTextureImpl* open = d->textureAt(path)) return open;
  // Not open yet: the channel's file is opened as a texture of one layer. A file that cannot be
  // read leaves the channel without a texture, as a missing file does.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return nullptr;
  std::string error;
  std::unique_ptr<PaintTextureImpl> tex = loadPaintTexture(host_.memory(), path, error);
  if (!tex) {
    host_.events().print(error);
    return nullptr;
  }
  // A colour channel's layer holds sRGB in integer modes and linear values in float ones, which
  // is not always what the file holds (a 16-bit PNG tagged linear, say).
  const bool colour = isColorChannel(channel);
  reencodeTexture(*tex, imageFileEncoding(path, colour), layerEncoding(tex->colorMode(), colour));
  PaintTextureImpl* raw = tex.get();
  d->addTexture(path, std::move(tex));
  return raw;
}

host::PaintTexture* PaintImpl::materialTexture(host::Material* mat, host::Document* doc) {
  if (!mat) return nullptr;
  for (int32_t c = 0; c < 14; ++c)
    if (host::PaintTexture* tex = textureOf(mat, c, doc)) return tex;
  return nullptr;
}

std::unique_ptr<PaintTextureImpl> PaintImpl::makeTexture(const std::string& path,
                                                         const host::Settings& settings) {
  const int32_t width = settings.getInt32(host::kNewTexWidth);
  const int32_t height = settings.getInt32(host::kNewTexHeight);
  const int32_t mode = settings.getInt32(host::kNewTexColorMode, host::kModeARGB8);
  if (path.empty() || formatSuffix(settings.getInt32(host::kNewTexFormat)).empty()) return nullptr;
  if (width <= 0 || height <= 0 || !modeLayout(mode)) return nullptr;
  auto tex = std::make_unique<PaintTextureImpl>(host_.memory(), path);
  tex->setFormat(width, height, mode);
  host::PaintBitmap* layer = tex->addLayer("Background", mode);
  if (!layer) return nullptr;
  if (settings.getInt32(host::kNewTexFillStyle) == host::kFillStyleColor) {
    const host::Vector c = settings.getVector(host::kNewTexFillColor);
    PixelF p;
    p.r = static_cast<float>(c.x / 255.0);
    p.g = static_cast<float>(c.y / 255.0);
    p.b = static_cast<float>(c.z / 255.0);
    static_cast<PaintLayerImpl*>(layer)->pixels().fill(p);
  }
  return tex;
}

host::PaintTexture* PaintImpl::openNewTexture(host::Document* doc, const std::string& path,
                                              const host::Settings& settings) {
  auto* d = dynamic_cast<DocumentImpl*>(doc);
  std::unique_ptr<PaintTextureImpl> tex = d ? makeTexture(path, settings) : nullptr;
  if (!tex) return nullptr;
  PaintTextureImpl* raw = tex.get();
  d->addTexture(path, std::move(tex));
  return raw;
}

host::PaintTexture* PaintImpl::createTexture(host::Document* doc, const std::string& path,
                                             const host::Settings& settings) {
  auto* d = dynamic_cast<DocumentImpl*>(doc);
  std::unique_ptr<PaintTextureImpl> tex = d ? makeTexture(path, settings) : nullptr;
  if (!tex) return nullptr;
  // A texture in a folder is a file from the start, so that the channel that links it finds it
  // when the document is opened again.
  if (std::filesystem::path(path).has_parent_path()) {
    std::string error;
    if (!saveImageFile(*tex, path, error)) {
      host_.events().print(error);
      return nullptr;
    }
  }
  PaintTextureImpl* raw = tex.get();
  d->addTexture(path, std::move(tex));
  return raw;
}

void PaintImpl::defaultTextureSettings(int32_t channel, host::Settings& settings) {
  // What each channel shows before it is painted: colour and amount channels start white, the
  // light and environment channels black, height channels at their middle grey and normals flat.
  host::Vector fill(255, 255, 255);
  switch (channel) {
    case 1:   // luminance
    case 2:   // transparency
    case 3:   // reflection
    case 4:   // environment
    case 10:  // glow
      fill = {0, 0, 0};
      break;
    case 6:   // bump
    case 11:  // displacement
      fill = {128, 128, 128};
      break;
    case 13:  // normal
      fill = {128, 128, 255};
      break;
    default:
      break;
  }
  settings.setInt32(host::kNewTexFormat, host::kFormatTIFF);
  settings.setInt32(host::kNewTexWidth, 1024);
  settings.setInt32(host::kNewTexHeight, 1024);
  settings.setInt32(host::kNewTexColorMode, host::kModeARGB8);
  settings.setInt32(host::kNewTexFillStyle, host::kFillStyleColor);
  settings.setVector(host::kNewTexFillColor, fill);
}

std::string PaintImpl::formatSuffix(int32_t format) {
  switch (format) {
    case host::kFormatTIFF:
      return ".tif";
    case host::kFormatTGA:
      return ".tga";
    case host::kFormatBMP:
      return ".bmp";
    case host::kFormatJPEG:
      return ".jpg";
    case host::kFormatPNG:
      return ".png";
    case host::kFormatEXR:
      return ".exr";
    default:
      return "";
  }
}

bool PaintImpl::convertPixels(int32_t srcMode, const void* src, int32_t dstMode, void* dst,
                              int32_t count) {
  return src && dst && hostapp::convertPixels(srcMode, src, dstMode, dst, count);
}

bool PaintImpl::prepareConversion(int32_t srcMode, const double matrix[4], int32_t dstMode) {
  // The embedded host converts through float RGB directly; only the modes need to be known.
  return matrix && modeLayout(srcMode) && modeLayout(dstMode);
}

std::unique_ptr<host::Bitmap> PaintImpl::createBitmap() {
  if (host_.memory().refuseNext()) return nullptr;
  return std::make_unique<PlainBitmap>(host_.memory());
}

bool PaintImpl::replaceLayerPixels(host::PaintBitmap* layer, const host::Bitmap& bitmap) {
  if (!layer || layer->width() != bitmap.width() || layer->height() != bitmap.height())
    return false;
  std::vector<uint8_t> row(static_cast<size_t>(bitmap.width()) * 4);
  for (int32_t y = 0; y < bitmap.height(); ++y) {
    for (int32_t x = 0; x < bitmap.width(); ++x) {
      uint8_t* p = &row[static_cast<size_t>(x) * 4];
      p[0] = bitmap.getAlpha(x, y);
      bitmap.getPixel(x, y, p[1], p[2], p[3]);
    }
    layer->setPixelRow(0, y, bitmap.width(), row.data(), host::kModeARGB8);
  }
  return true;
}

bool PaintImpl::makePaintable(host::Material* mat, host::Document* doc) {
  if (!mat || !doc) return false;
  bool any = false;
  for (int32_t c = 0; c < 14; ++c) any = textureOf(mat, c, doc) != nullptr || any;
  return any;
}

}  // namespace hostapp
