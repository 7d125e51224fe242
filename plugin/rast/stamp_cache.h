// The pixels of the stroke's stamp or stencil in a layer's colour mode, read from the host once
// a stroke instead of once a texel.
#pragma once

#include <cstdint>

#include "host/paint.h"
#include "lib/host_array.h"
#include "plugin/paintchannels.h"

namespace pigmora {

class StampCache {
 public:
  // Pixel rows of `stamp` in `mode` (`pixelBytes` each, row after row), and its alpha bytes when
  // it has alpha (null when not). False when there is no stroke, the stamp is too large to keep
  // or memory runs out: the caller then reads the stamp pixel by pixel.
  bool get(const host::Bitmap* stamp, int32_t mode, int32_t pixelBytes, const uint8_t*& pixels,
           const uint8_t*& alpha);
  // A stroke begins or ends: what was kept belongs to the stamps of the last one.
  void strokeBegins();
  void strokeEnds();
  // A stamp changed or went: nothing kept is used again.
  void forget();

 private:
  struct Entry {
    const host::Bitmap* stamp = nullptr;
    int32_t mode = 0, width = 0, height = 0, bits = 0;
    bool filled = false;
    HostArray<uint8_t> pixels, alpha;
  };
  bool fill(Entry& e, const host::Bitmap* stamp, int32_t mode, int32_t pixelBytes);

  bool inStroke_ = false;
  Entry entries_[kChannelCount];  // a stamp per channel of one stroke, at most
  int32_t next_ = 0;
};

}  // namespace pigmora
