// A cell of an image grid: a square preview of an image file, scaled down once when the cell is
// made, so that a large folder costs one small bitmap per file. A file that lies on this machine
// gives the cell the file-on-disk decoration.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/host.h"
#include "lib/gui/layoutelement.h"

namespace pigmora {

constexpr int32_t kTexturePreviewSize = 128;

class TextureElement : public LayoutElement {
 public:
  explicit TextureElement(std::string file, int32_t previewSize = kTexturePreviewSize);

  // Scales the image into the square preview (24 bits); false when no bitmap can be had.
  bool setImage(const host::Bitmap& image);

  void draw(ViewAreaBase& area, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
            bool quick) override;
  // The file's name without its folder.
  std::string label() const override;

  const std::string& file() const { return file_; }
  const std::string& secondFile() const { return secondFile_; }
  host::Bitmap* preview() const { return preview_.get(); }
  int32_t previewSize() const { return previewSize_; }

 private:
  std::string file_;
  std::string secondFile_;
  std::unique_ptr<host::Bitmap> preview_;
  int32_t previewSize_;
};

}  // namespace pigmora
