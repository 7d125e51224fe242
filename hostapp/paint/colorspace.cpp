#include "hostapp/paint/colorspace.h"

#include <strings.h>

#include <cmath>
#include <vector>

#include "hostapp/paint/colormode.h"
#include "hostapp/paint/image_library.h"
#include "hostapp/paint/paint_bitmap.h"

namespace hostapp {

float srgbToLinear(float v) {
  const float a = std::fabs(v);
  const float l = a <= 0.04045f ? a / 12.92f : std::pow((a + 0.055f) / 1.055f, 2.4f);
  return std::copysign(l, v);
}

float linearToSrgb(float v) {
  const float a = std::fabs(v);
  const float s = a <= 0.0031308f ? a * 12.92f : 1.055f * std::pow(a, 1.f / 2.4f) - 0.055f;
  return std::copysign(s, v);
}

float reencode(float v, Encoding from, Encoding to) {
  if (from == to || from == Encoding::kRaw || to == Encoding::kRaw) return v;
  return to == Encoding::kLinear ? srgbToLinear(v) : linearToSrgb(v);
}

bool isColorChannel(int32_t channel) {
  // color, luminance, transparency, reflection, environment, fog, specular color, glow; bump (6),
  // alpha (7), specular (8), displacement (11), diffusion (12) and normal (13) are data.
  switch (channel) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 9:
    case 10:
      return true;
    default:
      return false;
  }
}

Encoding layerEncoding(int32_t mode, bool colorData) {
  const ModeLayout* l = modeLayout(mode);
  if (!colorData || !l || l->kind == ModeLayout::Kind::kAlpha || l->kind == ModeLayout::Kind::kMask)
    return Encoding::kRaw;
  return l->componentBytes == 4 ? Encoding::kLinear : Encoding::kSRGB;
}

const char* encodingName(Encoding e) {
  switch (e) {
    case Encoding::kSRGB:
      return "sRGB";
    case Encoding::kLinear:
      return "linear";
    default:
      return "raw";
  }
}

Encoding imageFileEncoding(const std::string& path, bool colorData) {
  if (!colorData) return Encoding::kRaw;
  std::string why;
  ImageLibrary* library = imageLibrary(why);
  std::unique_ptr<ImageFileReader> in = library ? library->open(path, why) : nullptr;
  if (!in) return Encoding::kSRGB;
  const ImageFileInfo& spec = in->info();
  if (strcasecmp(spec.colorSpace.c_str(), "linear") == 0 ||
      spec.description == "colorspace: linear")
    return Encoding::kLinear;
  if (strcasecmp(spec.colorSpace.c_str(), "sRGB") == 0) return Encoding::kSRGB;
  return spec.floating() ? Encoding::kLinear : Encoding::kSRGB;
}

void reencodeTexture(PaintTextureImpl& tex, Encoding from, Encoding to) {
  if (from == to || from == Encoding::kRaw || to == Encoding::kRaw) return;
  for (int32_t i = 0; i < tex.layerCount(); ++i) {
    PixelStore& px = tex.layer(i)->pixels();
    const ModeLayout* l = px.layout();
    if (!l) continue;
    std::vector<uint8_t> pixel(static_cast<size_t>(l->pixelBytes()));
    for (int32_t y = 0; y < px.height(); ++y) {
      uint8_t* row = px.row(y);
      for (int32_t x = 0; x < px.width(); ++x) {
        uint8_t* p = row + static_cast<size_t>(x) * l->pixelBytes();
        PixelF f = decodePixel(*l, p);
        f.r = reencode(f.r, from, to);
        f.g = reencode(f.g, from, to);
        f.b = reencode(f.b, from, to);
        encodePixel(*l, f, p);
      }
    }
  }
}

}  // namespace hostapp
