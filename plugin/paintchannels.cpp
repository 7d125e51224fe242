#include "plugin/paintchannels.h"

namespace pigmora {

const char ChannelDisplayNames[kChannelCount][256] = {
    "Color", "Luminance", "Transparency",   "Reflection", "Environment",  "Fog",       "Bump",
    "Alpha", "Specular",  "Specular Color", "Glow",       "Displacement", "Diffusion", "Normal"};

const char ChannelKeys[kChannelCount][14] = {
    "color", "luminance", "transparency",  "reflection", "environment",  "fog",       "bump",
    "alpha", "specular",  "specularcolor", "glow",       "displacement", "diffusion", "normal"};

const char* channelKey(int32_t index) {
  return index >= 0 && index < kChannelCount ? ChannelKeys[index] : "";
}

namespace {
struct ModeRow {
  int32_t mode, bits, components;
  bool paintable;
};
constexpr ModeRow kModes[] = {
    {1, 8, 1, true},   {2, 8, 1, true},   {3, 8, 2, true},   {4, 8, 3, true},    {5, 8, 4, true},
    {6, 8, 4, false},  {7, 8, 5, false},  {8, 8, 1, false},  {9, 8, 2, false},   {18, 16, 1, true},
    {19, 16, 2, true}, {20, 16, 3, true}, {21, 16, 4, true}, {24, 16, 1, false}, {34, 32, 1, true},
    {35, 32, 2, true}, {36, 32, 3, true}, {37, 32, 4, true}, {40, 32, 1, false},
};
}  // namespace

bool ColorModeInfo(int32_t mode, int32_t& bits, int32_t& components) {
  for (const ModeRow& row : kModes) {
    if (row.mode == mode) {
      bits = row.bits;
      components = row.components;
      return row.paintable;
    }
  }
  return false;
}

int32_t bytesPerPixel(int32_t mode) {
  int32_t bits = 0, components = 0;
  return ColorModeInfo(mode, bits, components) ? bits / 8 * components : 0;
}

bool isPaintableMode(int32_t mode) {
  return bytesPerPixel(mode) > 0;
}

}  // namespace pigmora
