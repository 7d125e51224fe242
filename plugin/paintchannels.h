// Channel vocabulary, paintable pixel formats and dirty rectangles.
#pragma once

#include <climits>
#include <cstdint>

namespace pigmora {

// Material channel number, the host's numbering: 0 Color ... 13 Normal.
using ChannelIndex = int32_t;
constexpr int32_t kChannelCount = 14;
constexpr ChannelIndex kChannelColor = 0;
constexpr ChannelIndex kChannelNormal = 13;
// A channel index with this bit set names no channel to walk (painting skips it).
constexpr int32_t kChannelSkipBit = 0x40000000;

extern const char ChannelDisplayNames[kChannelCount][256];
extern const char ChannelKeys[kChannelCount][14];

// The file key of a channel; the empty string for indices outside 0 .. 13.
const char* channelKey(int32_t index);

// Bits per component and component count of a colour mode, and whether it can be painted.
// The known modes that cannot be painted fill both outputs and answer false; an unknown mode
// answers false and leaves them unset.
bool ColorModeInfo(int32_t mode, int32_t& bits, int32_t& components);
// (bits / 8) x components of a paintable mode, 0 otherwise.
int32_t bytesPerPixel(int32_t mode);
bool isPaintableMode(int32_t mode);

// Pairs a 64 x 64 tile's column and row into one number: distinct tiles get distinct keys, and
// the keys of the tiles near the origin stay small.
constexpr uint64_t tileKey(uint32_t column, uint32_t row) {
  const uint64_t tx = column, ty = row;
  return tx < ty ? tx + ty * ty : tx * tx + tx + ty;
}

struct DirtyRect {
  int32_t xmin = INT32_MAX, ymin = INT32_MAX, xmax = INT32_MIN, ymax = INT32_MIN;

  bool empty() const { return xmin > xmax || ymin > ymax; }
  void reset() { *this = DirtyRect{}; }
  void grow(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    if (x0 < xmin) xmin = x0;
    if (y0 < ymin) ymin = y0;
    if (x1 > xmax) xmax = x1;
    if (y1 > ymax) ymax = y1;
  }
};
static_assert(sizeof(DirtyRect) == 16);

}  // namespace pigmora
