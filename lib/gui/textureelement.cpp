#include "lib/gui/textureelement.h"

#include "host/binding.h"
#include "lib/gui/viewarea.h"

namespace pigmora {

namespace {
constexpr int32_t kScaleIntensity = 256;  // keeps the brightness
}

TextureElement::TextureElement(std::string file, int32_t previewSize)
    : file_(std::move(file)), previewSize_(previewSize) {
  if (!file_.empty() && host::api().files().exists(file_))
    addDecoration(host::make<FileOnDiskDecoration>());
}

bool TextureElement::setImage(const host::Bitmap& image) {
  std::unique_ptr<host::Bitmap> small = host::api().paint().createBitmap();
  if (!small || !small->init(previewSize_, previewSize_, 24)) return false;
  image.scaleInto(*small, kScaleIntensity, false, false);
  preview_ = std::move(small);
  return true;
}

void TextureElement::draw(ViewAreaBase& area, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                          bool quick) {
  if (preview_) {
    area.drawBitmap(*preview_, x0, y0, x1 - x0 + 1, y1 - y0 + 1);
  } else {
    area.setPen(host::Vector(0.5, 0.5, 0.5));
    area.fillRect(x0, y0, x1, y1);
  }
  if (!quick) drawDecorations(area, preview_.get(), {x0, y0, x1, y1});
}

std::string TextureElement::label() const {
  const size_t slash = file_.find_last_of('/');
  return slash == std::string::npos ? file_ : file_.substr(slash + 1);
}

}  // namespace pigmora
