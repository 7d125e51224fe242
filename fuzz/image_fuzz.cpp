// Feeds arbitrary bytes to the image readers as the host reads stamps, stencils and channel
// textures: the first byte picks the suffix (PNG, TIFF, EXR, JPEG, TGA, BMP), the rest is the
// file. A small memory budget stands for the machine: declared sizes past it, or past the
// largest side, must be refused before decoding. Every outcome is an image or one sentence.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <OpenImageIO/imageio.h>

#include "hostapp/core/memory.h"
#include "hostapp/paint/image_io.h"
#include "hostapp/paint/paint_bitmap.h"
#include "hostapp/paint/paint_impl.h"

// The image library's and the EXR library's worker pools start a thread a core and keep buffers
// per thread; one reading thread keeps a run's memory its own and the runs comparable.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  OIIO::attribute("threads", 1);
  OIIO::attribute("exr_threads", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kSuffixes[] = {".png", ".tif", ".exr", ".jpg", ".tga", ".bmp"};
  if (size < 1) return 0;
  static const std::string base = "/tmp/pigmora_image_fuzz_" + std::to_string(getpid());
  const std::string path = base + kSuffixes[data[0] % 6];
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    if (size > 1) std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
  } else {
    std::abort();
  }
  hostapp::CountingMemory memory;
  memory.setBudget(uint64_t{64} << 20);
  std::string error;
  {
    auto bitmap = hostapp::loadPlainBitmap(memory, path, error);
    if (!bitmap && (error.empty() || error.back() != '.')) std::abort();
    if (bitmap && (bitmap->width() > 16384 || bitmap->height() > 16384)) std::abort();
  }
  {
    auto texture = hostapp::loadPaintTexture(memory, path, error);
    if (!texture && (error.empty() || error.back() != '.')) std::abort();
  }
  std::remove(path.c_str());
  if (memory.reserved() != 0) std::abort();  // every layer gave its pixels back
  return 0;
}
