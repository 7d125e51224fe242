// Plain 24- and 32-bit bitmaps.
#pragma once

#include <string>
#include <vector>

#include "host/paint.h"

namespace hostapp {

class CountingMemory;

class PlainBitmap : public host::Bitmap {
 public:
  explicit PlainBitmap(CountingMemory& memory) : memory_(memory) {}
  bool init(int32_t width, int32_t height, int32_t bits) override;
  int32_t width() const override { return width_; }
  int32_t height() const override { return height_; }
  int32_t bits() const override { return bits_; }
  // Reads outside the bitmap give black; writes outside it are dropped.
  void getPixel(int32_t x, int32_t y, uint8_t& r, uint8_t& g, uint8_t& b) const override;
  void setPixel(int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b) override;
  uint8_t getAlpha(int32_t x, int32_t y) const override;
  void setAlpha(int32_t x, int32_t y, uint8_t a) override;
  void clear(uint8_t r, uint8_t g, uint8_t b) override;
  bool getPixelRow(int32_t x, int32_t y, int32_t count, void* buffer, int32_t mode) const override;
  bool setPixelRow(int32_t x, int32_t y, int32_t count, const void* buffer, int32_t mode) override;
  // With `sample` the nearest source pixel is taken; without, the source pixels under each
  // destination pixel are averaged. Proportions kept: the image is fitted and centred.
  void scaleInto(host::Bitmap& dst, int32_t intensity, bool sample,
                 bool keepProportions) const override;
  int32_t load(const std::string& path) override;

  // RGBA bytes, row after row.
  const std::vector<uint8_t>& rgba() const { return rgba_; }

 private:
  bool inside(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  CountingMemory& memory_;
  int32_t width_ = 0, height_ = 0, bits_ = 0;
  std::vector<uint8_t> rgba_;
};

}  // namespace hostapp
