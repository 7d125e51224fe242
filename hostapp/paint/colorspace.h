// Colour spaces of texture values. Colour channels (color, luminance, glow ...) hold
// sRGB-encoded values in 8 and 16-bit layers and linear values in float layers, as image files
// of those depths do; data channels (bump, alpha, displacement, normal ...) hold plain numbers
// that no conversion touches.
#pragma once

#include <cstdint>
#include <string>

namespace hostapp {

class PaintTextureImpl;

enum class Encoding { kSRGB, kLinear, kRaw };

// The sRGB transfer function and its inverse, on values 0 .. 1 (others pass through the
// formulas' continuations: negative values mirror, values above 1 extend).
float srgbToLinear(float v);
float linearToSrgb(float v);
float reencode(float v, Encoding from, Encoding to);

// Whether a material channel (0 .. 13) holds colours rather than data.
bool isColorChannel(int32_t channel);

// How the values of a layer in `mode` are encoded.
Encoding layerEncoding(int32_t mode, bool colorData);

const char* encodingName(Encoding e);  // "sRGB", "linear", "raw"

// What an image file says its values are: its colour-space tag where it has one (PNG sRGB and
// gAMA chunks, TIFF's Exif colour space, EXR is linear), else what its sample type implies
// (integers sRGB, floats linear). Raw for data channels.
Encoding imageFileEncoding(const std::string& path, bool colorData);

// Re-encodes the colour components (never alpha) of every layer of a texture.
void reencodeTexture(PaintTextureImpl& tex, Encoding from, Encoding to);

}  // namespace hostapp
