#include "plugin/rast/blur.h"

#include <cstring>

#include "host/binding.h"
#include "plugin/rast/blend.h"
#include "plugin/rast/pixel_components.h"

namespace pigmora {

namespace {

constexpr int32_t kSums = 4;  // per column: alpha (or nothing) and three colour sums

// The columns whose neighbourhoods a span needs, clipped to the bitmap.
struct Window {
  int32_t left = 0, right = 0;
  int32_t columns() const { return right - left; }
};

Window windowOf(const SlotPass& p, int32_t x0, int32_t count) {
  Window w;
  w.left = x0 - kBlurReach > 0 ? x0 - kBlurReach : 0;
  w.right = x0 + count + kBlurReach < p.width ? x0 + count + kBlurReach : p.width;
  return w;
}

// Sums the window's columns over the neighbourhood rows; add(j, pixel) adds column j's pixel.
template <class Add>
void sumRows(const SlotPass& p, int32_t y, const Window& w, int32_t mode, BlurScratch& s,
             Add&& add) {
  const int32_t columns = w.columns();
  std::memset(s.sums, 0, sizeof(float) * kSums * static_cast<size_t>(columns));
  std::memset(s.counts, 0, sizeof(int32_t) * static_cast<size_t>(columns));
  for (int32_t dy = -kBlurReach; dy <= kBlurReach; ++dy) {
    const int32_t yy = y + dy;
    if (yy < 0 || yy >= p.height) continue;
    if (!p.bitmap->getPixelRow(w.left, yy, columns, s.rows, mode)) continue;
    for (int32_t j = 0; j < columns; ++j) {
      add(j, s.sums + kSums * j);
      ++s.counts[j];
    }
  }
}

// The sums and the pixel count of the neighbourhood of pixel x.
int32_t neighbourhood(const BlurScratch& s, const Window& w, int32_t x, float sum[kSums]) {
  const int32_t from = x - kBlurReach < w.left ? w.left : x - kBlurReach;
  const int32_t to = x + kBlurReach + 1 > w.right ? w.right : x + kBlurReach + 1;
  for (int i = 0; i < kSums; ++i) sum[i] = 0.f;
  int32_t n = 0;
  for (int32_t c = from; c < to; ++c) {
    const int32_t j = c - w.left;
    for (int i = 0; i < kSums; ++i) sum[i] += s.sums[kSums * j + i];
    n += s.counts[j];
  }
  return n;
}

// Modes without alpha: the plain average of the neighbourhood read as float RGB, converted into
// the bitmap's mode and blended like a colour.
bool blurOpaque(const SlotPass& p, int32_t y, int32_t x0, int32_t count, const float* opacity,
                BlurScratch& s, uint8_t* row) {
  const Window w = windowOf(p, x0, count);
  const float* rgb = reinterpret_cast<const float*>(s.rows);
  sumRows(p, y, w, host::kModeRGBF, s, [rgb](int32_t j, float* sum) {
    for (int i = 0; i < 3; ++i) sum[i] += rgb[3 * j + i];
  });
  for (int32_t k = 0; k < count; ++k) {
    float sum[kSums];
    const int32_t n = neighbourhood(s, w, x0 + k, sum);
    for (int i = 0; i < 3; ++i) s.average[3 * k + i] = n > 0 ? sum[i] / static_cast<float>(n) : 0.f;
    s.opacity[k] = n > 0 ? opacity[k] : 0.f;
  }
  host::Host* h = host::bound();
  if (!h || !h->paint().convertPixels(host::kModeRGBF, s.average, p.layout.mode, s.colors, count))
    return false;
  blendSpan(p.layout, row, count, s.opacity, 1, s.colors, static_cast<size_t>(p.layout.pixelBytes));
  return true;
}

// Modes with alpha, in the bitmap's own components: alpha' = a + (mean alpha - a) o, and the
// premultiplied colour moves the same way toward the mean premultiplied colour.
template <class T>
void blurWithAlpha(const SlotPass& p, int32_t y, int32_t x0, int32_t count, const float* opacity,
                   BlurScratch& s, uint8_t* row) {
  using C = Component<T>;
  const int32_t components = p.layout.components;
  const size_t size = sizeof(T), pixel = size * static_cast<size_t>(components);
  const Window w = windowOf(p, x0, count);
  const uint8_t* src = s.rows;
  sumRows(p, y, w, p.layout.mode, s, [&](int32_t j, float* sum) {
    const uint8_t* q = src + pixel * static_cast<size_t>(j);
    const float a = loadAlpha<T>(q);
    sum[0] += a;
    for (int32_t i = 1; i < components; ++i) sum[i] += a * load<T>(q + size * i);
  });
  for (int32_t k = 0; k < count; ++k) {
    float o = opacity[k];
    if (!(o > 0.f)) continue;
    if (o > 1.f) o = 1.f;
    float sum[kSums];
    const int32_t n = neighbourhood(s, w, x0 + k, sum);
    if (n == 0 || !(sum[0] > 0.f)) continue;
    uint8_t* q = row + pixel * static_cast<size_t>(k);
    const double a = loadAlpha<T>(q);
    const double meanAlpha = static_cast<double>(sum[0]) / n;
    const double alpha = a + (meanAlpha - a) * o;
    if (!(alpha > 0.000001)) {
      // Nothing left to see: the colour stays as it was.
      store<T>(q, 0.f);
      continue;
    }
    if constexpr (std::is_same_v<T, float>)
      store<T>(q, static_cast<float>(alpha));
    else
      storeRounded<T>(q, alpha * C::kAlphaUnit);
    for (int32_t i = 1; i < components; ++i) {
      const double premultiplied = a * load<T>(q + size * i);
      const double mean = static_cast<double>(sum[i]) / n;
      storeRounded<T>(q + size * i, (premultiplied + (mean - premultiplied) * o) / alpha);
    }
  }
}

}  // namespace

void BlurScratch::reserve(ScratchLayout& layout, size_t widest) {
  const size_t window = widest + 2 * kBlurReach;
  at_[0] = layout.add(window * kMaxPixelBytes);
  at_[1] = layout.add(window * kSums * sizeof(float));
  at_[2] = layout.add(window * sizeof(int32_t));
  at_[3] = layout.add(widest * 3 * sizeof(float));
  at_[4] = layout.add(widest * sizeof(float));
  at_[5] = layout.add(widest * kMaxPixelBytes);
}

void BlurScratch::place(uint8_t* base) {
  rows = base + at_[0];
  sums = reinterpret_cast<float*>(base + at_[1]);
  counts = reinterpret_cast<int32_t*>(base + at_[2]);
  average = reinterpret_cast<float*>(base + at_[3]);
  opacity = reinterpret_cast<float*>(base + at_[4]);
  colors = base + at_[5];
}

bool blurSpan(const SlotPass& p, int32_t y, int32_t x0, int32_t count, const float* opacity,
              BlurScratch& s, uint8_t* row) {
  if (!p.layout.alpha) return blurOpaque(p, y, x0, count, opacity, s, row);
  switch (p.layout.bits) {
    case 8:
      blurWithAlpha<uint8_t>(p, y, x0, count, opacity, s, row);
      return true;
    case 16:
      blurWithAlpha<uint16_t>(p, y, x0, count, opacity, s, row);
      return true;
    case 32:
      blurWithAlpha<float>(p, y, x0, count, opacity, s, row);
      return true;
    default:
      return false;
  }
}

}  // namespace pigmora
