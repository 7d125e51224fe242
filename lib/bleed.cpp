#include "lib/bleed.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "host/binding.h"
#include "lib/uv_raster.h"
#include "lib/uvpixelmap.h"
#include "plugin/paintchannels.h"
#include "plugin/paintmaterials.h"
#include "plugin/paintundo.h"

// A pixel's ring is its chessboard distance to coverage minus one, and the sources of a ring-k
// pixel are exactly its neighbours in ring k - 1 (coverage for ring 0): nearer ones cannot touch
// it, farther ones are not filled yet. Ring k on row r therefore needs only ring k - 1 on rows
// r - 1 .. r + 1. The rings are walked as a wavefront down the layer: at step y ring j is grown on
// row y - j, so a few rows of masks, colours and pixels stay hot for all rings instead of each
// ring walking the whole layer again. Rows are written back once, when their last ring is done.
//
// Deep bleeds are cut into bands of rings; each band is one wavefront whose seeds are the last
// ring of the band before, read back from the layer as the quantised bytes it holds.

namespace pigmora {

namespace {

using Word = uint64_t;
using Float4 = float __attribute__((vector_size(16)));
constexpr int32_t kWordBits = 64;
// Rings grown by one wavefront; the window holds this many rows and two more.
constexpr int64_t kBandRings = 32;

// Columns x - 1, x, x + 1 of a mask row as bits 0, 1, 2, where x = 64 i + o. Columns outside the
// layer read as clear: masks hold nothing past the layer's width.
uint32_t threeAt(const Word* m, int32_t i, int32_t o, int32_t words) {
  const Word word = m[i];
  if (o == 0) return static_cast<uint32_t>((word << 1 | (i > 0 ? m[i - 1] >> 63 : 0)) & 7);
  if (o == 63) return static_cast<uint32_t>(word >> 62 | (i + 1 < words ? (m[i + 1] & 1) << 2 : 0));
  return static_cast<uint32_t>(word >> (o - 1) & 7);
}

// Sets columns [x0, x1) of a mask row; x0 < x1.
void setBits(Word* row, int32_t x0, int32_t x1) {
  const int32_t i0 = x0 >> 6, i1 = (x1 - 1) >> 6;
  const Word lo = ~Word{0} << (x0 & 63), hi = ~Word{0} >> (63 - ((x1 - 1) & 63));
  if (i0 == i1) {
    row[i0] |= lo & hi;
    return;
  }
  row[i0] |= lo;
  for (int32_t i = i0 + 1; i < i1; ++i) row[i] = ~Word{0};
  row[i1] |= hi;
}

// out = in grown by one column to each side.
void spread(const Word* in, Word* out, int32_t words) {
  for (int32_t i = 0; i < words; ++i) {
    const Word before = i > 0 ? in[i - 1] : 0, after = i + 1 < words ? in[i + 1] : 0;
    out[i] = in[i] | in[i] << 1 | before >> 63 | in[i] >> 1 | after << 63;
  }
}

// Calls f(x0, x1) for each maximal run [x0, x1) of set columns, left to right.
template <class F>
bool forEachRun(const Word* m, int32_t words, F&& f) {
  const int32_t limit = words * kWordBits;
  for (int32_t x = 0; x < limit;) {
    int32_t i = x / kWordBits;
    Word word = m[i] & ~Word{0} << (x & 63);
    while (!word) {
      if (++i == words) return true;
      word = m[i];
    }
    const int32_t start = i * kWordBits + __builtin_ctzll(word);
    // The clear columns from the run's start on.
    word = ~m[i] & ~Word{0} << (start & 63);
    while (!word) {
      if (++i == words) return f(start, limit);
      word = ~m[i];
    }
    x = i * kWordBits + __builtin_ctzll(word);
    if (!f(start, x)) return false;
  }
  return true;
}

// Moves pixel k of `packed` to or from column columns[k] of `row`, for k < n.
template <bool kGather, size_t kBytes>
void movePixels(uint8_t* row, uint8_t* packed, const int32_t* columns, int32_t n, size_t bytes) {
  const size_t size = kBytes ? kBytes : bytes;
  for (int32_t k = 0; k < n; ++k) {
    uint8_t* at = row + static_cast<size_t>(columns[k]) * size;
    uint8_t* p = packed + static_cast<size_t>(k) * size;
    if constexpr (kGather)
      std::memcpy(p, at, kBytes ? kBytes : bytes);
    else
      std::memcpy(at, p, kBytes ? kBytes : bytes);
  }
}
template <bool kGather>
void movePixels(uint8_t* row, uint8_t* packed, const int32_t* columns, int32_t n, size_t bytes) {
  switch (bytes) {
    case 1:
      return movePixels<kGather, 1>(row, packed, columns, n, bytes);
    case 2:
      return movePixels<kGather, 2>(row, packed, columns, n, bytes);
    case 3:
      return movePixels<kGather, 3>(row, packed, columns, n, bytes);
    case 4:
      return movePixels<kGather, 4>(row, packed, columns, n, bytes);
    case 6:
      return movePixels<kGather, 6>(row, packed, columns, n, bytes);
    case 8:
      return movePixels<kGather, 8>(row, packed, columns, n, bytes);
    case 12:
      return movePixels<kGather, 12>(row, packed, columns, n, bytes);
    case 16:
      return movePixels<kGather, 16>(row, packed, columns, n, bytes);
    default:
      return movePixels<kGather, 0>(row, packed, columns, n, bytes);
  }
}
void scatter(uint8_t* row, uint8_t* packed, const int32_t* columns, int32_t n, size_t bytes) {
  movePixels<false>(row, packed, columns, n, bytes);
}
void gather(uint8_t* row, uint8_t* packed, const int32_t* columns, int32_t n, size_t bytes) {
  movePixels<true>(row, packed, columns, n, bytes);
}

// Working state of one bleed, in host memory; nothing is written to the layer unless all of it
// could be had.
struct Bleed {
  host::PaintBitmap* layer = nullptr;
  TileSaver* saver = nullptr;
  int32_t mode = 0, bpp = 0, w = 0, h = 0;
  int32_t words = 0;  // mask words a row
  Word tail = 0;      // the columns of a row's last mask word that lie inside the layer
  int64_t rings = 0;  // rings to grow in all
  int32_t band = 0;   // rings of one wavefront
  int32_t slots = 0;  // window rows

