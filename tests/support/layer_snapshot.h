// Test support: the bytes of every layer of some textures, in the layers' own modes, to compare
// the painted state before and after undo and redo.
#pragma once

#include <cstdint>
#include <vector>

#include "host/host.h"
#include "plugin/paintchannels.h"

using LayerPixels = std::vector<uint8_t>;

inline std::vector<LayerPixels> layerSnapshot(const std::vector<host::PaintTexture*>& textures) {
  std::vector<LayerPixels> out;
  for (host::PaintTexture* tex : textures)
    for (host::PaintBitmap* l = tex->firstLayer(); l; l = l->next()) {
      const size_t row = size_t(pigmora::bytesPerPixel(l->colorMode())) * l->width();
      LayerPixels p(row * l->height());
      for (int32_t y = 0; y < l->height(); ++y)
        l->getPixelRow(0, y, l->width(), p.data() + row * y, l->colorMode());
      out.push_back(std::move(p));
    }
  return out;
}
