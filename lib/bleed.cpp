#include "lib/bleed.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "host/binding.h"
#include "lib/host_array.h"
#include "lib/uv_raster.h"
#include "lib/uvpixelmap.h"
#include "plugin/paintchannels.h"
#include "plugin/paintmaterials.h"
#include "plugin/paintundo.h"

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
      // Far from coverage, as most pixels are: pending. Runs of those are set a word at a time.
      if (!(n[x - 1] | n[x] | n[x + 1])) {
        const size_t i = base + static_cast<size_t>(x);
        if ((i & 31) == 0 && x + 32 <= s.w) {
          uint8_t any = 0;
          for (int32_t k = 0; k < 32; ++k)
            any |= row[x + k] | n[x + k - 1] | n[x + k] | n[x + k + 1];
          if (!any) {
            s.pending[i >> 5] = ~0u;
            x += 31;
            continue;
          }
        }
        s.setPending(i);
        continue;
      }
      if (!s.front.push(static_cast<int32_t>(base + static_cast<size_t>(x)))) {
        host::destroyArray(near);
        return false;
      }
    }
  }
  host::destroyArray(near);
  events.statusSetBar(100);
  return true;
}
// Buffers of one run of front pixels on a row: the three rows around it in the layer's own
// mode and as float RGB, and the new pixels.
struct RunBuffers {
  HostArray<uint8_t> raw;
  HostArray<float> rgb;
  HostArray<float> means;
  HostArray<uint8_t> encoded;
  HostArray<int32_t> written;  // columns of the new pixels, left to right

  bool reserve(int32_t span, int32_t bpp) {
    const size_t n = static_cast<size_t>(span);
    return raw.resize(3 * n * static_cast<size_t>(bpp)) && rgb.resize(9 * n) &&
           means.resize(3 * n) && encoded.resize(n * static_cast<size_t>(bpp)) && written.resize(n);
  }
};

// Front pixels closer than this on a row share one read of the rows around them.
constexpr int32_t kRunGap = 8;
// How many front pixels ahead the rows are asked for.
constexpr ptrdiff_t kPrefetchAhead = 24;

// Fills the front pixels front[first, last), all on row y and in increasing columns: reads the
// rows once in the layer's own mode, converts them once, writes the new pixels back in one row.
// Pixels without a source go to the next ring. False when memory runs out.
bool fillRun(BleedState& s, RunBuffers& b, host::PaintBitmap* layer, TileSaver* saver, int32_t mode,
             int32_t bpp, const int32_t* first, const int32_t* last) {
  const int32_t w = s.w, h = s.h;
  const int32_t y = *first / w;
  const int32_t left = std::max(*first % w - 1, 0), right = std::min(last[-1] % w + 1, w - 1);
  const int32_t span = right - left + 1;
  if (!b.reserve(span, bpp)) return false;
  const size_t rowBytes = static_cast<size_t>(span) * bpp;
  for (int32_t r = 0; r < 3; ++r) {
    const int32_t ny = y - 1 + r;
    if (ny >= 0 && ny < h) layer->getPixelRow(left, ny, span, b.raw.data() + r * rowBytes, mode);
  }
  host::Paint& paint = host::api().paint();
  if (!paint.convertPixels(mode, b.raw.data(), host::kModeRGBF, b.rgb.data(), 3 * span))
    return false;
  int32_t count = 0;
  for (const int32_t* it = first; it != last; ++it) {
    const int32_t p = *it, x = p % w;
    float sum[3] = {0.f, 0.f, 0.f};
    int32_t counted = 0;
    // The sources among the 8 neighbours, row by row, left to right.
    const int32_t nl = x > 0 ? x - 1 : x, nr = x + 1 < w ? x + 1 : x;
    for (int32_t r = 0; r < 3; ++r) {
      const int32_t ny = y - 1 + r;
      if (ny < 0 || ny >= h) continue;
      const uint8_t* st = s.state + static_cast<size_t>(ny) * w;
      const float* rgb = b.rgb.data() + 3 * static_cast<size_t>(r) * span;
      for (int32_t nx = nl; nx <= nr; ++nx) {
        if ((nx == x && r == 1) || !(st[nx] & 1)) continue;
        const float* c = rgb + 3 * static_cast<size_t>(nx - left);
        sum[0] += c[0];
        sum[1] += c[1];
        sum[2] += c[2];
        ++counted;
      }
    }
    if (counted == 0) {
      if (!s.next.push(p)) return false;
      continue;
    }
    float* mean = b.means.data() + 3 * count;
    mean[0] = sum[0] / counted;
    mean[1] = sum[1] / counted;
    mean[2] = sum[2] / counted;
    b.written[static_cast<size_t>(count++)] = x;
    s.state[static_cast<size_t>(p)] = kFilledNow;
    for (const auto& d : kNeighbours) {
      const int32_t nx = x + d[0], ny = y + d[1];
      if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
      const size_t n = static_cast<size_t>(ny) * w + nx;
      if (!s.isPending(n)) continue;
      if (!s.next.push(static_cast<int32_t>(n))) return false;
      s.clearPending(n);
    }
  }
  if (count == 0) return true;
  if (!paint.convertPixels(host::kModeRGBF, b.means.data(), mode, b.encoded.data(), count))
    return false;
  // The new pixels go into the middle row; the pixels between them keep the bytes just read.
  uint8_t* row = b.raw.data() + rowBytes;
  int32_t savedTile = -1;
  for (int32_t k = 0; k < count; ++k) {
    const int32_t x = b.written[static_cast<size_t>(k)];
    std::memcpy(row + static_cast<size_t>(x - left) * bpp,
                b.encoded.data() + static_cast<size_t>(k) * bpp, static_cast<size_t>(bpp));
    if (saver && x / kUndoTileSize != savedTile) {
      saver->saveTile(layer, x, y);
      savedTile = x / kUndoTileSize;
    }
  }
  const int32_t x0 = b.written[0], x1 = b.written[static_cast<size_t>(count) - 1];
  layer->setPixelRow(x0, y, x1 - x0 + 1, row + static_cast<size_t>(x0 - left) * bpp, mode);
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

  RunBuffers buffers;
  int64_t pass = 0;
  while (!s.front.empty()) {
    // Each ring reads only sources, which no pixel of the ring changes, so its pixels may be
    // filled in any order: in index order, runs on a row share their reads and their write.
    if (!std::is_sorted(s.front.begin(), s.front.end())) std::sort(s.front.begin(), s.front.end());
    const int32_t* end = s.front.end();
    for (const int32_t* first = s.front.begin(); first != end;) {
      // The state and the pending bits of the rows a few runs ahead miss the cache: ask early.
      if (end - first > kPrefetchAhead) {
        const size_t ahead = static_cast<size_t>(first[kPrefetchAhead]);
        const size_t up = ahead >= static_cast<size_t>(w) ? ahead - w : ahead;
        const size_t down = ahead + w < static_cast<size_t>(w) * h ? ahead + w : ahead;
        __builtin_prefetch(s.state + up);
        __builtin_prefetch(s.state + ahead);
        __builtin_prefetch(s.state + down);
        __builtin_prefetch(s.pending + (up >> 5));
        __builtin_prefetch(s.pending + (down >> 5));
      }
      const int32_t row = *first / w;
      const int32_t* last = first + 1;
      while (last != end && *last / w == row && *last - last[-1] <= kRunGap) ++last;
      if (!fillRun(s, buffers, layer, saver, mode, bpp, first, last)) return;
      first = last;
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
