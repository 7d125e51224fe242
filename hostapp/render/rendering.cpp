#include "hostapp/render/rendering.h"

#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/plain_bitmap.h"
#include "hostapp/render/renderer.h"
#include "hostapp/scene/document.h"

namespace hostapp {

namespace {
constexpr int32_t kMaxRenderSize = 16384;
}

int32_t RenderingImpl::renderDocument(host::Document* doc, const host::Settings& settings,
                                      host::Bitmap* bitmap, int32_t flags) {
  (void)flags;
  auto* d = dynamic_cast<DocumentImpl*>(doc);
  if (!d) return host::kRenderResultNoDocument;
  const int32_t width = settings.getInt32(host::kRenderWidth);
  const int32_t height = settings.getInt32(host::kRenderHeight);
  if (width < 1 || height < 1 || width > kMaxRenderSize || height > kMaxRenderSize)
    return host::kRenderResultBadSize;
  if (!bitmap || bitmap->width() != width || bitmap->height() != height)
    return host::kRenderResultBadImage;
  const int32_t engine = settings.getInt32(host::kRenderEngine);
  if (engine != 0 && engine != host::kRenderEnginePreview) return host::kRenderResultNoRenderer;
  if (host_.memory().refuseNext()) return host::kRenderResultOutOfMemory;
  RenderOptions options;
  options.width = width;
  options.height = height;
  PlainBitmap image(host_.memory());
  const RenderCamera camera = d->activeView()->camera(double(width) / height);
  if (!hostapp::renderDocument(host_, *d, camera, options, image))
    return host::kRenderResultOutOfMemory;
  const bool alpha = bitmap->bits() == 32;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      uint8_t r, g, b;
      image.getPixel(x, y, r, g, b);
      bitmap->setPixel(x, y, r, g, b);
      if (alpha) bitmap->setAlpha(x, y, 255);
    }
  }
  return host::kRenderResultOk;
}

}  // namespace hostapp
