#include "lib/bleed.h"

#include <algorithm>
#include <cstring>

#include "host/binding.h"
#include "lib/host_array.h"
#include "lib/uv_raster.h"
#include "lib/uvpixelmap.h"
#include "plugin/paintchannels.h"
#include "plugin/paintmaterials.h"

namespace pigmora {

namespace {
// Pixel states. Sources (covered from the start, or filled in an earlier ring) are odd.
[[maybe_unused]] constexpr uint8_t kNotFilled = 0;
constexpr uint8_t kCovered = 1;
constexpr uint8_t kFilledNow = 2;
constexpr uint8_t kFilledBefore = 3;
constexpr int kNeighbours[8][2] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0},
                                   {1, 0},   {-1, 1}, {0, 1},  {1, 1}};

// Working state of one bleed, in host memory; nothing is written to the layer unless all of it
// could be had.
struct BleedState {
  int32_t w = 0, h = 0;
  uint8_t* state = nullptr;
  uint32_t* pending = nullptr;
  HostArray<int32_t> front, next;

  ~BleedState() {
    host::destroyArray(state);
    host::destroyArray(pending);
  }
  bool allocate(int32_t width, int32_t height) {
    w = width;
    h = height;
    const size_t n = static_cast<size_t>(w) * h;
    state = host::makeArray<uint8_t>(n);
    pending = host::makeArray<uint32_t>((n + 31) / 32);
    return state && pending && front.reserve(4096) && next.reserve(4096);
  }
  bool isPending(size_t i) const { return (pending[i >> 5] >> (i & 31)) & 1; }
  void setPending(size_t i) { pending[i >> 5] |= 1u << (i & 31); }
  void clearPending(size_t i) { pending[i >> 5] &= ~(1u << (i & 31)); }
};

// Marks the pixels the UV polygons cover, with the same scan-line fill as the UV pixel map.
bool markCoverage(BleedState& s, host::PolygonObject* obj, host::SelectionTag* selTag) {
  auto* uvw = obj ? static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag)) : nullptr;
  if (!uvw) return false;
  const int32_t count = obj->polygonCount();
  const host::Polygon* polys = obj->polygons();
  bool any = false;
  forEachMappedPolygon(count, selTag, nullptr, [&](int32_t i, int32_t tile, float u, float v) {
    if (i >= uvw->count()) return;
    const host::Polygon& p = polys[i];
    uvraster::fillPolygon(uvw->get(i), p.c != p.d, s.w, s.h, tile, u, v, s.h, s.w,
                          [&](int32_t y, int32_t x0, int32_t x1) {
                            std::memset(s.state + static_cast<size_t>(y) * s.w + x0, kCovered,
                                        static_cast<size_t>(x1 - x0));
                            any = true;
                          });
  });
  return any;
}

// Sorts every uncovered pixel into the first front (it touches coverage) or the pending set.
bool classify(BleedState& s) {
  host::Events& events = host::api().events();
  int32_t shown = -1;
  const uint8_t* st = s.state;
  // near[x]: row y or a row next to it is covered at column x; a pixel touches coverage when
  // near is set at its column or a column next to it.
  uint8_t* near = host::makeArray<uint8_t>(static_cast<size_t>(s.w) + 2);
  if (!near) return false;
  for (int32_t y = 0; y < s.h; ++y) {
    const int32_t percent = static_cast<int32_t>(int64_t{y} * 100 / s.h);
    if (percent != shown) {
      events.statusSetBar(percent);
      shown = percent;
    }
    const uint8_t* row = st + static_cast<size_t>(y) * s.w;
    const uint8_t* up = y > 0 ? row - s.w : row;
    const uint8_t* down = y + 1 < s.h ? row + s.w : row;
    uint8_t* n = near + 1;
    for (int32_t x = 0; x < s.w; ++x) n[x] = (up[x] | row[x] | down[x]) & kCovered;
    const size_t base = static_cast<size_t>(y) * s.w;
    for (int32_t x = 0; x < s.w; ++x) {
      if (row[x] == kCovered) continue;
      const size_t i = base + static_cast<size_t>(x);
      if (n[x - 1] | n[x] | n[x + 1]) {
        if (!s.front.push(static_cast<int32_t>(i))) {
          host::destroyArray(near);
          return false;
        }
      } else {
        s.setPending(i);
      }
    }
  }
  host::destroyArray(near);
  events.statusSetBar(100);
  return true;
}
}  // namespace