  // Whole-layer masks, a row of `words` each. `cover` seeds the first band; with more than one
  // band `reached` (covered or filled) and `last` (the newest band's last ring) carry one band
  // over to the next, `last` and `cover` taking turns as seeds.
  Word* cover = nullptr;
  Word* reached = nullptr;
  Word* last = nullptr;
  int32_t coverTop = 0, coverBottom = -1;  // rows that hold coverage

  // The window: per row, its pixels in the layer's mode and as float RGB (valid at the seeds
  // next to unreached pixels and at the pixels filled), what is reached so far, and each ring.
  uint8_t* pixels = nullptr;
  float* rgb = nullptr;
  Word* rowReached = nullptr;
  Word* ringMasks = nullptr;

  // Scratch of one row.
  Word* scratch = nullptr;  // two mask rows
  Word* zero = nullptr;     // a mask row of nothing, for rows outside the band or the layer
  float* means = nullptr;
  float* back = nullptr;
  uint8_t* encoded = nullptr;
  int32_t* columns = nullptr;

  ~Bleed() {
    host::destroyArray(cover);
    host::destroyArray(reached);
    host::destroyArray(last);
    host::destroyArray(pixels);
    host::destroyArray(rgb);
    host::destroyArray(rowReached);
    host::destroyArray(ringMasks);
    host::destroyArray(scratch);
    host::destroyArray(zero);
    host::destroyArray(means);
    host::destroyArray(back);
    host::destroyArray(encoded);
    host::destroyArray(columns);
  }

  bool allocate() {
    words = (w + kWordBits - 1) / kWordBits;
    tail = w % kWordBits ? ~Word{0} >> (kWordBits - w % kWordBits) : ~Word{0};
    const size_t layerWords = static_cast<size_t>(words) * h, n = static_cast<size_t>(w);
    const auto s = static_cast<size_t>(slots);
    cover = host::makeArray<Word>(layerWords);
    if (rings > band) {
      reached = host::makeArray<Word>(layerWords);
      last = host::makeArray<Word>(layerWords);
      if (!reached || !last) return false;
    }
    pixels = host::makeArray<uint8_t>(s * n * static_cast<size_t>(bpp));
    rgb = host::makeArray<float>(s * n * 3);
    rowReached = host::makeArray<Word>(s * static_cast<size_t>(words));
    ringMasks = host::makeArray<Word>(s * static_cast<size_t>(band) * static_cast<size_t>(words));
    scratch = host::makeArray<Word>(2 * static_cast<size_t>(words));
    zero = host::makeArray<Word>(static_cast<size_t>(words));
    means = host::makeArray<float>(3 * n);
    back = host::makeArray<float>(3 * n);
    encoded = host::makeArray<uint8_t>(n * static_cast<size_t>(bpp));
    columns = host::makeArray<int32_t>(n);
    return cover && pixels && rgb && rowReached && ringMasks && scratch && zero && means && back &&
           encoded && columns;
  }

