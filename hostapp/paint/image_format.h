// What an image file holds and how its rows are handed over, in the program's own terms: the
// image library is loaded only when a file needs it, so nothing outside its module names it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace hostapp {

enum class SampleType : uint8_t { kUInt8, kUInt16, kHalf, kFloat };

inline size_t sampleBytes(SampleType t) {
  return t == SampleType::kUInt8 ? 1 : t == SampleType::kUInt16 || t == SampleType::kHalf ? 2 : 4;
}

// The image a writer is asked to make.
struct ImageFormat {
  int32_t width = 0, height = 0, channels = 0;
  SampleType type = SampleType::kUInt8;
  // The alpha channel's index; -1 leaves it to the channel count (the fourth of four).
  int32_t alphaChannel = -1;
  // Samples are straight, not multiplied by alpha.
  bool unassociatedAlpha = false;
  // "sRGB", "Linear" or empty (untagged); a description of the file, or empty.
  std::string colorSpace, description;
  // PNG: zlib level and the "up" filter on every row. A level below 0 leaves both to the
  // library, which tries every filter at level 6.
  int32_t pngLevel = -1;
};

// What a reader found in a file's header.
struct ImageFileInfo {
  int32_t width = 0, height = 0, channels = 0, alphaChannel = -1;
  // 8 and 16-bit integer samples; half, float and double files report kFloat or kHalf.
  SampleType type = SampleType::kUInt8;
  bool volume = false;  // more than one slice deep
  std::string colorSpace, description;
  bool floating() const { return type == SampleType::kHalf || type == SampleType::kFloat; }
};

// Gives row y of an image being written, packed; rows are asked for in order.
using RowSource = std::function<const void*(int32_t y)>;

}  // namespace hostapp