void BleedLayer(host::PaintBitmap* layer, host::SelectionTag* selTag, host::PolygonObject* obj,
                int64_t distance) {
  if (!layer || !obj) return;
  const int32_t w = layer->width(), h = layer->height();
  if (w <= 0 || h <= 0) return;
  TileSaver* saver = findTileSaver(host::api().scene().activeDocument());
  const int32_t mode = layer->colorMode();
  const int32_t bpp = bytesPerPixel(mode);
  if (bpp <= 0) return;
  // Pixel indices are 32-bit; larger layers than that are not bled.
  if (int64_t{w} * h >= (int64_t{1} << 31)) return;

  BleedState s;
  if (!s.allocate(w, h)) return;
  if (!markCoverage(s, obj, selTag)) return;  // nothing covered: no front, layer unchanged
  if (!classify(s)) return;

  host::Paint& paint = host::api().paint();
  uint8_t pixel[16];
  int64_t pass = 0;
  while (!s.front.empty()) {
    for (int32_t p : s.front) {
      const int32_t x = p % w, y = p / w;
      float sum[3] = {0.f, 0.f, 0.f};
      int32_t counted = 0;
      // The sources among the 8 neighbours, read a row of up to three pixels at a time.
      const int32_t left = x > 0 ? x - 1 : x, right = x + 1 < w ? x + 1 : x;
      for (int32_t ny = y - 1; ny <= y + 1; ++ny) {
        if (ny < 0 || ny >= h) continue;
        const uint8_t* st = s.state + static_cast<size_t>(ny) * w;
        bool any = false;
        for (int32_t nx = left; nx <= right; ++nx) any |= (nx != x || ny != y) && (st[nx] & 1);
        if (!any) continue;
        float rgb[9];
        const bool read = layer->getPixelRow(left, ny, right - left + 1, rgb, host::kModeRGBF);
        for (int32_t nx = left; nx <= right; ++nx) {
          if ((nx == x && ny == y) || !(st[nx] & 1)) continue;
          if (read) {
            const float* c = rgb + 3 * (nx - left);
            sum[0] += c[0];
            sum[1] += c[1];
            sum[2] += c[2];
          }
          ++counted;  // counted even when the read failed
        }
      }
      if (counted == 0) {
        if (!s.next.push(p)) return;
        continue;
      }
      const float mean[3] = {sum[0] / counted, sum[1] / counted, sum[2] / counted};
      if (!paint.convertPixels(host::kModeRGBF, mean, mode, pixel, 1)) return;
      if (saver) saver->saveTile(layer, x, y);
      layer->setPixelRow(x, y, 1, pixel, mode);
      s.state[static_cast<size_t>(p)] = kFilledNow;
      for (const auto& d : kNeighbours) {
        const int32_t nx = x + d[0], ny = y + d[1];
        if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
        const size_t n = static_cast<size_t>(ny) * w + nx;
        if (!s.isPending(n)) continue;
        if (!s.next.push(static_cast<int32_t>(n))) return;
        s.clearPending(n);
      }
    }
    // This ring becomes a source for the next one.
    if (!s.next.empty())
      for (int32_t p : s.front)
        if (s.state[static_cast<size_t>(p)] == kFilledNow)
          s.state[static_cast<size_t>(p)] = kFilledBefore;
    if (++pass > distance) break;
    s.front.swap(s.next);
    s.next.clear();
  }
}

}  // namespace pigmora