  size_t slot(int32_t r) const { return static_cast<size_t>(r % slots); }
  uint8_t* pixelRow(int32_t r) const { return pixels + slot(r) * static_cast<size_t>(w) * bpp; }
  float* rgbRow(int32_t r) const { return rgb + slot(r) * static_cast<size_t>(w) * 3; }
  Word* reachedRow(int32_t r) const { return rowReached + slot(r) * static_cast<size_t>(words); }
  Word* ringRow(int32_t r, int32_t j) const {
    return ringMasks + (slot(r) * static_cast<size_t>(band) + static_cast<size_t>(j)) * words;
  }
  static Word* layerRow(Word* m, int32_t r, int32_t words) {
    return m + static_cast<size_t>(r) * static_cast<size_t>(words);
  }
};

// Marks the pixels the UV polygons cover, with the same scan-line fill as the UV pixel map.
bool markCoverage(Bleed& b, host::PolygonObject* obj, host::SelectionTag* selTag) {
  auto* uvw = obj ? static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag)) : nullptr;
  if (!uvw) return false;
  const int32_t count = obj->polygonCount();
  const host::Polygon* polys = obj->polygons();
  bool any = false;
  b.coverTop = b.h;
  b.coverBottom = -1;
  forEachMappedPolygon(count, selTag, nullptr, [&](int32_t i, int32_t tile, float u, float v) {
    if (i >= uvw->count()) return;
    const host::Polygon& p = polys[i];
    uvraster::fillPolygon(uvw->get(i), p.c != p.d, b.w, b.h, tile, u, v, b.h, b.w,
                          [&](int32_t y, int32_t x0, int32_t x1) {
                            setBits(Bleed::layerRow(b.cover, y, b.words), x0, x1);
                            b.coverTop = std::min(b.coverTop, y);
                            b.coverBottom = std::max(b.coverBottom, y);
                            any = true;
                          });
  });
  return any;
}

// One band of rings, rings [first, first + count), grown as a wavefront over the rows that its
// seeds can reach.
class Band {
 public:
  Band(Bleed& b, int64_t first, int32_t count, const Word* seeds, const Word* reachedBefore,
       Word* lastOut, int32_t seedTop, int32_t seedBottom)
      : b_(b),
        first_(first),
        count_(count),
        seeds_(seeds),
        before_(reachedBefore),
        lastOut_(lastOut),
        top_(std::max(seedTop - count, 0)),
        bottom_(std::min(seedBottom + count, b.h - 1)) {}

  // False when a conversion failed: the bleed stops.
  bool run() {
    host::Events& events = host::api().events();
    int32_t shown = -1;
    const int32_t steps = bottom_ - top_ + count_;
    for (int32_t y = top_; y < top_ + steps; ++y) {
      const int64_t done = first_ * steps + int64_t{y - top_} * count_;
      const auto percent = static_cast<int32_t>(done * 100 / (b_.rings * steps));
      if (percent != shown) {
        events.statusSetBar(percent);
        shown = percent;
      }
      if (y == top_ && !enter(y)) return false;
      if (y + 1 <= bottom_ && !enter(y + 1)) return false;
      for (int32_t j = 0; j < count_ && y - j >= top_; ++j)
        if (y - j <= bottom_ && !grow(j, y - j)) return false;
      const int32_t complete = y - (count_ - 1);
      if (complete >= top_ && complete <= bottom_) finish(complete);
    }
    return true;
  }

  // Rows holding pixels of the band's last ring, for the next band.
  int32_t lastTop() const { return lastTop_; }
  int32_t lastBottom() const { return lastBottom_; }

 private:
  bool inBand(int32_t r) const { return r >= top_ && r <= bottom_; }
  const Word* seedRow(int32_t r) const {
    return r >= 0 && r < b_.h ? seeds_ + static_cast<size_t>(r) * b_.words : b_.zero;
  }
  // Ring j - 1 of row r; the seeds for j = 0.
  const Word* sourceRow(int32_t j, int32_t r) const {
    if (j == 0) return seedRow(r);
    return inBand(r) ? b_.ringRow(r, j - 1) : b_.zero;
  }

