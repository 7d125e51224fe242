#include "hostapp/docfile/layer_codec.h"

#include <zstd.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "hostapp/docfile/format.h"

namespace hostapp::docfile {

namespace {
constexpr uint8_t kFilterNone = 0;
constexpr uint8_t kFilterShuffle = 1;
constexpr int kLayerCompressionLevel = 1;

struct CCtxFree {
  void operator()(ZSTD_CCtx* c) const { ZSTD_freeCCtx(c); }
};
struct DCtxFree {
  void operator()(ZSTD_DCtx* c) const { ZSTD_freeDCtx(c); }
};

void shuffle(const uint8_t* in, uint8_t* out, size_t bytes, size_t element) {
  const size_t count = bytes / element;
  for (size_t k = 0; k < element; ++k) {
    uint8_t* plane = out + k * count;
    for (size_t i = 0; i < count; ++i) plane[i] = in[i * element + k];
  }
}

void unshuffle(const uint8_t* in, uint8_t* out, size_t bytes, size_t element) {
  const size_t count = bytes / element;
  for (size_t k = 0; k < element; ++k) {
    const uint8_t* plane = in + k * count;
    for (size_t i = 0; i < count; ++i) out[i * element + k] = plane[i];
  }
}

int32_t rowsPerBlock(const PixelStore& pixels) {
  const size_t rows =
      std::max<size_t>(1, kLayerBlockBytes / std::max<size_t>(pixels.rowBytes(), 1));
  return static_cast<int32_t>(std::min<size_t>(rows, static_cast<size_t>(pixels.height())));
}
}  // namespace

bool writeLayerPixels(ChunkWriter& w, const PixelStore& pixels) {
  const size_t element = static_cast<size_t>(pixels.layout()->componentBytes);
  const uint8_t filter = element > 1 ? kFilterShuffle : kFilterNone;
  const int32_t rows = rowsPerBlock(pixels);
  const uint32_t blocks = static_cast<uint32_t>((pixels.height() + rows - 1) / rows);
  const uint32_t rowCount = static_cast<uint32_t>(rows);
  if (!w.payload(&filter, 1) || !w.payload(&rowCount, 4) || !w.payload(&blocks, 4)) return false;
  std::unique_ptr<ZSTD_CCtx, CCtxFree> cctx(ZSTD_createCCtx());
  if (!cctx) return false;
  ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_compressionLevel, kLayerCompressionLevel);
  const size_t blockBytes = static_cast<size_t>(rows) * pixels.rowBytes();
  std::vector<uint8_t> shuffled(filter == kFilterShuffle ? blockBytes : 0);
  std::vector<uint8_t> packed(ZSTD_compressBound(blockBytes));
  for (int32_t y = 0; y < pixels.height(); y += rows) {
    const size_t bytes =
        static_cast<size_t>(std::min(rows, pixels.height() - y)) * pixels.rowBytes();
    const uint8_t* src = pixels.row(y);
    if (filter == kFilterShuffle) {
      shuffle(src, shuffled.data(), bytes, element);
      src = shuffled.data();
    }
    const size_t n = ZSTD_compress2(cctx.get(), packed.data(), packed.size(), src, bytes);
    if (ZSTD_isError(n)) return false;
    const uint32_t size = static_cast<uint32_t>(n);
    if (!w.payload(&size, 4) || !w.payload(packed.data(), n)) return false;
  }
  return true;
}

bool readLayerPixels(ChunkReader& r, PixelStore& pixels, std::string& why) {
  const std::string where = " in its " + chunkName(r.current().type) + " chunk at byte " +
                            std::to_string(r.current().offset);
  uint8_t filter = 0;
  uint32_t rows = 0, blocks = 0;
  if (!r.read(&filter, 1) || !r.read(&rows, 4) || !r.read(&blocks, 4)) {
    why = "is damaged: a layer has no pixel blocks" + where;
    return false;
  }
  const size_t element = static_cast<size_t>(pixels.layout()->componentBytes);
  const uint32_t height = static_cast<uint32_t>(pixels.height());
  if ((filter != kFilterNone && filter != kFilterShuffle) || rows == 0 || rows > height ||
      blocks != (height + rows - 1) / rows ||
      static_cast<uint64_t>(rows) * pixels.rowBytes() > (uint64_t(1) << 31)) {
    why = "is damaged: a layer's pixel blocks do not fit its size" + where;
    return false;
  }
  std::unique_ptr<ZSTD_DCtx, DCtxFree> dctx(ZSTD_createDCtx());
  if (!dctx) {
    why = "could not be read: out of memory";
    return false;
  }
  const size_t blockBytes = static_cast<size_t>(rows) * pixels.rowBytes();
  const size_t bound = ZSTD_compressBound(blockBytes);
  std::vector<uint8_t> packed;
  std::vector<uint8_t> plain(filter == kFilterShuffle ? blockBytes : 0);
  for (uint32_t y = 0; y < height; y += rows) {
    const size_t bytes = static_cast<size_t>(std::min(rows, height - y)) * pixels.rowBytes();
    uint32_t size = 0;
    if (!r.read(&size, 4) || size > bound || size > r.payloadLeft()) {
      why =
          "is damaged or lies about a size: a block of layer pixels does not fit its chunk" + where;
      return false;
    }
    packed.resize(size);
    if (!r.read(packed.data(), size)) {
      why = "could not be read" + where;
      return false;
    }
    uint8_t* dst = pixels.row(static_cast<int32_t>(y));
    uint8_t* target = filter == kFilterShuffle ? plain.data() : dst;
    const size_t n = ZSTD_decompressDCtx(dctx.get(), target, bytes, packed.data(), size);
    if (ZSTD_isError(n) || n != bytes) {
      why = "is damaged: a block of layer pixels does not decompress to its rows" + where;
      return false;
    }
    if (filter == kFilterShuffle) unshuffle(plain.data(), dst, bytes, element);
  }
  return true;
}

}  // namespace hostapp::docfile