  // Row r joins the window: what is reached so far, and the colours of the seeds that border
  // unreached pixels, read in the layer's mode and converted once.
  bool enter(int32_t r) {
    const int32_t words = b_.words;
    Word* reachedRow = b_.reachedRow(r);
    std::memcpy(reachedRow, before_ + static_cast<size_t>(r) * words, sizeof(Word) * words);
    reachedRow[words - 1] |= ~b_.tail;
    const Word* up = r > 0 ? before_ + static_cast<size_t>(r - 1) * words : nullptr;
    const Word* down = r + 1 < b_.h ? before_ + static_cast<size_t>(r + 1) * words : nullptr;
    Word* open = b_.scratch;
    Word* near = b_.scratch + words;
    for (int32_t i = 0; i < words; ++i) {
      Word all = reachedRow[i];
      if (up) all &= up[i];
      if (down) all &= down[i];
      open[i] = ~all;
    }
    open[words - 1] &= b_.tail;
    spread(open, near, words);
    const Word* seeds = seedRow(r);
    for (int32_t i = 0; i < words; ++i) near[i] &= seeds[i];
    uint8_t* pixels = b_.pixelRow(r);
    float* rgb = b_.rgbRow(r);
    host::Paint& paint = host::api().paint();
    const auto bpp = static_cast<size_t>(b_.bpp);
    int32_t n = 0;
    forEachRun(near, words, [&](int32_t x0, int32_t x1) {
      b_.layer->getPixelRow(x0, r, x1 - x0, pixels + static_cast<size_t>(x0) * bpp, b_.mode);
      for (int32_t x = x0; x < x1; ++x) b_.columns[n++] = x;
      return true;
    });
    // One conversion for the row's seeds.
    if (n == 0) return true;
    gather(pixels, b_.encoded, b_.columns, n, bpp);
    if (!paint.convertPixels(b_.mode, b_.encoded, host::kModeRGBF, b_.back, n)) return false;
    scatter(reinterpret_cast<uint8_t*>(rgb), reinterpret_cast<uint8_t*>(b_.back), b_.columns, n,
            sizeof(float) * 3);
    return true;
  }

  // Grows ring j of the band on row r: the unreached pixels next to ring j - 1, each the mean
  // of those neighbours, summed row by row, left to right.
  bool grow(int32_t j, int32_t r) {
    const int32_t words = b_.words;
    const Word* src[3] = {sourceRow(j, r - 1), sourceRow(j, r), sourceRow(j, r + 1)};
    const float* colours[3] = {inBand(r - 1) ? b_.rgbRow(r - 1) : nullptr, b_.rgbRow(r),
                               inBand(r + 1) ? b_.rgbRow(r + 1) : nullptr};
    Word* ring = b_.ringRow(r, j);
    Word* reachedRow = b_.reachedRow(r);
    int32_t n = 0;
    Word before = 0, here = src[0][0] | src[1][0] | src[2][0];
    for (int32_t i = 0; i < words; ++i) {
      const Word after = i + 1 < words ? src[0][i + 1] | src[1][i + 1] | src[2][i + 1] : 0;
      const Word near = here | here << 1 | before >> 63 | here >> 1 | after << 63;
      const Word fresh = near & ~reachedRow[i];
      before = here;
      here = after;
      ring[i] = fresh;
      reachedRow[i] |= fresh;
      for (Word word = fresh; word; word &= word - 1) {
        const int32_t o = __builtin_ctzll(word), x = i * kWordBits + o;
        // Lane by lane the same sums and quotients as one channel at a time.
        Float4 sum = {0.f, 0.f, 0.f, 0.f};
        int32_t counted = 0;
        for (int32_t t = 0; t < 3; ++t)
          for (uint32_t near3 = threeAt(src[t], i, o, words); near3; near3 &= near3 - 1) {
            const float* c =
                colours[t] + 3 * (static_cast<ptrdiff_t>(x) - 1 + __builtin_ctz(near3));
            sum += Float4{c[0], c[1], c[2], 0.f};
            ++counted;
          }
        const auto count = static_cast<float>(counted);
        const Float4 mean = sum / Float4{count, count, count, 1.f};
        float* out = b_.means + 3 * static_cast<size_t>(n);
        out[0] = mean[0];
        out[1] = mean[1];
        out[2] = mean[2];
        b_.columns[n++] = x;
      }
    }
    if (n == 0) return true;
    host::Paint& paint = host::api().paint();
    if (!paint.convertPixels(host::kModeRGBF, b_.means, b_.mode, b_.encoded, n)) return false;
    const auto bpp = static_cast<size_t>(b_.bpp);
    uint8_t* pixels = b_.pixelRow(r);
    scatter(pixels, b_.encoded, b_.columns, n, bpp);
    // The next ring of this band reads these pixels as the layer will hold them.
    if (j + 1 < count_) {
      if (!paint.convertPixels(b_.mode, b_.encoded, host::kModeRGBF, b_.back, n)) return false;
      scatter(reinterpret_cast<uint8_t*>(b_.rgbRow(r)), reinterpret_cast<uint8_t*>(b_.back),
              b_.columns, n, sizeof(float) * 3);
    }
    return true;
  }

  // Row r has all rings of the band: its new pixels go to the layer, a run at a time, each undo
  // tile saved before its first change; the masks the next band needs are kept.
  void finish(int32_t r) {
    const int32_t words = b_.words;
    Word* filled = b_.scratch;
    std::memset(filled, 0, sizeof(Word) * words);
    for (int32_t j = 0; j < count_; ++j) {
      const Word* ring = b_.ringRow(r, j);
      for (int32_t i = 0; i < words; ++i) filled[i] |= ring[i];
    }
    const uint8_t* pixels = b_.pixelRow(r);
    const auto bpp = static_cast<size_t>(b_.bpp);
    forEachRun(filled, words, [&](int32_t x0, int32_t x1) {
      if (b_.saver)
        for (int32_t x = x0; x < x1; x = (x / kUndoTileSize + 1) * kUndoTileSize)
          b_.saver->saveTile(b_.layer, x, r);
      b_.layer->setPixelRow(x0, r, x1 - x0, pixels + static_cast<size_t>(x0) * bpp, b_.mode);
      return true;
    });
    if (!lastOut_) return;
    std::memcpy(b_.reached + static_cast<size_t>(r) * words, b_.reachedRow(r),
                sizeof(Word) * words);
    b_.reached[static_cast<size_t>(r) * words + words - 1] &= b_.tail;
    const Word* ring = b_.ringRow(r, count_ - 1);
    Word* out = lastOut_ + static_cast<size_t>(r) * words;
    Word any = 0;
    for (int32_t i = 0; i < words; ++i) any |= out[i] = ring[i];
    if (any) {
      lastTop_ = std::min(lastTop_, r);
      lastBottom_ = std::max(lastBottom_, r);
    }
  }

  Bleed& b_;
  const int64_t first_;
  const int32_t count_;
  const Word* seeds_;
  const Word* before_;
  Word* lastOut_;
  const int32_t top_, bottom_;
  int32_t lastTop_ = INT32_MAX, lastBottom_ = -1;
};
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
  // Layers of 2^31 pixels and more are not bled.
  if (int64_t{w} * h >= (int64_t{1} << 31)) return;

  Bleed b;
  b.layer = layer;
  b.saver = saver;
  b.mode = mode;
  b.bpp = bpp;
  b.w = w;
  b.h = h;
  // A negative distance still grows the first ring. No pixel is farther from coverage than the
  // layer's longer side, so no more rings than that can hold anything.
  b.rings = std::clamp<int64_t>(distance, 0, std::max(w, h) - 1) + 1;
  b.band = static_cast<int32_t>(std::min(b.rings, kBandRings));
  b.slots = b.band + 2;
  if (!b.allocate()) return;
  if (!markCoverage(b, obj, selTag)) return;  // nothing covered: no ring, layer unchanged
  if (b.reached) std::memcpy(b.reached, b.cover, sizeof(Word) * static_cast<size_t>(b.words) * h);

  Word* seeds = b.cover;
  const Word* before = b.cover;
  int32_t top = b.coverTop, bottom = b.coverBottom;
  for (int64_t first = 0; first < b.rings; first += b.band) {
    const auto count = static_cast<int32_t>(std::min<int64_t>(b.band, b.rings - first));
    const bool more = first + count < b.rings;
    Word* lastOut = nullptr;
    if (more) {
      lastOut = seeds == b.cover ? b.last : b.cover;
      std::memset(lastOut, 0, sizeof(Word) * static_cast<size_t>(b.words) * h);
    }
    Band band(b, first, count, seeds, before, lastOut, top, bottom);
    if (!band.run()) return;
    if (!more || band.lastBottom() < 0) break;
    seeds = lastOut;
    before = b.reached;
    top = band.lastTop();
    bottom = band.lastBottom();
  }
  host::api().events().statusSetBar(100);
}

}  // namespace pigmora
